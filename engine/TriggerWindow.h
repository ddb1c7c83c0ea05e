// The impact window: how many samples after the muzzle an impact may come,
// from the distance and the velocity limits at the rate in force. Every
// detection method looks for the impact there.
#pragma once

#include <cstdint>

namespace quorvel {

struct TriggerWindow {
    std::int32_t start = 0;  // earliest accepted impact, samples after the muzzle
    std::int32_t end = 0;    // latest
    double startMs = 0;      // the same at the fastest and slowest velocity, in milliseconds
    double endMs = 0;
};

// Int rounds towards minus infinity; limits of zero give the largest window
// bound rather than garbage.
TriggerWindow CalcTriggerWindow(double distance, double velocityMin, double velocityMax, double sampleTimeMs);

}  // namespace quorvel
