// A recording device that records whatever the caller hands it: each
// Deliver copies one block of samples into the oldest queued block and
// reports it done, so the engine runs exactly as it does on a recording.
// Allocates nothing after creation.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "RecordingDevice.h"

namespace quorvel {

class FakeRecordingDevice final : public RecordingDevice {
public:
    int Open(int deviceNum, int sampleRate, BlockDoneListener& listener) override;
    void Queue(std::span<std::uint8_t> block) override;
    void Start() override { started_ = true; }
    void Reset() override;
    void Close() override;

    // Fills the oldest queued block with `samples` (the rest with 127) and
    // reports it. Returns false, and counts an overrun, when nothing is queued.
    bool Deliver(std::span<const std::uint8_t> samples);

    int openResult = 0;  // what the next Open returns
    int openedDevice = -1;
    int openedRate = 0;
    int openCount = 0;
    int closeCount = 0;
    int overruns = 0;
    bool IsOpen() const { return listener_ != nullptr; }
    bool Started() const { return started_; }
    int QueuedCount() const { return count_; }
    // The start of the queued block at `position` (0 = oldest), for tests.
    const std::uint8_t* Queued(int position) const { return queue_[static_cast<std::size_t>((head_ + position) % kMaxQueued)].data(); }

private:
    static constexpr int kMaxQueued = 8;
    std::array<std::span<std::uint8_t>, kMaxQueued> queue_{};
    int head_ = 0;
    int count_ = 0;
    bool started_ = false;
    BlockDoneListener* listener_ = nullptr;
};

}  // namespace quorvel
