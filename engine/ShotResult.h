// The record of a measured shot, filled completely before anyone is told of
// it, and the velocities that follow from its samples and the settings.
#pragma once

#include <cstdint>

#include "Settings.h"

namespace quorvel {

struct ShotResult {
    double AvgVelocity = 0;
    double MuzzleVelocity = 0;
    double Distance = 0;
    double ShotTime = 0;  // local date and time, days since 30 December 1899
    double PelletMass = 0;
    std::uint8_t MuzzleLevel = 0;
    std::uint8_t ImpactLevel = 0;
    std::int32_t Samples = 0;
    std::int32_t ShotNumber = 0;
    std::int32_t SampleRate = 0;
};

// Velocities of a shot of `samples` samples (a fraction where the method
// times between samples) with the settings in force. Needs at least two
// samples (fewer cannot be measured: see MeasurableSamples).
ShotResult MeasureShot(double samples, const Settings& settings, double sampleTimeMs);
inline bool MeasurableSamples(double samples) { return samples >= 2; }

}  // namespace quorvel
