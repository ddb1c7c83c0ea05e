// A recording device of the sound server: the engine's device plus what the
// main window needs besides: which real device each list position means,
// the count of blocks that arrived with nothing queued, and a report when
// the device fails while recording.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RecordingDevice.h"

namespace quorvel {

class LiveRecordingDevice : public RecordingDevice {
public:
    // The device identities in list order; Open's device number is a position in it.
    virtual void UseDevices(std::vector<std::string> ids) = 0;
    virtual int Overruns() const = 0;
    // Set by the owner; called on the owner's thread when the device fails or
    // disappears while recording.
    std::function<void(const std::string& reason)> onFailure;
};

// Error codes Open returns besides the sound service's own (1 = cannot open,
// 2 = input/output error, 4 = fatal).
inline constexpr int kNoSuchDevice = 11;
inline constexpr int kFormatNotSupported = 32;

// Records a source of the sound server through libpulse; the stream never
// moves to another microphone (see PulseRecordingDevice.cpp).
std::unique_ptr<LiveRecordingDevice> MakePulseRecordingDevice();

}  // namespace quorvel
