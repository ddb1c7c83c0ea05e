#include "ShotDetector.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

std::size_t FindLoud(const std::uint8_t* samples, std::size_t begin, std::size_t end, std::int16_t volume)
{
    if (begin >= end) return end;
    if (volume < 0) return begin;  // every sample is at least 0 from silence
    if (volume >= 128) return end; // no sample is farther than 128
    // |127 - s| > volume  <=>  s > 127 + volume  or  s < 127 - volume
    const auto high = static_cast<std::uint8_t>(kSilence + volume);
    const auto low = static_cast<std::uint8_t>(kSilence - volume);
    // Quiet stretches are skipped a chunk at a time; the branch-free inner
    // loop is what the compiler turns into vector compares.
    constexpr std::size_t kChunk = 64;
    std::size_t i = begin;
    while (i + kChunk <= end) {
        std::uint8_t loud = 0;
        for (std::size_t k = 0; k < kChunk; ++k) {
            const std::uint8_t s = samples[i + k];
            loud |= static_cast<std::uint8_t>((s > high) | (s < low));
        }
        if (loud != 0) break;
        i += kChunk;
    }
    for (; i < end; ++i) {
        if (samples[i] > high || samples[i] < low) return i;
    }
    return end;
}

ScanResult BlockLookTriggers(DetectionState& st, const std::uint8_t* samples, int block, std::int16_t muzzleVolume,
                             std::int16_t impactVolume, Clock& clock)
{
    ScanResult result;
    const auto first = static_cast<std::int64_t>(BlockStart(block));
    const std::int64_t end = first + kBlockSize;  // one past the last sample
    const std::int64_t windowStart = st.WindowStart;
    const std::int64_t windowEnd = st.WindowEnd;

    std::int64_t i = first;
    while (i < end) {
        if (!st.MuzzleArmed) {
            const auto loud = static_cast<std::int64_t>(
                FindLoud(samples, static_cast<std::size_t>(i), static_cast<std::size_t>(end), muzzleVolume));
            st.SamplesSinceMuzzle += loud - i;
            i = loud;
            if (i >= end) break;
            if (clock.NowMs() - st.LastMuzzleTime <= kMuzzleHoldOffMs) {
                st.SamplesSinceMuzzle += 1;
                ++i;
                continue;
            }
            st.MuzzlePos = static_cast<std::int32_t>(i);
            st.MuzzleArmed = true;
            st.ImpactPos = 0;
            st.SamplesSinceMuzzle = 0;
            result.status = ScanStatus::MuzzleSeen;
            st.LastMuzzleTime = RoundToInt32(clock.NowMs());
            // The same sample goes on to the impact test below.
        }

        const std::int64_t count = st.SamplesSinceMuzzle;
        if (count > windowEnd) {
            result.status = ScanStatus::NoImpact;
            result.muzzlePos = st.MuzzlePos;
            st.MuzzlePos = 0;
            st.MuzzleArmed = false;
            st.SamplesSinceMuzzle = 0;
            return result;
        }
        if (count < windowStart) {
            // Too early for an impact: skip to the window (or to the timeout
            // when the window is empty).
            const std::int64_t skip = std::min({std::min(windowStart, windowEnd + 1) - count, end - i});
            st.SamplesSinceMuzzle += skip;
            i += skip;
            continue;
        }
        const std::int64_t span = std::min(windowEnd - count + 1, end - i);
        const auto hit = static_cast<std::int64_t>(
            FindLoud(samples, static_cast<std::size_t>(i), static_cast<std::size_t>(i + span), impactVolume));
        if (hit < i + span) {
            st.ImpactPos = static_cast<std::int32_t>(hit);
            st.ShotSamples = static_cast<std::int32_t>(count + (hit - i));
            st.SamplesSinceMuzzle = 0;
            result.status = ScanStatus::Shot;
            return result;
        }
        st.SamplesSinceMuzzle += span;
        i += span;
    }
    // The counter only needs to stay bounded while idle.
    if (st.SamplesSinceMuzzle > 1000000 && !st.MuzzleArmed) st.SamplesSinceMuzzle = 0;
    return result;
}

