// Measured shots against the truth: each measured shot is matched to the
// true shot whose report it timed (within a few milliseconds), or counts as
// a false shot; each true shot is within 0.25 %, within 1 %, off, or missed.
// Tallies per bucket of the impact's local signal-to-noise ratio.
#pragma once

#include <array>
#include <vector>

#include "Measured.h"
#include "Session.h"

namespace quorvel::range {

enum Bucket { kClear, kFair, kFaint, kBuckets };  // >= 10 dB, 3 to 10 dB, below 3 dB
Bucket BucketOf(double snrDb);
const char* BucketName(int bucket);

struct Tally {
    int shots = 0;
    int within025 = 0;
    int within1 = 0;
    int misses = 0;
    std::vector<double> errorsUs;  // measured minus true flight time, shots within 1 %
    void Add(const Tally& other);
};

struct SessionScore {
    std::array<Tally, kBuckets> buckets;
    int falseShots = 0;
    int neighbours = 0;
    double sdRatio = 0;  // measured string SD over true SD, matched shots
};

SessionScore Score(const Recording& truth, const Measurements& measured, double distance);

}  // namespace quorvel::range
