// Reads recordings made by other programs (any WAVE, FLAC, ... that
// libsndfile understands) into the program's own 8-bit samples.
// The first channel is used, read as 16-bit and brought to 8 bits as
// (s16 >> 8) + 128, so an 8-bit file comes back byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

struct AudioSamples {
    std::vector<std::uint8_t> samples;  // 127 is silence
    int sampleRate = 0;
};

inline std::uint8_t EightBitSample(std::int16_t s16) { return static_cast<std::uint8_t>((s16 >> 8) + 128); }

// On failure returns std::nullopt and a one-line reason in `error`.
std::optional<AudioSamples> ReadAudioFile(const std::string& path, std::string* error);
// The same, from bytes in memory.
std::optional<AudioSamples> ReadAudioBytes(std::span<const std::uint8_t> bytes, std::string* error);

}  // namespace quorvel
