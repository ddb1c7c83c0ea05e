#include "ShotResult.h"

#include <cmath>

namespace quorvel {

ShotResult MeasureShot(double samples, const Settings& s, double sampleTimeMs)
{
    ShotResult r;
    const double seconds = samples * sampleTimeMs / 1000;
    r.AvgVelocity = s.distance / seconds;
    r.MuzzleVelocity = ((100 - s.RetainedVelocity) / 2 / 100 + 1) * r.AvgVelocity + s.offset;
    r.Distance = s.distance;
    r.PelletMass = s.pelletmass;
    r.MuzzleLevel = static_cast<std::uint8_t>(s.MuzzleVolume & 0xFF);
    r.ImpactLevel = static_cast<std::uint8_t>(s.ImpactVolume & 0xFF);
    r.Samples = static_cast<std::int32_t>(std::lround(samples));
    r.SampleRate = s.frequency;
    return r;
}

}  // namespace quorvel
