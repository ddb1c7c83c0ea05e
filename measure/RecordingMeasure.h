// Measures a recording of any length through the live detector, exactly as
// if it were being recorded: the file is read a block at a time into the
// capture ring, the hold-off runs on the time the sound took, and every shot
// and miss is reported with its place in the file. Nothing but one block is
// held, so an hour at 96 kHz costs no more memory than a second. The caller
// decides how much to measure at a time (Step), so a window can show
// progress and stop it between steps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "AudioFileReader.h"
#include "CaptureEngine.h"
#include "FakeRecordingDevice.h"
#include "Settings.h"
#include "ShotDetector.h"

namespace quorvel {

// The loaded settings with a recording's own sample rate in force.
struct MeasureSetup {
    Settings record;
    SettingsPanel panel;
    UnitLabels units;
    double sampleTimeMs = 0;
    TriggerWindow window;
};
MeasureSetup SetupFor(const LoadedSettings& loaded, int sampleRate);

enum class MeasuredKind { Shot, NoImpact, TooClose };

struct MeasuredEvent {
    MeasuredKind kind = MeasuredKind::Shot;
    ShotResult shot;               // a Shot's figures; ShotTime is the muzzle's moment
    std::int64_t muzzleSample = 0; // from the file's first sample
    std::int64_t impactSample = 0; // a Shot only
    std::string missText;          // what the main window would have shown for a miss
    double timeDays = 0;           // local days of the muzzle report
};

class MeasureListener {
public:
    virtual void Measured(const MeasuredEvent& event) = 0;

protected:
    ~MeasureListener() = default;
};

class RecordingMeasure final : private BlockConsumer {
public:
    // `startDays`: local days at the recording's first sample (0 when unknown).
    RecordingMeasure(AudioStream& stream, const MeasureSetup& setup, double startDays, MeasureListener& listener);
    ~RecordingMeasure();
    RecordingMeasure(const RecordingMeasure&) = delete;
    RecordingMeasure& operator=(const RecordingMeasure&) = delete;

    // Measures up to `blocks` more blocks; false once the sound has ended.
    bool Step(int blocks);
    // The sound has ended (or measuring stops here). With `runOut`, a muzzle
    // report still waiting for its impact runs out its window in silence, as
    // a recording would go on, and is reported as a miss rather than lost.
    void Finish(bool runOut);

    std::int64_t SamplesRead() const { return samplesRead_; }
    bool AnySound() const { return samplesRead_ > 0; }

private:
    void Deliver(std::span<const std::uint8_t> block);
    std::int64_t FileIndex(std::int32_t ringIndex, int currentBlock) const;
    bool OnBlock(const SampleArray& ring, int block) override;
    void Report(MeasuredKind kind, std::int64_t muzzle, std::int64_t impact, std::string missText);
    void SetClockToBlockEnd();

    AudioStream& stream_;
    const MeasureSetup& setup_;
    double startDays_;
    MeasureListener& listener_;
    FakeClock clock_;
    FakeRecordingDevice device_;
    struct NoWake final : HandOverWaker {
        void Wake() noexcept override {}
    } waker_;
    CaptureEngine engine_;
    ShotDetector detector_;
    std::array<std::uint8_t, kBlockSize> block_{};
    std::int64_t fileBlock_ = -1;
    std::int64_t samplesRead_ = 0;
    bool ended_ = false;
    bool finished_ = false;
    std::optional<std::int64_t> openMuzzle_;  // file index of a muzzle armed in an earlier block
};

// "2:05.3" or "1:02:05.3": a place in a recording, to the tenth of a second.
std::string PlaceText(std::int64_t samples, int rate);

}  // namespace quorvel
