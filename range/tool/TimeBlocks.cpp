#include "TimeBlocks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "CaptureRing.h"
#include "Clock.h"
#include "OnsetRun.h"
#include "Session.h"
#include "ThresholdDetector.h"

namespace quorvel::range {

namespace {

struct Quiet final : OnsetSink {
    void Onset(const OnsetEvent&) override { ++events; }
    int events = 0;
};

double Seconds(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// One scene's string fed block by block to both methods, five times over.
void TimeScene(const Scene& scene)
{
    const Recording rec = MakeSession(scene).string;
    const auto blocks = rec.samples.size() / kBlockSize;
    const OnsetSetup setup = OnsetSetupFor(scene.rate, scene.distance, 20, 10, {});
    double onsetSeconds = 0, thresholdSeconds = 0, worst = 0;
    constexpr int kRounds = 5;
    SampleArray ring;
    for (int round = 0; round < kRounds; ++round) {
        OnsetDetector detector(setup);
        Quiet sink;
        DetectionState state;
        const TriggerWindow w = CalcTriggerWindow(scene.distance, 50, 400, 1000.0 / scene.rate);
        state.WindowStart = w.start;
        state.WindowEnd = w.end;
        ManualClock clock;
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::span<const std::uint8_t> block(rec.samples.data() + b * kBlockSize, kBlockSize);
            auto start = std::chrono::steady_clock::now();
            detector.Feed(block, sink);
            const double took = Seconds(start);
            onsetSeconds += took;
            worst = std::max(worst, took);
            const int slot = static_cast<int>(b % kBlockCount) + 1;
            std::copy(block.begin(), block.end(), ring.begin() + BlockStart(slot));
            clock.ms = static_cast<double>(b + 1) * 300;
            start = std::chrono::steady_clock::now();
            BlockLookTriggers(state, ring.data(), slot, 20, 10, clock);
            thresholdSeconds += Seconds(start);
        }
    }
    const double n = static_cast<double>(blocks) * kRounds;
    std::printf("per 28800-sample block at 96 kHz (%s, %zu blocks x %d):\n", scene.name.c_str(), blocks, kRounds);
    std::printf("  onset method     %8.1f us (worst block %.1f us)\n", onsetSeconds / n * 1e6, worst * 1e6);
    std::printf("  threshold scan   %8.1f us\n", thresholdSeconds / n * 1e6);
    std::printf("  onset method, whole recording: %.0f times real time\n",
                static_cast<double>(rec.samples.size()) / scene.rate / (onsetSeconds / kRounds));
}

}  // namespace

void PrintBlockTimes()
{
    // The busy line (neighbours' reports to check, the most candidates) and
    // an echoing hall with neighbours (every window rings, so rises are
    // measured on the flattened report), both at 96 kHz.
    Scene busy, hall;
    for (const Scene& s : Catalogue()) {
        if (s.rate != 96000 || s.neighboursPerMinute <= 0) continue;
        (s.rt60 > 0 ? hall : busy) = s;
    }
    TimeScene(busy);
    TimeScene(hall);
}

}  // namespace quorvel::range
