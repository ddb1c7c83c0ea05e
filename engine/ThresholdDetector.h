// The threshold method, as Quorvel has always measured: a sample farther
// from silence than the muzzle volume arms the muzzle trigger (at most once
// per 900 ms of processing time); the next sample louder than the impact
// volume inside the trigger window is the impact. The count of samples
// between them carries across blocks. Nothing here allocates.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "CaptureRing.h"
#include "Clock.h"
#include "Detection.h"

namespace quorvel {

struct DetectionState {
    std::int64_t MuzzlePos = 0;      // position of the armed muzzle trigger
    bool MuzzleArmed = false;        // kept apart from MuzzlePos so a trigger at position 0 counts
    std::int64_t ImpactPos = 0;      // position of the impact trigger
    std::int32_t ShotSamples = 0;    // samples from muzzle to impact of the shot just found
    std::int64_t SamplesSinceMuzzle = 0;
    std::optional<std::int32_t> LastMuzzleTime;  // NowMs at the last muzzle trigger, rounded; none yet
    std::int32_t WindowStart = 0;    // earliest accepted impact, samples after the muzzle
    std::int32_t WindowEnd = 0;      // latest accepted impact

    bool operator==(const DetectionState&) const = default;
};

// The muzzle must be this much processing time after the previous one.
inline constexpr double kMuzzleHoldOffMs = 4.5 / 5 * 1000;

enum class ScanStatus : std::uint8_t { Nothing, MuzzleSeen, Shot, NoImpact };

struct ScanResult {
    ScanStatus status = ScanStatus::Nothing;
    std::int64_t muzzlePos = 0;  // for NoImpact: where the timed-out muzzle fired
};

// Scans one block whose first sample is at `position`; the scan stops at a
// shot or a timeout. The clock is read only for a loud sample while nothing
// is armed, which is the only time the hold-off can matter.
ScanResult BlockLookTriggers(DetectionState& state, std::span<const std::uint8_t> block, std::int64_t position,
                             std::int16_t muzzleVolume, std::int16_t impactVolume, Clock& clock);
// The same over block `block` (1..5) of a ring-shaped array, at its ring indexes.
inline ScanResult BlockLookTriggers(DetectionState& state, const std::uint8_t* ring, int block, std::int16_t muzzleVolume,
                                    std::int16_t impactVolume, Clock& clock)
{
    return BlockLookTriggers(state, std::span<const std::uint8_t>(ring + BlockStart(block), kBlockSize), BlockStart(block),
                             muzzleVolume, impactVolume, clock);
}

// The first index in [begin, end) whose distance from 127 exceeds `volume`,
// or `end`.
std::size_t FindLoud(const std::uint8_t* samples, std::size_t begin, std::size_t end, std::int16_t volume);

class ThresholdDetector final : public Detector {
public:
    explicit ThresholdDetector(Clock& clock) : clock_(clock) {}

    DetectionMethod Method() const override { return DetectionMethod::Threshold; }
    void Configure(const DetectionSetup& setup) override;
    // The armed triggers and the shot just found are forgotten; the count
    // since the last muzzle and the hold-off go on, as they always have.
    void Restart() override;
    void Scan(std::span<const std::uint8_t> samples, DetectionSink& sink) override;
    void Finish(DetectionSink& sink) override;

    DetectionState& State() { return state_; }
    const DetectionState& State() const { return state_; }

private:
    Clock& clock_;
    DetectionState state_;
    std::int16_t muzzleVolume_ = 0;
    std::int16_t impactVolume_ = 0;
    std::int64_t position_ = 0;  // of the next sample
};

}  // namespace quorvel
