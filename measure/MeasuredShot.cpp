#include "MeasuredShot.h"

#include <algorithm>

namespace quorvel {

MeasuredShot MeasureDetection(const Detection& d, DetectionMethod method, const Settings& settings, double sampleTimeMs,
                              double timeDays)
{
    MeasuredShot shot;
    shot.method = method;
    shot.units = settings.units;
    shot.muzzle = d.muzzle;
    shot.impact = d.impact;
    shot.samples = d.samples;
    shot.sigma = d.sigma;
    shot.timeDays = timeDays;
    // A miss keeps what it was measured with too, for the library.
    shot.result = MeasureShot(std::max(d.samples, 2.0), settings, sampleTimeMs);
    shot.result.ShotTime = timeDays;
    if (d.kind == Detection::Kind::Miss) {
        shot.outcome = d.miss;
    } else if (!MeasurableSamples(d.samples)) {
        // Muzzle and impact on the same or neighbouring samples: faster than
        // the sample rate can measure. Reported as over the maximum, never
        // stored as an infinite velocity.
        shot.outcome = ShotOutcome::TooClose;
    }
    if (!shot.IsShot()) {
        shot.result.AvgVelocity = shot.result.MuzzleVelocity = 0;
        shot.result.Samples = shot.outcome == ShotOutcome::TooClose ? static_cast<std::int32_t>(d.samples) : 0;
    }
    return shot;
}

std::string MissText(ShotOutcome outcome)
{
    switch (outcome) {
    case ShotOutcome::TooClose: return "Max. Velocity";
    case ShotOutcome::RateTooLow: return "rate too low";
    case ShotOutcome::NoImpact: return "no impact";
    case ShotOutcome::Shot: break;
    }
    return {};
}

}  // namespace quorvel
