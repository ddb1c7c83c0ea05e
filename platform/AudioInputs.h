// The recording devices the sound server offers, in the server's order,
// with the 8-bit mono rates each can record. The rate bits are the ones the
// device list is built from: 0x1 11025 Hz, 0x10 22050 Hz, 0x100 44100 Hz,
// 0x10000 96000 Hz.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel {

inline constexpr std::uint32_t kRate11025 = 0x00001;
inline constexpr std::uint32_t kRate22050 = 0x00010;
inline constexpr std::uint32_t kRate44100 = 0x00100;
inline constexpr std::uint32_t kRate96000 = 0x10000;

// The format bits of a device that records `nativeRate` itself: every usual
// rate up to it, none above (the server would only make those up).
inline std::uint32_t FormatsUpTo(int nativeRate)
{
    return (nativeRate >= 11025 ? kRate11025 : 0) | (nativeRate >= 22050 ? kRate22050 : 0) |
           (nativeRate >= 44100 ? kRate44100 : 0) | (nativeRate >= 96000 ? kRate96000 : 0);
}

struct InputDevice {
    std::string id;    // the sound server's identity of the device
    std::string name;  // what the device list shows
    std::uint32_t formats = 0;
    // The rate the device records at itself (0 when unknown): offered too
    // when it is none of the usual ones, since nothing above it is real.
    int nativeRate = 0;
};

class AudioInputs {
public:
    virtual ~AudioInputs() = default;
    virtual std::vector<InputDevice> List() = 0;
    // Called on the owner's thread when devices are plugged in or removed.
    virtual void OnChanged(std::function<void()> callback) = 0;
};

// The sound server's recording devices through libpulse, following plug and unplug.
std::unique_ptr<AudioInputs> MakePulseAudioInputs();

}  // namespace quorvel