TriggerWindow CalcTriggerWindow(double distance, double velocityMin, double velocityMax, double sampleTimeMs)
{
    const double startMs = distance / velocityMax * 1000;
    const double endMs = distance / velocityMin * 1000;
    TriggerWindow w;
    w.start = FloorToInt32(startMs / sampleTimeMs);
    w.end = FloorToInt32(endMs / sampleTimeMs);
    w.debugText = "Window: T+" + FormatPattern(startMs, "0.0000") + " - " + FormatPattern(endMs, "0.0000") + " ms" +
                  kLineBreak + "                T+ " + FormatPattern(w.start, "0") + " - " +
                  FormatPattern(w.end, "0") + " samples";
    return w;
}

TriggerWindow CalcTriggerWindow(const SettingsPanel& panel, Settings& record, double sampleTimeMs)
{
    record.VelocityMin = FieldValue(panel, PanelField::VelocityMin);
    record.VelocityMax = FieldValue(panel, PanelField::VelocityMax);
    record.distance = FieldValue(panel, PanelField::Distance);
    return CalcTriggerWindow(record.distance, record.VelocityMin, record.VelocityMax, sampleTimeMs);
}

ShotResult MeasureShot(std::int32_t samples, const Settings& s, double sampleTimeMs)
{
    ShotResult r;
    const double seconds = samples * sampleTimeMs / 1000;
    r.AvgVelocity = s.distance / seconds;
    r.MuzzleVelocity = ((100 - s.RetainedVelocity) / 2 / 100 + 1) * r.AvgVelocity + s.offset;
    r.Distance = s.distance;
    r.PelletMass = s.pelletmass;
    r.MuzzleLevel = static_cast<std::uint8_t>(s.MuzzleVolume & 0xFF);
    r.ImpactLevel = static_cast<std::uint8_t>(s.ImpactVolume & 0xFF);
    r.Samples = samples;
    r.SampleRate = s.frequency;
    return r;
}

MeasuringLabels MakeMeasuringLabels(const ShotResult& shot, double distance, double sampleTimeMs, std::string_view speedUnit)
{
    MeasuringLabels l;
    const double samples = shot.Samples;
    AppendPattern(l.averageVelocity, shot.AvgVelocity, "0.0").Append(" ").Append(speedUnit);
    AppendPattern(l.elapsedSamples, samples, "00").Append("  = ");
    AppendPattern(l.elapsedSamples, samples * sampleTimeMs, "0.0000").Append(" ms");
    AppendPattern(l.resolution, sampleTimeMs, "0.0000").Append(" ms");
    AppendPattern(l.accuracy, distance / ((samples - 1) * sampleTimeMs / 1000), "0.00").Append(" - ");
    AppendPattern(l.accuracy, distance / ((samples + 1) * sampleTimeMs / 1000), "0.00").Append(speedUnit);
    AppendPattern(l.shotNumber, shot.ShotNumber, "0");
    return l;
}

void ShotDetector::ResetForStart()
{
    state_.MuzzlePos = 0;
    state_.MuzzleArmed = false;
    state_.ImpactPos = 0;
    state_.ShotSamples = 0;
}

void ShotDetector::SetWindow(const TriggerWindow& window)
{
    state_.WindowStart = window.start;
    state_.WindowEnd = window.end;
}

BlockOutcome ShotDetector::OnBlock(const SampleArray& ring, int block, const MeasureContext& context)
{
    if (pending_ == kNoPendingAction) return ProcessBuf(ring, block, context);
    return CarryOutPending(context.switches);
}

BlockOutcome ShotDetector::CarryOutPending(const Switches& switches)
{
    BlockOutcome out;
    if (pending_ == kNoPendingAction) return out;
    const bool autosaveTicked = switches[Switch::AutoSave];
    if (pending_ == kPendingFreeze) {
        // A freeze after "no impact" saves nothing: ShotResult still holds
        // the previous shot, which is already saved.
        out.autosave = autosaveTicked && pendingFollowsShot_;
        out.freeze = true;
    } else {
        out.autosave = autosaveTicked;
    }
    pending_ = kNoPendingAction;
    return out;
}

