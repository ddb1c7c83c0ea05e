// The described method as the program runs it on a recording file: the
// recording goes through RecordingMeasure with the shipped settings, the
// scene's distance and the suggested volumes.
#pragma once

#include <cstdint>
#include <span>

#include "Measured.h"

namespace quorvel::range {

Measurements MeasureWithThreshold(std::span<const std::uint8_t> samples, int rate, double distance, int muzzleVolume,
                                  int impactVolume);

}  // namespace quorvel::range
