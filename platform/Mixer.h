// The recording level of an input device, on the 0..65535 scale of the old
// mixer control, mapped onto the sound server's normal volume. Kept behind
// this interface so that other systems can supply their own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace quorvel {

inline constexpr std::uint32_t kMixerMaximum = 65535;

class Mixer {
public:
    virtual ~Mixer() = default;
    // Whether the device has a level the program can set.
    virtual bool HasControl(const std::string& deviceId) = 0;
    virtual bool SetLevel(const std::string& deviceId, std::uint32_t level) = 0;
    virtual std::optional<std::uint32_t> Level(const std::string& deviceId) = 0;
    virtual void Close() = 0;
};

// The PulseAudio server's source volumes (libpulse); the connection is made
// on first use and closed by Close.
std::unique_ptr<Mixer> MakePulseMixer();

}  // namespace quorvel