BlockOutcome ShotDetector::ProcessBuf(const SampleArray& ring, int block, const MeasureContext& context)
{
    BlockOutcome out;
    out.scanned = true;
    const Settings& s = context.settings;
    const ScanResult scan = BlockLookTriggers(state_, ring.data(), block, s.MuzzleVolume, s.ImpactVolume, clock_);
    std::int16_t result = kNoPendingAction;
    bool followsShot = false;

    switch (scan.status) {
    case ScanStatus::Nothing:
        break;
    case ScanStatus::MuzzleSeen:
        out.event = BlockEvent::MuzzleSeen;
        out.muzzleBoxRed = true;
        out.muzzleLine = state_.MuzzlePos;
        out.startTrigLineTimer = true;
        break;
    case ScanStatus::Shot: {
        out.impactLine = state_.ImpactPos;
        out.muzzleLine = state_.MuzzlePos;
        out.muzzleBoxRed = true;
        out.impactBoxRed = true;
        out.startTrigLineTimer = true;
        if (!MeasurableSamples(state_.ShotSamples)) {
            // Muzzle and impact on the same or neighbouring samples: faster
            // than the sample rate can measure. Reported as over the maximum,
            // never stored as an infinite velocity.
            out.event = BlockEvent::TooClose;
            out.missText = "Max. Velocity";
            if (context.switches[Switch::FreezeIfMaxExceeded]) {
                out.freezeCaption = "Analyze - Max velocity exceeded";
                out.freezeSwitch = 2;
                result = kPendingFreeze;
            }
        } else {
            out.event = BlockEvent::Shot;
            state_.ShotCount += 1;
            shot_ = MeasureShot(state_.ShotSamples, s, context.sampleTimeMs);
            shot_.ShotTime = clock_.NowDays();
            shot_.ShotNumber = state_.ShotCount;
            out.labels = MakeMeasuringLabels(shot_, s.distance, context.sampleTimeMs, context.speedUnit);
            out.fillData = true;
            followsShot = true;
            if (context.switches[Switch::AutoSave]) result = kPendingAutosave;
            if (context.switches[Switch::FreezeIfDetected]) {
                out.freezeSwitch = 0;
                out.freezeCaption = "Analyze - Shot detected";
                result = kPendingFreeze;
            } else if (context.switches[Switch::FreezeIfMaxExceeded] && shot_.AvgVelocity >= s.VelocityMax) {
                out.missText = "Max. Velocity";
                out.freezeCaption = "Analyze - Max velocity exceeded";
                out.freezeSwitch = 2;
                result = kPendingFreeze;
            }
        }
        state_.MuzzlePos = 0;
        state_.MuzzleArmed = false;
        state_.ImpactPos = 0;
        state_.ShotSamples = 0;
        break;
    }
    case ScanStatus::NoImpact:
        out.event = BlockEvent::NoImpact;
        out.missText = "no impact";
        out.muzzleLine = scan.muzzlePos;
        state_.MuzzlePos = 0;
        state_.MuzzleArmed = false;
        state_.ShotSamples = 0;
        out.muzzleBoxRed = true;
        out.startTrigLineTimer = true;
        if (context.switches[Switch::FreezeIfNoImpact]) {
            out.freezeCaption = "Analyze - Impact not detected";
            out.freezeSwitch = 1;
            result = kPendingFreeze;
        }
        break;
    }
    pending_ = result;
    pendingFollowsShot_ = followsShot;
    return out;
}

WaveformSearch SearchWaveform(DetectionState& st, const SampleArray& waveform, std::int16_t muzzleVolume,
                              std::int16_t impactVolume, Clock& clock)
{
    st.MuzzlePos = 0;
    st.MuzzleArmed = false;
    st.ImpactPos = 0;
    st.LastMuzzleTime = 0;
    WaveformSearch found;
    for (int block = 1; block <= kBlockCount; ++block) {
        const ScanResult scan = BlockLookTriggers(st, waveform.data(), block, muzzleVolume, impactVolume, clock);
        if (scan.status == ScanStatus::NoImpact) {
            st.MuzzlePos = scan.muzzlePos;
            found.muzzleFound = true;
            found.muzzlePos = scan.muzzlePos;
            return found;
        }
        if (scan.status == ScanStatus::Shot) {
            found.muzzleFound = true;
            found.muzzlePos = st.MuzzlePos;
            found.impactFound = true;
            found.impactPos = st.ImpactPos;
            found.samples = st.ShotSamples;
            return found;
        }
    }
    found.muzzleFound = st.MuzzleArmed;
    found.muzzlePos = st.MuzzlePos;
    return found;
}

}  // namespace quorvel
