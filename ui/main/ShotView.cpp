#include "ShotView.h"

namespace quorvel {

namespace {

std::int32_t RingIndex(double position)
{
    const auto p = static_cast<std::int64_t>(position);
    return static_cast<std::int32_t>(((p % kRingSamples) + kRingSamples) % kRingSamples);
}

void FreezeFor(ShotView& v, int switchIndex, const char* caption)
{
    v.freezeSwitch = switchIndex;
    v.freezeCaption = caption;
    v.pending = PendingAction::Freeze;
}

void ViewShot(ShotView& v, const MeasuredShot& shot, const Switches& switches, const Settings& s)
{
    v.pendingFollowsShot = true;
    if (switches[Switch::AutoSave]) v.pending = PendingAction::Autosave;
    if (switches[Switch::FreezeIfDetected]) {
        FreezeFor(v, 0, "Analyze - Shot detected");
    } else if (switches[Switch::FreezeIfMaxExceeded] && shot.result.AvgVelocity >= s.VelocityMax) {
        v.notice = "Max. Velocity";
        FreezeFor(v, 2, "Analyze - Max velocity exceeded");
    }
}

}  // namespace

MeasuringLabels MakeMeasuringLabels(const MeasuredShot& measured, double distance, double sampleTimeMs,
                                    std::string_view speedUnit)
{
    MeasuringLabels l;
    const ShotResult& shot = measured.result;
    const bool between = measured.method != DetectionMethod::Threshold;
    const double samples = between ? measured.samples : shot.Samples;
    AppendPattern(l.averageVelocity, shot.AvgVelocity, "0.0").Append(" ").Append(speedUnit);
    AppendPattern(l.elapsedSamples, samples, between ? "0.00" : "00").Append("  = ");
    AppendPattern(l.elapsedSamples, samples * sampleTimeMs, "0.0000").Append(" ms");
    AppendPattern(l.resolution, sampleTimeMs, "0.0000").Append(" ms");
    if (between) {
        AppendPattern(l.accuracy.Append("± "), measured.VelocitySigma(), "0.00").Append(speedUnit);
    } else {
        AppendPattern(l.accuracy, distance / ((samples - 1) * sampleTimeMs / 1000), "0.00").Append(" - ");
        AppendPattern(l.accuracy, distance / ((samples + 1) * sampleTimeMs / 1000), "0.00").Append(speedUnit);
    }
    AppendPattern(l.shotNumber, shot.ShotNumber, "0");
    return l;
}

ShotView ViewOf(const Detection& d, const MeasuredShot* shot, const Switches& switches, const Settings& settings,
                double sampleTimeMs, std::string_view speedUnit)
{
    ShotView v;
    // Every event reddens the muzzle box and starts the timer that takes the lines away.
    v.muzzleBoxRed = true;
    v.startTrigLineTimer = true;
    v.muzzleLine = RingIndex(d.muzzle);
    if (d.kind == Detection::Kind::Shot) {
        v.impactLine = RingIndex(d.impact);
        v.impactBoxRed = true;
    }
    if (shot == nullptr) return v;
    switch (shot->outcome) {
    case ShotOutcome::Shot:
        v.showLabels = true;
        v.labels = MakeMeasuringLabels(*shot, settings.distance, sampleTimeMs, speedUnit);
        ViewShot(v, *shot, switches, settings);
        break;
    case ShotOutcome::TooClose:
        if (switches[Switch::FreezeIfMaxExceeded]) FreezeFor(v, 2, "Analyze - Max velocity exceeded");
        break;
    case ShotOutcome::NoImpact:
    case ShotOutcome::RateTooLow:
        if (switches[Switch::FreezeIfNoImpact]) FreezeFor(v, 1, "Analyze - Impact not detected");
        break;
    }
    return v;
}

std::string WindowCaption(const TriggerWindow& w)
{
    return "Window: T+" + FormatPattern(w.startMs, "0.0000") + " - " + FormatPattern(w.endMs, "0.0000") + " ms" +
           kLineBreak + "                T+ " + FormatPattern(w.start, "0") + " - " + FormatPattern(w.end, "0") + " samples";
}

}  // namespace quorvel
