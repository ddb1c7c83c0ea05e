// One value for a measured shot, whatever measured it (the microphone, a
// file, the analyser) and whatever method timed it: what happened, its
// figures, where it was in the sound, how sure the timing is.
#pragma once

#include <string>

#include "Detection.h"
#include "ShotResult.h"
#include "Units.h"

namespace quorvel {

struct MeasuredShot {
    ShotOutcome outcome = ShotOutcome::Shot;
    ShotResult result;   // a Shot's figures; its number is given as it is routed
    double muzzle = 0;   // where the muzzle was, in samples of the sound it came from
    double impact = 0;   // a Shot's impact
    double samples = 0;  // between them, exactly (a fraction for the onset method)
    double sigma = 0;    // their uncertainty in samples, one standard deviation; 0 where not known
    double timeDays = 0; // local days of the shot
    DetectionMethod method = DetectionMethod::Threshold;
    UnitSystem units = UnitSystem::Metric;  // of the figures

    bool IsShot() const { return outcome == ShotOutcome::Shot; }
    // The muzzle velocity's uncertainty from the timing's, in the figures' unit.
    double VelocitySigma() const { return samples > 0 ? result.AvgVelocity * sigma / samples : 0; }
};

// The measured shot of a Shot or Miss detection with the settings in force:
// a Shot under two samples apart cannot be measured and is TooClose.
MeasuredShot MeasureDetection(const Detection& detection, DetectionMethod method, const Settings& settings,
                              double sampleTimeMs, double timeDays);

// What the results window shows for a shot that was no shot.
std::string MissText(ShotOutcome outcome);

}  // namespace quorvel
