#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QTimer>

#include "SoundOutput.h"

namespace quorvel {

namespace {

// The program's 8-bit sound is played as 16-bit: a server that fills a gap
// in an 8-bit stream with zero bytes (PipeWire does) would otherwise put a
// full-scale click into it, where zero is silence in 16 bits.
QAudioFormat SixteenBitMono(int rate)
{
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

void AppendSixteenBit(QByteArray& to, std::span<const std::uint8_t> samples)
{
    const qsizetype at = to.size();
    to.resize(at + 2 * static_cast<qsizetype>(samples.size()));
    auto* out = reinterpret_cast<std::int16_t*>(to.data() + at);
    for (std::size_t i = 0; i < samples.size(); ++i) out[i] = static_cast<std::int16_t>((samples[i] - 128) * 256);
}

std::string Why(const QAudioSink& sink)
{
    switch (sink.error()) {
    case QAudio::OpenError: return "the sound output cannot be opened";
    case QAudio::IOError: return "the sound output failed";
    case QAudio::UnderrunError: return "the sound output ran dry";
    case QAudio::FatalError: return "the sound output is not available";
    case QAudio::NoError: break;
    }
    return {};
}

class QtSoundOutput final : public SoundOutput {
public:
    // The feeding timer must stop before the sink goes: a sink being
    // destroyed still runs the event loop.
    ~QtSoundOutput() override { Close(); }

    std::string PlayFile(const std::string& path, int rate, const std::function<void()>& yield,
                         const std::function<bool()>& abort) override
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return "there is no sound output";
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::ReadOnly) || !file.seek(44)) return "cannot read " + path;
        const QByteArray eightBit = file.readAll();
        QByteArray sound;
        AppendSixteenBit(sound, std::span(reinterpret_cast<const std::uint8_t*>(eightBit.data()), static_cast<std::size_t>(eightBit.size())));
        QBuffer buffer(&sound);
        buffer.open(QIODevice::ReadOnly);
        QAudioSink sink(device, SixteenBitMono(rate));
        sink.start(&buffer);
        if (const std::string why = Why(sink); !why.empty()) return why;
        // Until the file has been read out, then until the sound server has
        // played what it holds.
        while (sink.state() == QAudio::ActiveState && !abort()) yield();
        const std::string why = Why(sink);
        QElapsedTimer tail;
        tail.start();
        const qint64 heldMs = static_cast<qint64>(sink.bufferSize() - sink.bytesFree()) / 2 * 1000 / rate + 300;
        while (tail.elapsed() < heldMs && !abort()) yield();
        sink.stop();
        return why == "the sound output ran dry" ? std::string() : why;
    }

    std::string Open(int rate) override
    {
        Close();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return "there is no sound output";
        sink_ = std::make_unique<QAudioSink>(device, SixteenBitMono(rate));
        rate_ = rate;
        io_ = sink_->start();
        if (const std::string why = Why(*sink_); !why.empty() || io_ == nullptr) {
            Close();
            return why.empty() ? "the sound output cannot be opened" : why;
        }
        capacity_ = static_cast<std::size_t>(rate);  // a second of sound (in samples) may wait here
        // The sound server takes what it has room for; the rest waits.
        QObject::connect(&feed_, &QTimer::timeout, &feed_, [this] { Feed(); });
        feed_.start(10);
        return {};
    }

    // An output that failed on the way takes everything and plays nothing,
    // so the stream still runs to its end and closes.
    bool Failed() const { return sink_ && sink_->error() != QAudio::NoError && sink_->error() != QAudio::UnderrunError; }

    std::size_t Room() override
    {
        if (!sink_) return 0;
        if (Failed()) return capacity_;
        return capacity_ - std::min(capacity_, pending_.size() / 2);
    }

    void Write(std::span<const std::uint8_t> chunk) override
    {
        if (!sink_ || Failed()) return;
        QByteArray sound;
        AppendSixteenBit(sound, chunk);
        pending_.insert(pending_.end(), sound.begin(), sound.end());
        Feed();
    }

    void Finish() override
    {
        if (!sink_) return;
        finishing_ = true;
        Feed();
    }

    void Close() override
    {
        feed_.stop();
        feed_.disconnect();
        if (sink_) sink_->reset();
        io_ = nullptr;
        sink_.reset();
        pending_.clear();
        finishing_ = false;
        idleSince_ = 0;
    }

    std::int64_t Played() override
    {
        // The sink's processed time is the server's playback clock: what is
        // being heard, not what was handed over.
        return sink_ ? sink_->processedUSecs() * rate_ / 1000000 : 0;
    }
    bool Sounding() override { return sink_ != nullptr; }

private:
    void Feed()
    {
        if (!sink_ || io_ == nullptr) return;
        if (!pending_.empty()) {
            const qint64 taken = io_->write(reinterpret_cast<const char*>(pending_.data()), static_cast<qint64>(pending_.size()));
            if (taken > 0) pending_.erase(pending_.begin(), pending_.begin() + taken);
        }
        if (finishing_ && pending_.empty()) {
            // Everything is with the sound server: give it the time it needs
            // to play what it holds, then close.
            if (sink_->bytesFree() >= sink_->bufferSize() || ++idleSince_ > 200) Close();
        }
    }

    std::vector<std::uint8_t> pending_;
    std::size_t capacity_ = 0;
    std::int64_t rate_ = 96000;
    bool finishing_ = false;
    int idleSince_ = 0;
    QTimer feed_;

    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;  // owned by sink_
};

}  // namespace

std::unique_ptr<SoundOutput> MakeQtSoundOutput() { return std::make_unique<QtSoundOutput>(); }

}  // namespace quorvel
