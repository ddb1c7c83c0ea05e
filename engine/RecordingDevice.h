// What the capture engine asks of a recording device. A device fills the
// blocks it was given, in the order they were queued, and reports each
// finished block once. The report comes on the device's own thread, so the
// listener may do nothing there but wake the thread that owns the engine.
#pragma once

#include <cstdint>
#include <span>

namespace quorvel {

class BlockDoneListener {
public:
    virtual void BlockDone() noexcept = 0;

protected:
    ~BlockDoneListener() = default;
};

class RecordingDevice {
public:
    virtual ~RecordingDevice() = default;
    // Opens device `deviceNum` for 8-bit unsigned mono at `sampleRate`.
    // Returns 0 on success, else the sound service's error code.
    virtual int Open(int deviceNum, int sampleRate, BlockDoneListener& listener) = 0;
    // Hands the device the next block to fill, after the ones already queued.
    virtual void Queue(std::span<std::uint8_t> block) = 0;
    virtual void Start() = 0;
    // Ends recording and gives back every queued block (each is reported done).
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

// Wakes the thread that owns the engine; called on the device's thread.
class HandOverWaker {
public:
    virtual void Wake() noexcept = 0;

protected:
    ~HandOverWaker() = default;
};

}  // namespace quorvel
