// The onset method over a whole recording, fed as the live program feeds
// it: one 28800-sample block at a time.
#pragma once

#include <cstdint>
#include <span>

#include "Measured.h"
#include "OnsetDetector.h"

namespace quorvel::range {

OnsetSetup OnsetSetupFor(int rate, double distance, int muzzleVolume, int impactVolume, const ReportSignature& report);

struct OnsetRun {
    Measurements measured;
    int otherGuns = 0;
    double meanSigma = 0;  // samples, over the shots
};
// `calibration` (may be empty) is heard first, as Rehearse does.
OnsetRun MeasureWithOnsets(std::span<const std::uint8_t> samples, const OnsetSetup& setup,
                           std::span<const std::uint8_t> calibration = {});

}  // namespace quorvel::range
