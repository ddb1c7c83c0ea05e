// How fast a capture block is scanned, against the plain per-sample scan
// that reads the clock for every sample, and how fast a whole recording goes
// through the analyser.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <streambuf>

#include "support/TempFolder.h"
#include "Analyzer.h"
#include "ThresholdDetector.h"
#include "ShotSynth.h"
#include "ReferenceScan.h"

using namespace quorvel;

namespace {

SampleArray NoiseRing()
{
    SampleArray ring;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (auto& s : ring) s = static_cast<std::uint8_t>(127 + noise(rng));
    return ring;
}

SampleArray ShotRing()
{
    synth::Recording r;
    r.length = kRingSamples;
    r.shots.push_back({3000, 19000, 0.8, 0.45});  // impact near the end of block 1: the whole block is scanned
    const auto sound = synth::SynthesizeEightBit(r);
    SampleArray ring;
    std::copy(sound.begin(), sound.end(), ring.begin());
    ring[kRingSamples] = kSilence;
    return ring;
}

DetectionState Idle()
{
    DetectionState st;
    st.WindowStart = 2400;
    st.WindowEnd = 19200;
    return st;
}

template <typename Scan>
void RunScan(benchmark::State& state, const SampleArray& ring, Scan scan)
{
    SteadyClock clock;
    for (auto _ : state) {
        DetectionState st = Idle();
        const ScanResult r = scan(st, ring.data(), 1, std::int16_t{60}, std::int16_t{30}, clock);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(st);
    }
    state.SetItemsProcessed(state.iterations() * kBlockSize);
}

void BM_ScanBlock(benchmark::State& state)
{
    const SampleArray ring = state.range(0) == 0 ? NoiseRing() : ShotRing();
    RunScan(state, ring, [](DetectionState& st, const std::uint8_t* a, int block, std::int16_t muzzle, std::int16_t impact,
                          Clock& clock) { return quorvel::BlockLookTriggers(st, a, block, muzzle, impact, clock); });
    state.SetLabel(state.range(0) == 0 ? "noise" : "shot");
}

void BM_ScanBlockReference(benchmark::State& state)
{
    const SampleArray ring = state.range(0) == 0 ? NoiseRing() : ShotRing();
    RunScan(state, ring, reference::BlockLookTriggers);
    state.SetLabel(state.range(0) == 0 ? "noise" : "shot");
}

class NullBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_AnalyzeFile(benchmark::State& state)
{
    const auto dir = test_support::FolderFor("bench");
    std::filesystem::create_directories(dir);
    const auto settings = dir / "settings.ini";
    std::ofstream(settings) << "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\n"
                               "RetainedVelocity=90\n[calibration]\nMuzzleVolume=60\nImpactVolume=30\n";
    synth::Recording r;
    r.length = 10 * 96000;
    for (int k = 0; k < 6; ++k) r.shots.push_back({48000 + k * 150000L, 5000 + 100 * k, 0.8, 0.45});
    const auto file = dir / "ten-seconds.wav";
    synth::WriteRecording(file.string(), synth::Synthesize(r), 96000, synth::FileKind::Wav8);

    NullBuffer null;
    std::ostream out(&null);
    for (auto _ : state) {
        const int status = RunAnalyzer({"--settings", settings.string(), file.string()}, "", out, out);
        benchmark::DoNotOptimize(status);
    }
    state.SetItemsProcessed(state.iterations() * r.length);
}

}  // namespace

BENCHMARK(BM_ScanBlock)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScanBlockReference)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalyzeFile)->Unit(benchmark::kMillisecond);

