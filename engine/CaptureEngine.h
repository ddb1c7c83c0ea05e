// Records the microphone into the five-block ring and hands each finished
// block to the detector on the thread that owns the engine.
// The device's completion report only counts and wakes; HandOver, called by
// the owner when woken, processes exactly one block and queues the block two
// ahead, so the device always holds two blocks and the three before them keep
// complete recent sound. Nothing is allocated between DoStart and DoStop.
#pragma once

#include <atomic>
#include <cstdint>

#include "CaptureRing.h"
#include "RecordingDevice.h"

namespace quorvel {

// Receives each finished block on the owner's thread. Returns true when the
// block froze the recording: it is then not queued again and the current
// block stays where it is.
class BlockConsumer {
public:
    virtual bool OnBlock(const SampleArray& ring, int block) = 0;

protected:
    ~BlockConsumer() = default;
};

class CaptureEngine final : private BlockDoneListener {
public:
    CaptureEngine(RecordingDevice& device, HandOverWaker& waker);
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    // Clears the ring to silence and the waveform to zeros, opens the device
    // and queues blocks 1 and 2. Returns 0, or the device's error code (the
    // engine then stays stopped).
    int DoStart(int deviceNum, int frequency);
    // Ends recording and closes the device; safe when nothing is open.
    void DoStop();
    bool Recording() const { return open_; }

    // Owner thread: handles one finished block if one is waiting and returns
    // whether it did. Blocks the device gives back after DoStop are dropped:
    // they hold partly old sound and must not be scanned.
    bool HandOver(BlockConsumer& consumer);
    bool HandOverWaiting() const;

    // While set, finished blocks are taken from the device but not processed.
    void SetStopProcessing(bool stop) { stopProcessing_ = stop; }
    bool StopProcessing() const { return stopProcessing_; }

    // Copies the ring into the waveform in time order (no-op before data).
    void UnrollRing();

    const SampleArray& Ring() const { return ring_; }
    SampleArray& Waveform() { return waveform_; }
    const SampleArray& Waveform() const { return waveform_; }
    int CurrentBlock() const { return currentBlock_; }
    int LastHandedBlock() const { return lastHandedBlock_; }
    bool DataArrived() const { return dataArrived_; }
    void SetDataArrived(bool arrived) { dataArrived_ = arrived; }

private:
    void BlockDone() noexcept override;
    void QueueBlock(int block);

    RecordingDevice& device_;
    HandOverWaker& waker_;
    SampleArray ring_{};
    SampleArray waveform_{};
    std::atomic<std::uint32_t> completed_{0};
    std::uint32_t handled_ = 0;
    int currentBlock_ = 1;
    int lastHandedBlock_ = 0;
    bool open_ = false;
    bool dataArrived_ = false;
    bool stopProcessing_ = false;
    bool handingOver_ = false;
};

}  // namespace quorvel
