#include "Scoring.h"

#include <cmath>

namespace quorvel::range {

Bucket BucketOf(double snrDb) { return snrDb >= 10 ? kClear : snrDb >= 3 ? kFair : kFaint; }

const char* BucketName(int bucket)
{
    static const char* names[] = {">=10 dB", "3-10 dB", "<3 dB"};
    return names[bucket];
}

void Tally::Add(const Tally& o)
{
    shots += o.shots;
    within025 += o.within025;
    within1 += o.within1;
    misses += o.misses;
    errorsUs.insert(errorsUs.end(), o.errorsUs.begin(), o.errorsUs.end());
}

namespace {

double Sd(const std::vector<double>& v)
{
    if (v.size() < 2) return 0;
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

}  // namespace

SessionScore Score(const Recording& truth, const Measurements& measured, double distance)
{
    SessionScore score;
    score.neighbours = static_cast<int>(truth.neighbours.size());
    const double tolerance = 0.003 * truth.rate;  // 3 ms
    std::vector<int> matchOf(truth.shots.size(), -1);
    for (std::size_t m = 0; m < measured.size(); ++m) {
        if (!measured[m].shot) continue;
        int best = -1;
        for (std::size_t t = 0; t < truth.shots.size(); ++t) {
            const double gap = std::abs(measured[m].muzzle - truth.shots[t].muzzle);
            if (gap <= tolerance && (best < 0 || gap < std::abs(measured[m].muzzle - truth.shots[static_cast<std::size_t>(best)].muzzle))) {
                best = static_cast<int>(t);
            }
        }
        if (best < 0 || matchOf[static_cast<std::size_t>(best)] >= 0) ++score.falseShots;
        else matchOf[static_cast<std::size_t>(best)] = static_cast<int>(m);
    }
    std::vector<double> measuredV, trueV;
    for (std::size_t t = 0; t < truth.shots.size(); ++t) {
        const ShotTruth& s = truth.shots[t];
        Tally& tally = score.buckets[BucketOf(s.snrDb)];
        ++tally.shots;
        if (matchOf[t] < 0) {
            ++tally.misses;
            continue;
        }
        const MeasuredShot& m = measured[static_cast<std::size_t>(matchOf[t])];
        const double flight = (m.impact - m.muzzle) / truth.rate;
        const double velocity = flight > 0 ? distance / flight : 0;
        const double off = std::abs(velocity - s.velocity) / s.velocity;
        tally.within025 += off <= 0.0025;
        tally.within1 += off <= 0.01;
        if (off <= 0.01) tally.errorsUs.push_back((flight - s.flight) * 1e6);
        // Both spreads over the same shots: a missed shot leaves the true
        // string as well as the measured one.
        measuredV.push_back(velocity);
        trueV.push_back(s.velocity);
    }
    const double trueSd = Sd(trueV);
    score.sdRatio = trueSd > 0 ? Sd(measuredV) / trueSd : 0;
    return score;
}

}  // namespace quorvel::range
