// Real sound into the tests' own sound server: a FIFO microphone written at
// the pace of real time, and the main window on the server's services.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "support/MainRig.h"

namespace quorvel::test_support {

// Streams 16-bit samples into a FIFO microphone at the pace of real time:
// silence until Shoot() (or Play() of another sound), then the sound, then
// silence again.
class PacedWriter {
public:
    PacedWriter(const std::string& fifo, int rate, std::vector<std::int16_t> shot)
        : rate_(rate), sound_(std::move(shot)), thread_([this, fifo] { Run(fifo); })
    {
    }
    ~PacedWriter()
    {
        stop_ = true;
        thread_.join();
    }
    void Shoot() { playing_ = true; }
    // This sound from its start, in place of whatever was playing.
    void Play(std::vector<std::int16_t> sound)
    {
        const std::lock_guard lock(mutex_);
        sound_ = std::move(sound);
        at_ = 0;
        played_ = false;
        playing_ = true;
    }
    bool Opened() const { return opened_; }
    // All of the sound given went into the microphone.
    bool Played() const { return played_; }

private:
    void Run(const std::string& fifo)
    {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        opened_ = fd >= 0;
        if (fd < 0) return;
        // A server that stops reading an idle microphone (PipeWire does) must
        // not hold the writer: a full pipe drops the chunk.
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        const int chunk = rate_ / 100;  // 10 ms
        std::vector<std::int16_t> buffer(static_cast<std::size_t>(chunk));
        // A server that has drained the pipe fills what it does not find
        // there with silence (a gap in the middle of a shot) when this thread
        // wakes late on a busy machine: the writer keeps 200 ms ahead of
        // real time, never more, as a server that takes whatever comes
        // (PulseAudio) would otherwise be fed faster than real time.
        const auto start = std::chrono::steady_clock::now();
        std::int64_t sent = 0;  // chunks
        while (!stop_ && !failed_) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            const std::int64_t due = elapsed / 10 + kLeadChunks;
            // After a stall of seconds the lost time is not made up at once.
            sent = std::max(sent, due - 4 * kLeadChunks);
            for (; sent < due && !stop_ && !failed_; ++sent) WriteChunk(fd, buffer);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(fd);
    }

    void WriteChunk(int fd, std::vector<std::int16_t>& buffer)
    {
        bool sounding = false;
        {
            const std::lock_guard lock(mutex_);
            sounding = playing_ && at_ < sound_.size();
            for (std::int16_t& s : buffer) s = (playing_ && at_ < sound_.size()) ? sound_[at_++] : 0;
        }
        // Silence may be dropped when the pipe is full; sound never is:
        // a gap in it would be a different recording.
        ssize_t written = ::write(fd, buffer.data(), buffer.size() * sizeof(std::int16_t));
        for (int wait = 0; sounding && written < 0 && errno == EAGAIN && wait < 500 && !stop_; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            written = ::write(fd, buffer.data(), buffer.size() * sizeof(std::int16_t));
        }
        // A microphone taken away mid-test leaves no reader: stop writing.
        if (written < 0 && errno != EAGAIN) failed_ = true;
        const std::lock_guard lock(mutex_);
        played_ = playing_ && at_ == sound_.size();
    }

    int rate_;
    std::mutex mutex_;
    std::vector<std::int16_t> sound_;
    std::size_t at_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> playing_{false};
    std::atomic<bool> opened_{false};
    std::atomic<bool> played_{false};
    bool failed_ = false;  // the writer thread's own
    static constexpr int kLeadChunks = 20;  // 200 ms
    std::thread thread_;
};

struct LiveRig : RealServices, Rig {
    explicit LiveRig(const std::string& settings = kSettings) : Rig(settings, {}, {}, this) {}
    // Chooses the device whose name contains `part`, at `rate`.
    bool Choose(const QString& part, int rate)
    {
        auto* devices = Find<QComboBox>("DevicesBox");
        for (int i = 0; i < devices->count(); ++i) {
            if (!devices->itemText(i).contains(part)) continue;
            devices->setCurrentIndex(i);
            Find<QComboBox>("cmbFreq")->setEditText(QString::number(rate));
            return window->Settings().Record().frequency == rate;
        }
        return false;
    }
};

inline std::string Runtime() { return qEnvironmentVariable("QUORVEL_PULSE").toStdString(); }


}  // namespace quorvel::test_support
