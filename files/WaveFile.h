// The program's waveform files: a 44-byte RIFF/WAVE header (PCM, mono,
// 8 bits, the rate in force) followed by all 144001 bytes of the waveform,
// exactly as the old program wrote them, so its files and ours open alike.
// Reading accepts our own layout byte for byte and converts any other
// recording libsndfile can read; anything else is refused with a reason and
// changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "Expected.h"

#include "CaptureRing.h"

namespace quorvel {

inline constexpr std::size_t kWaveHeaderBytes = 44;
inline constexpr std::size_t kWaveFileBytes = kWaveHeaderBytes + kRingBytes;  // 144045

// Bits per sample 8 or 16; the sizes describe `samples` samples.
std::array<std::uint8_t, kWaveHeaderBytes> BuildWaveHeader(std::int32_t channels, std::int32_t samples,
                                                           std::int32_t rate, std::int32_t bits);

// Writes header and waveform (replacing a file of that name) so that the
// file is whole or not there. Returns an empty string, or the reason.
std::string WriteWaveFile(const std::string& path, const SampleArray& waveform, std::int32_t rate);

struct LoadedWaveform {
    SampleArray samples{};
    std::int32_t rate = 0;  // the file's own rate
    bool ownLayout = false; // read byte for byte as the program writes it
};

// On failure returns std::nullopt and a message naming the file.
Expected<LoadedWaveform> ReadWaveFile(const std::string& path);

}  // namespace quorvel
