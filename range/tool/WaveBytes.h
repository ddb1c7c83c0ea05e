// An 8-bit mono WAVE file as bytes, for measuring a simulated recording
// through the program's file reader and for writing it out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvel::range {

std::vector<std::uint8_t> WaveBytes(std::span<const std::uint8_t> samples, int rate);
bool WriteFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace quorvel::range
