// Measuring a field recording: ten minutes of 16-bit 96 kHz sound with a
// shot every 30 s read from the file a block at a time through the live
// detector, against only reading it (the floor any measuring adds to), and
// suggesting volumes from one shot's waveform.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "support/TempFolder.h"
#include "LevelSuggestion.h"
#include "RecordingMeasure.h"
#include "ShotSynth.h"

using namespace quorvel;

namespace {

constexpr int kRate = 96000;
constexpr int kSeconds = 600;

const std::string& FieldRecording()
{
    static const std::string path = [] {
        const auto p = (test_support::FolderFor("bench") / "field.wav").string();
        synth::Recording r;
        r.sampleRate = kRate;
        r.length = std::int64_t{kRate} * kSeconds;
        for (int s = 5; s < kSeconds; s += 30) r.shots.push_back({std::int64_t{kRate} * s, synth::DelayFor(10, 200, kRate), 0.8, 0.45});
        synth::WriteRecording(p, synth::Synthesize(r), kRate, synth::FileKind::Wav16);
        return p;
    }();
    return path;
}

struct Count final : MeasureListener {
    void Measured(const MeasuredShot&) override { ++events; }
    int events = 0;
};

// Argument 0: the threshold method; 1: the onset method.
void BM_MeasureRecording(benchmark::State& state)
{
    LoadedSettings loaded;
    loaded.record.method = state.range(0) == 0 ? DetectionMethod::Threshold : DetectionMethod::Onset;
    state.SetLabel(std::string(MethodName(loaded.record.method)));
    loaded.record.distance = 10;
    loaded.record.MuzzleVolume = 60;
    loaded.record.ImpactVolume = 30;
    loaded.panel.txtInfo[PanelField::Distance] = "10";
    loaded.panel.txtInfo[PanelField::VelocityMin] = "50";
    loaded.panel.txtInfo[PanelField::VelocityMax] = "400";
    const MeasureSetup setup = SetupFor(loaded, kRate);
    FieldRecording();  // made once, outside the timing
    for (auto _ : state) {
        const auto stream = std::move(*AudioStream::Open(FieldRecording()));
        Count count;
        RecordingMeasure measure(*stream, setup, 0, count);
        while (measure.Step(64)) {
        }
        measure.Finish(true);
        if (count.events != kSeconds / 30) state.SkipWithError("shots were missed");
    }
    state.counters["x_real_time"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MeasureRecording)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadRecordingOnly(benchmark::State& state)
{
    std::array<std::uint8_t, kBlockSize> block{};
    FieldRecording();
    for (auto _ : state) {
        const auto stream = std::move(*AudioStream::Open(FieldRecording()));
        while (stream->Read(block) == block.size()) benchmark::DoNotOptimize(block.data());
    }
    state.counters["x_real_time"] = benchmark::Counter(kSeconds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadRecordingOnly)->Unit(benchmark::kMillisecond);

void BM_SuggestLevels(benchmark::State& state)
{
    synth::Recording r;
    r.length = kRingSamples;
    r.echoMs = 30;
    r.echoLevel = 0.3;
    r.shots.push_back({40000, synth::DelayFor(10, 250, kRate), 0.8, 0.45});
    const auto samples = synth::SynthesizeEightBit(r);
    const TriggerWindow window = CalcTriggerWindow(10, 50, 400, 1000.0 / kRate);
    for (auto _ : state) benchmark::DoNotOptimize(SuggestLevels(samples, kRate, window));
}
BENCHMARK(BM_SuggestLevels)->Unit(benchmark::kMillisecond);

}  // namespace
