// Turns capture blocks into shots.
// A sample farther from silence than the muzzle volume arms the muzzle
// trigger (at most once per 900 ms of processing time); the next sample
// louder than the impact volume inside the trigger window is the impact.
// The count of samples between them carries across blocks and across the
// ring's end, and gives the velocity. Each block's outcome is a small value
// the main window only has to show; nothing here allocates while recording.
#pragma once

#include <cstdint>
#include <string>

#include "CaptureRing.h"
#include "Clock.h"
#include "NumberText.h"
#include "Settings.h"

namespace quorvel {

struct DetectionState {
    std::int32_t MuzzlePos = 0;      // ring index of the armed muzzle trigger
    bool MuzzleArmed = false;        // kept apart from MuzzlePos so a trigger at index 0 counts
    std::int32_t ImpactPos = 0;      // ring index of the impact trigger
    std::int32_t ShotSamples = 0;    // samples from muzzle to impact of the shot just found
    std::int64_t SamplesSinceMuzzle = 0;
    std::int32_t LastMuzzleTime = 0; // NowMs at the last muzzle trigger, rounded
    std::int32_t WindowStart = 0;    // earliest accepted impact, samples after the muzzle
    std::int32_t WindowEnd = 0;      // latest accepted impact
    std::int32_t ShotCount = 0;      // number of the last shot

    bool operator==(const DetectionState&) const = default;
};

// The muzzle must be this much processing time after the previous one.
inline constexpr double kMuzzleHoldOffMs = 4.5 / 5 * 1000;

enum class ScanStatus : std::uint8_t { Nothing, MuzzleSeen, Shot, NoImpact };

struct ScanResult {
    ScanStatus status = ScanStatus::Nothing;
    std::int32_t muzzlePos = 0;  // for NoImpact: where the timed-out muzzle fired
};

// Scans block `block` (1..5) of a ring-shaped sample array. The clock is read
// only for a loud sample while nothing is armed, which is the only time the
// hold-off can matter.
ScanResult BlockLookTriggers(DetectionState& state, const std::uint8_t* samples, int block, std::int16_t muzzleVolume,
                             std::int16_t impactVolume, Clock& clock);

// The first index in [begin, end) whose distance from 127 exceeds `volume`,
// or `end`.
std::size_t FindLoud(const std::uint8_t* samples, std::size_t begin, std::size_t end, std::int16_t volume);

struct TriggerWindow {
    std::int32_t start = 0;
    std::int32_t end = 0;
    std::string debugText;  // the caption of debug2
};

// Reads distance and the velocity limits from the panel into the record and
// computes the impact window in samples.
TriggerWindow CalcTriggerWindow(const SettingsPanel& panel, Settings& record, double sampleTimeMs);
TriggerWindow CalcTriggerWindow(double distance, double velocityMin, double velocityMax, double sampleTimeMs);

struct ShotResult {
    double AvgVelocity = 0;
    double MuzzleVelocity = 0;
    double Distance = 0;
    double ShotTime = 0;  // local date and time, days since 30 December 1899
    double PelletMass = 0;
    std::uint8_t MuzzleLevel = 0;
    std::uint8_t ImpactLevel = 0;
    std::int32_t Samples = 0;
    std::int32_t ShotNumber = 0;
    std::int32_t SampleRate = 0;
};

// Velocities of a shot of `samples` samples with the settings in force.
// Needs at least two samples (fewer cannot be measured: see MeasurableSamples).
ShotResult MeasureShot(std::int32_t samples, const Settings& settings, double sampleTimeMs);
inline bool MeasurableSamples(std::int32_t samples) { return samples >= 2; }

// The captions of the measuring-data labels lblVel(0) to lblVel(5) for a shot.
struct MeasuringLabels {
    LabelText averageVelocity;  // lblVel(0)
    LabelText elapsedSamples;   // lblVel(1)
    LabelText resolution;       // lblVel(2)
    LabelText accuracy;         // lblVel(3)
    LabelText shotNumber;       // lblVel(5)
};
MeasuringLabels MakeMeasuringLabels(const ShotResult& shot, double distance, double sampleTimeMs, std::string_view speedUnit);

enum class BlockEvent : std::uint8_t {
    None,
    MuzzleSeen,
    Shot,
    TooClose,  // impact under two samples after the muzzle: no velocity can be given
    NoImpact,
};

inline constexpr std::int16_t kNoPendingAction = 0;
inline constexpr std::int16_t kPendingFreeze = 1;
inline constexpr std::int16_t kPendingAutosave = 2;

// What one block did, for the main window to show and carry out in order:
// first autosave, then freeze (when set); then the event's effects.
struct BlockOutcome {
    bool scanned = false;   // false when a pending action took the block
    bool autosave = false;  // AutoSaveShot now
    bool freeze = false;    // stop processing and freeze for analysis now
    BlockEvent event = BlockEvent::None;
    std::int32_t muzzleLine = -1;  // show trigline(0) at this ring index; -1 leaves it
    std::int32_t impactLine = -1;  // show trigline(1) at this ring index
    bool muzzleBoxRed = false;     // txtInfo(7)
    bool impactBoxRed = false;     // txtInfo(3)
    bool startTrigLineTimer = false;
    bool fillData = false;         // hand ShotResult to the results window
    LabelText missText;            // MisShot text, empty for none
    int freezeSwitch = -1;         // chkFreeze index whose text turns red
    LabelText freezeCaption;       // caption of the analysis window
    MeasuringLabels labels;        // for a Shot
};

// What the detector reads besides the ring, refreshed by the owner.
struct MeasureContext {
    const Settings& settings;
    double sampleTimeMs;
    std::string_view speedUnit;
    Switches switches;
};

// The live detector: detection state, the last shot and the action pending
// for the next block. Owned by whoever owns the capture engine.
class ShotDetector {
public:
    explicit ShotDetector(Clock& clock) : clock_(clock) {}

    // The block hand-over: carries out a pending action, or scans the block.
    BlockOutcome OnBlock(const SampleArray& ring, int block, const MeasureContext& context);
    // What the next block would have carried out, done now (a recording that
    // starts again on another rate or device ends with its own shot).
    BlockOutcome CarryOutPending(const Switches& switches);
    // Scans one block and decides the new pending action.
    BlockOutcome ProcessBuf(const SampleArray& ring, int block, const MeasureContext& context);

    // Recording starts: triggers and the shot just found are forgotten.
    void ResetForStart();
    void SetWindow(const TriggerWindow& window);

    DetectionState& State() { return state_; }
    const DetectionState& State() const { return state_; }
    const ShotResult& LastShot() const { return shot_; }
    std::int16_t PendingAction() const { return pending_; }
    void SetShotCount(std::int32_t count) { state_.ShotCount = count; }

private:
    Clock& clock_;
    DetectionState state_;
    ShotResult shot_;
    std::int16_t pending_ = kNoPendingAction;
    bool pendingFollowsShot_ = false;
};

// The analysis search over a waveform: the hold-off never blocks the first
// muzzle, and the search stops at the first shot or the first muzzle that
// times out. A muzzle seen in one block keeps counting into the next.
struct WaveformSearch {
    bool muzzleFound = false;
    std::int32_t muzzlePos = 0;
    bool impactFound = false;
    std::int32_t impactPos = 0;
    std::int32_t samples = 0;
};
WaveformSearch SearchWaveform(DetectionState& state, const SampleArray& waveform, std::int16_t muzzleVolume,
                              std::int16_t impactVolume, Clock& clock);

}  // namespace quorvel
