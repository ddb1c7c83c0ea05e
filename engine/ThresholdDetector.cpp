#include "ThresholdDetector.h"

#include <algorithm>

#include "NumberText.h"

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

namespace {

// The muzzle report at stream position `at` opens the impact window.
void ArmMuzzle(DetectionState& st, std::int64_t at, Clock& clock, ScanResult& result)
{
    st.MuzzlePos = at;
    st.MuzzleArmed = true;
    st.ImpactPos = 0;
    st.SamplesSinceMuzzle = 0;
    result.status = ScanStatus::MuzzleSeen;
    st.LastMuzzleTime = RoundToInt32(clock.NowMs());
}

}  // namespace

ScanResult BlockLookTriggers(DetectionState& st, std::span<const std::uint8_t> block, std::int64_t position,
                             std::int16_t muzzleVolume, std::int16_t impactVolume, Clock& clock)
{
    ScanResult result;
    const std::uint8_t* samples = block.data();
    const auto end = static_cast<std::int64_t>(block.size());  // one past the last sample
    const std::int64_t windowStart = st.WindowStart;
    const std::int64_t windowEnd = st.WindowEnd;
    std::int64_t i = 0;
    while (i < end) {
        if (!st.MuzzleArmed) {
            const auto loud = static_cast<std::int64_t>(
                FindLoud(samples, static_cast<std::size_t>(i), static_cast<std::size_t>(end), muzzleVolume));
            st.SamplesSinceMuzzle += loud - i;
            i = loud;
            if (i >= end) break;
            if (st.LastMuzzleTime && clock.NowMs() - *st.LastMuzzleTime <= kMuzzleHoldOffMs) {
                st.SamplesSinceMuzzle += 1;
                ++i;
                continue;
            }
            ArmMuzzle(st, position + i, clock, result);
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
            st.ImpactPos = position + hit;
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

void ThresholdDetector::Configure(const DetectionSetup& setup)
{
    state_.WindowStart = setup.window.start;
    state_.WindowEnd = setup.window.end;
    muzzleVolume_ = setup.muzzleVolume;
    impactVolume_ = setup.impactVolume;
}

void ThresholdDetector::Restart()
{
    state_.MuzzlePos = 0;
    state_.MuzzleArmed = false;
    state_.ImpactPos = 0;
    state_.ShotSamples = 0;
    position_ = 0;
}

void ThresholdDetector::Scan(std::span<const std::uint8_t> samples, DetectionSink& sink)
{
    const ScanResult scan = BlockLookTriggers(state_, samples, position_, muzzleVolume_, impactVolume_, clock_);
    position_ += static_cast<std::int64_t>(samples.size());
    Detection d;
    switch (scan.status) {
    case ScanStatus::Nothing:
        return;
    case ScanStatus::MuzzleSeen:
        d.muzzle = static_cast<double>(state_.MuzzlePos);
        break;
    case ScanStatus::Shot:
        d.kind = Detection::Kind::Shot;
        d.muzzle = static_cast<double>(state_.MuzzlePos);
        d.impact = static_cast<double>(state_.ImpactPos);
        d.samples = state_.ShotSamples;
        state_.MuzzlePos = 0;
        state_.MuzzleArmed = false;
        state_.ImpactPos = 0;
        state_.ShotSamples = 0;
        break;
    case ScanStatus::NoImpact:
        d.kind = Detection::Kind::Miss;
        d.miss = ShotOutcome::NoImpact;
        d.muzzle = static_cast<double>(scan.muzzlePos);
        state_.ShotSamples = 0;
        break;
    }
    sink.Detected(d);
}

void ThresholdDetector::Finish(DetectionSink& sink)
{
    // Silence after the end, a block at a time, until the window runs out.
    static const SampleArray silence = [] {
        SampleArray s;
        s.fill(kSilence);
        return s;
    }();
    const std::int64_t blocks = state_.WindowEnd / kBlockSize + 2;
    for (std::int64_t n = 0; n < blocks && state_.MuzzleArmed; ++n) {
        Scan(std::span<const std::uint8_t>(silence.data(), kBlockSize), sink);
    }
}

}  // namespace quorvel
