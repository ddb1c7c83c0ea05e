// Records through Qt Multimedia. The QAudioSource lives on a thread of its
// own and writes into BlockSink, which fills the queued ring blocks in order
// and reports each full block; it never allocates, locks or waits. The
// owner's thread queues blocks through a fixed single-producer,
// single-consumer queue.
#include <array>
#include <atomic>
#include <cstring>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>

#include "CaptureRing.h"
#include "LiveRecordingDevice.h"

namespace quorvel {

namespace {

class BlockQueue {
public:
    // Owner thread.
    bool Push(std::span<std::uint8_t> block)
    {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kSlots) return false;
        slots_[tail % kSlots] = block;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    // Audio thread.
    std::span<std::uint8_t>* Front()
    {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return nullptr;
        return &slots_[head % kSlots];
    }
    void Pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
    // Only while the audio thread is not writing.
    void Clear() { head_.store(tail_.load(std::memory_order_acquire), std::memory_order_release); }

private:
    static constexpr std::uint32_t kSlots = 8;
    std::array<std::span<std::uint8_t>, kSlots> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

class BlockSink final : public QIODevice {
public:
    void Prepare(BlockDoneListener* listener)
    {
        listener_ = listener;
        fill_ = 0;
        dropping_ = 0;
        queue.Clear();
    }
    std::atomic<bool> running{false};
    std::atomic<int> overruns{0};
    BlockQueue queue;

protected:
    qint64 writeData(const char* data, qint64 length) override
    {
        if (!running.load(std::memory_order_acquire) || listener_ == nullptr) return length;
        qint64 done = 0;
        while (done < length) {
            std::span<std::uint8_t>* block = queue.Front();
            if (block == nullptr) {
                // Sound with nowhere to go: count one overrun per block's worth.
                if (dropping_ == 0) overruns.fetch_add(1, std::memory_order_relaxed);
                dropping_ += length - done;
                if (dropping_ >= kBlockSize) dropping_ = 0;
                return length;
            }
            dropping_ = 0;
            const auto n = std::min<qint64>(length - done, static_cast<qint64>(block->size() - fill_));
            std::memcpy(block->data() + fill_, data + done, static_cast<std::size_t>(n));
            fill_ += static_cast<std::size_t>(n);
            done += n;
            if (fill_ == block->size()) {
                fill_ = 0;
                queue.Pop();
                listener_->BlockDone();
            }
        }
        return length;
    }
    qint64 readData(char*, qint64) override { return -1; }

private:
    BlockDoneListener* listener_ = nullptr;
    std::size_t fill_ = 0;
    qint64 dropping_ = 0;
};

std::string ErrorText(QAudio::Error e)
{
    switch (e) {
    case QAudio::OpenError: return "the recording device could not be opened";
    case QAudio::IOError: return "the recording device stopped delivering sound";
    case QAudio::UnderrunError: return "the recording device ran out of data";
    case QAudio::FatalError: return "the recording device is no longer available";
    case QAudio::NoError: break;
    }
    return "the recording device failed";
}

class QtRecordingDevice final : public QObject, public LiveRecordingDevice {
public:
    QtRecordingDevice()
    {
        worker_.moveToThread(&thread_);
        sink_.moveToThread(&thread_);
        thread_.start();
    }
    ~QtRecordingDevice() override
    {
        Close();
        thread_.quit();
        thread_.wait();
    }

    void UseDevices(std::vector<std::string> ids) override { ids_ = std::move(ids); }
    int Overruns() const override { return sink_.overruns.load(std::memory_order_relaxed); }

    int Open(int deviceNum, int sampleRate, BlockDoneListener& listener) override
    {
        Close();
        if (deviceNum < 0 || deviceNum >= static_cast<int>(ids_.size())) return kNoSuchDevice;
        QAudioDevice device;
        for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
            if (d.id().toStdString() == ids_[static_cast<std::size_t>(deviceNum)]) device = d;
        }
        if (device.isNull()) return kNoSuchDevice;
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::UInt8);
        if (!device.isFormatSupported(format)) return kFormatNotSupported;

        sink_.Prepare(&listener);
        int result = 0;
        QMetaObject::invokeMethod(
            &worker_,
            [&] {
                source_ = std::make_unique<QAudioSource>(device, format);
                // A tenth of a second per delivery: a finished block waits at most that
                // long, and the audio thread wakes only ten times a second.
                source_->setBufferSize(std::max(512, sampleRate / 10));
                QObject::connect(source_.get(), &QAudioSource::stateChanged, &worker_, [this](QAudio::State state) {
                    if (state != QAudio::StoppedState || !source_ || source_->error() == QAudio::NoError) return;
                    if (!sink_.running.load()) return;
                    const std::string reason = ErrorText(source_->error());
                    QMetaObject::invokeMethod(this, [this, reason] {
                        if (onFailure) onFailure(reason);
                    }, Qt::QueuedConnection);
                });
                sink_.open(QIODevice::WriteOnly);
                source_->start(&sink_);
                if (source_->error() != QAudio::NoError) {
                    result = static_cast<int>(source_->error());
                    source_.reset();
                    sink_.close();
                }
            },
            Qt::BlockingQueuedConnection);
        open_ = result == 0;
        return result;
    }

    void Queue(std::span<std::uint8_t> block) override
    {
        if (open_) sink_.queue.Push(block);
    }
    void Start() override { sink_.running.store(true, std::memory_order_release); }

    void Reset() override
    {
        sink_.running.store(false, std::memory_order_release);
        if (!open_) return;
        QMetaObject::invokeMethod(&worker_, [this] {
            if (source_) source_->stop();
        }, Qt::BlockingQueuedConnection);
        sink_.queue.Clear();
    }

    void Close() override
    {
        if (!open_) return;
        Reset();
        QMetaObject::invokeMethod(&worker_, [this] {
            source_.reset();
            sink_.close();
        }, Qt::BlockingQueuedConnection);
        open_ = false;
    }

private:
    QThread thread_;
    QObject worker_;  // lives on thread_, runs the source's work there
    BlockSink sink_;
    std::unique_ptr<QAudioSource> source_;  // created, used and destroyed on thread_
    std::vector<std::string> ids_;
    bool open_ = false;
};

}  // namespace

std::unique_ptr<LiveRecordingDevice> MakeQtRecordingDevice() { return std::make_unique<QtRecordingDevice>(); }

}  // namespace quorvel
