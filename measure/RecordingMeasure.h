// Measures a recording of any length with the chosen detection method,
// exactly as if it were being recorded: the file is read a block at a time
// and handed to the detector, the hold-off runs on the time the sound took,
// and every shot and miss is reported with its place in the file. Nothing
// but one block is held, so an hour at 96 kHz costs no more memory than a
// second. The caller decides how much to measure at a time (Step), so a
// window can show progress and stop it between steps.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "AudioFileReader.h"
#include "CaptureRing.h"
#include "Detection.h"
#include "MeasuredShot.h"
#include "Settings.h"

namespace quorvel {

// The loaded settings with a recording's own sample rate in force.
struct MeasureSetup {
    Settings record;
    SettingsPanel panel;
    UnitLabels units;
    double sampleTimeMs = 0;
    TriggerWindow window;
    DetectionMethod Method() const { return record.method; }
    DetectionSetup Detection() const;
};
MeasureSetup SetupFor(const LoadedSettings& loaded, int sampleRate);
// The impact window of these settings' distance and limits, and what a
// search of a sound at `rate` needs.
TriggerWindow WindowOf(const Settings& record, double sampleTimeMs);
DetectionSetup DetectionSetupOf(const Settings& record, std::int32_t rate, const std::string& learnt);

class MeasureListener {
public:
    // A shot or miss; `muzzle` and `impact` are samples from the file's first.
    virtual void Measured(const MeasuredShot& shot) = 0;

protected:
    ~MeasureListener() = default;
};

class RecordingMeasure final : private DetectionSink {
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
    void Detected(const Detection& detection) override;
    void SetClockTo(std::int64_t samples);

    AudioStream& stream_;
    const MeasureSetup& setup_;
    double startDays_;
    MeasureListener& listener_;
    ManualClock clock_;
    std::unique_ptr<Detector> detector_;
    std::array<std::uint8_t, kBlockSize> block_{};
    std::int64_t samplesRead_ = 0;
    bool ended_ = false;
    bool finished_ = false;
};

// "2:05.3" or "1:02:05.3": a place in a recording, to the tenth of a second.
std::string PlaceText(std::int64_t samples, int rate);

}  // namespace quorvel
