// The onset method per 28800-sample capture block at 96 kHz, with the
// threshold scan over the same blocks in the same run: a simulated session
// with neighbours, echoes and shots, fed as the live program feeds it.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "CaptureRing.h"
#include "Clock.h"
#include "OnsetDetector.h"
#include "Session.h"
#include "ThresholdDetector.h"

namespace {

using namespace quorvel;

struct Quiet final : OnsetSink {
    void Onset(const OnsetEvent&) override {}
};

const range::Recording& BusyRange()
{
    static const range::Recording recording = [] {
        range::Scene scene;
        for (const range::Scene& s : range::Catalogue()) {
            if (s.rate == 96000 && s.neighboursPerMinute > 0) scene = s;
        }
        return range::MakeSession(scene, 12).string;
    }();
    return recording;
}

void BM_OnsetBlocks(benchmark::State& state)
{
    const range::Recording& rec = BusyRange();
    const TriggerWindow w = CalcTriggerWindow(25, 50, 400, 1000.0 / 96000);
    OnsetSetup setup;
    setup.sampleRate = 96000;
    setup.windowStart = w.start;
    setup.windowEnd = w.end;
    setup.muzzleVolume = 20;
    const std::size_t blocks = rec.samples.size() / kBlockSize;
    OnsetDetector detector(setup);
    Quiet sink;
    std::size_t b = 0;
    for (auto _ : state) {
        detector.Feed(std::span<const std::uint8_t>(rec.samples.data() + (b % blocks) * kBlockSize, kBlockSize), sink);
        ++b;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OnsetBlocks)->Unit(benchmark::kMicrosecond);

void BM_ThresholdBlocks(benchmark::State& state)
{
    const range::Recording& rec = BusyRange();
    const std::size_t blocks = rec.samples.size() / kBlockSize;
    SampleArray ring;
    DetectionState detection;
    const TriggerWindow w = CalcTriggerWindow(25, 50, 400, 1000.0 / 96000);
    detection.WindowStart = w.start;
    detection.WindowEnd = w.end;
    ManualClock clock;
    std::size_t b = 0;
    for (auto _ : state) {
        const int slot = static_cast<int>(b % kBlockCount) + 1;
        state.PauseTiming();
        std::copy_n(rec.samples.data() + (b % blocks) * kBlockSize, kBlockSize, ring.begin() + BlockStart(slot));
        clock.ms = static_cast<double>(b + 1) * 300;
        state.ResumeTiming();
        benchmark::DoNotOptimize(BlockLookTriggers(detection, ring.data(), slot, 20, 10, clock));
        ++b;
    }
}
BENCHMARK(BM_ThresholdBlocks)->Unit(benchmark::kMicrosecond);

}  // namespace
