// What a method measured in one recording, for the range report: each shot
// as the positions of its two triggers, each miss with its muzzle.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::range {

struct MeasuredShot {
    double muzzle = 0;  // samples from the recording's start
    double impact = 0;
    bool shot = true;   // false: a miss (no impact, too close, rate too low)
};

using Measurements = std::vector<MeasuredShot>;

}  // namespace quorvel::range
