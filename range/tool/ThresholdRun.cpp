#include "ThresholdRun.h"

#include <string>

#include "AudioFileReader.h"
#include "IniFile.h"
#include "RecordingMeasure.h"
#include "Settings.h"
#include "ShippedSettings.h"
#include "WaveBytes.h"

namespace quorvel::range {

namespace {

struct Collect final : MeasureListener {
    void Measured(const quorvel::MeasuredShot& e) override { all.push_back({e.muzzle, e.impact, e.IsShot()}); }
    Measurements all;
};

}  // namespace

// The one place that knows how a recording is measured with the threshold
// method; it follows RecordingMeasure's interface.
Measurements MeasureWithThreshold(std::span<const std::uint8_t> samples, int rate, double distance, int muzzleVolume,
                                  int impactVolume)
{
    LoadedSettings loaded = LoadSettingsFrom(IniDocument(kShippedSettings));
    loaded.record.method = DetectionMethod::Threshold;  // the shipped settings choose onset
    loaded.record.distance = distance;
    loaded.panel.txtInfo[PanelField::Distance] = std::to_string(distance);
    loaded.record.MuzzleVolume = static_cast<std::int16_t>(muzzleVolume);
    loaded.record.ImpactVolume = static_cast<std::int16_t>(impactVolume);
    loaded.panel.txtInfo[PanelField::MuzzleVolume] = std::to_string(muzzleVolume);
    loaded.panel.txtInfo[PanelField::ImpactVolume] = std::to_string(impactVolume);
    const MeasureSetup setup = SetupFor(loaded, rate);
    const std::vector<std::uint8_t> wave = WaveBytes(samples, rate);
    auto stream = AudioStream::OpenBytes(wave);
    Collect collect;
    if (!stream) return collect.all;
    RecordingMeasure measure(**stream, setup, 0, collect);
    while (measure.Step(64)) {
    }
    measure.Finish(true);
    return collect.all;
}

}  // namespace quorvel::range
