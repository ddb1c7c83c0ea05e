#include <gtest/gtest.h>

#include <random>

#include "ReferenceScan.h"
#include "ShotSynth.h"
#include "ThresholdDetector.h"

using namespace quorvel;

namespace {

constexpr double kT96 = 1.0 / 96000 * 1000;
constexpr int kOpen = -1;  // keep the window the settings give

// A ring of silence with loud single samples (index, distance from 127).
SampleArray RingWith(std::initializer_list<std::pair<int, int>> loud)
{
    SampleArray a;
    a.fill(kSilence);
    for (const auto& [index, dev] : loud) a[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(127 + dev);
    return a;
}

// The threshold method fed the ring's blocks as the capture engine hands
// them over, with what it detected kept.
struct Harness final : DetectionSink {
    Harness() : detector(clock)
    {
        clock.ms = 100000;
        detector.Configure({96000, CalcTriggerWindow(10, 50, 400, kT96), 60, 30, {}});
    }
    // The detections of one block; positions are ring indexes, as the
    // engine's first pass round the ring gives them.
    std::vector<Detection> Block(const SampleArray& ring, int block)
    {
        seen.clear();
        detector.Scan(BlockOf(ring, block), *this);
        return seen;
    }
    void Detected(const Detection& d) override { seen.push_back(d); }
    ManualClock clock;
    ThresholdDetector detector;
    std::vector<Detection> seen;
};

}  // namespace

TEST(TriggerWindow, FollowsFromDistanceAndVelocityLimits)
{
    const TriggerWindow w = CalcTriggerWindow(10, 50, 400, kT96);
    EXPECT_EQ(std::make_pair(w.start, w.end), std::make_pair(2400, 19200));
    EXPECT_EQ(std::make_pair(w.startMs, w.endMs), std::make_pair(25.0, 200.0));
    // Imperial: 25 ms at 44100 is 1102.5 samples and 200 ms 8819.999...; Int rounds down.
    const TriggerWindow imperial = CalcTriggerWindow(32.8, 164, 1312, 1.0 / 44100 * 1000);
    EXPECT_EQ(std::make_pair(imperial.start, imperial.end), std::make_pair(1102, 8819));
    // Limits of zero must not turn into garbage windows.
    EXPECT_EQ(CalcTriggerWindow(10, 0, 0, kT96).start, std::numeric_limits<std::int32_t>::max());
}

// Each row: loud samples, the blocks handed over in turn (the ring going
// round: block 1 after 5 is a new turn), and what the last of them gives.
TEST(ThresholdDetector, TriggersAtExactlyTheRightSamples)
{
    using K = Detection::Kind;
    struct Row {
        const char* what;
        std::initializer_list<std::pair<int, int>> loud;
        std::vector<int> blocks;
        std::vector<K> kinds;
        double muzzle, impact, samples;
        int windowStart = kOpen;
        int windowEnd = kOpen;
        std::int16_t muzzleVolume = 60;
    };
    const int end3 = BlockStart(3) - 10;
    const Row rows[] = {
        {"impact on the window's first sample", {{500, 61}, {510, 31}}, {1}, {K::Shot}, 500, 510, 10, 10, 20},
        {"impact on the window's last sample", {{500, 61}, {520, 31}}, {1}, {K::Shot}, 500, 520, 20, 10, 20},
        {"impact one sample early", {{500, 61}, {509, 31}}, {1}, {K::Miss}, 500, 0, 0, 10, 20},
        {"impact one sample late", {{500, 61}, {521, 31}}, {1}, {K::Miss}, 500, 0, 0, 10, 20},
        {"a sample at the volume does not trigger", {{100, 60}, {200, 61}, {3200, 30}, {4200, 31}}, {1}, {K::Shot}, 200, 4200, 4000},
        {"nor below silence", {{100, -60}, {200, -61}, {3200, -30}, {4200, -31}}, {1}, {K::Shot}, 200, 4200, 4000},
        {"255 still triggers a volume of 127", {{200, -127}, {300, 128}}, {1}, {K::Muzzle}, 300, 0, 0, kOpen, 100000, 127},
        {"the timeout carries across blocks", {{end3, 100}}, {1, 2, 3}, {K::Miss}, end3, 0, 0},
        {"an empty window times out on the block's last sample", {{BlockStart(2) - 52, 90}}, {1}, {K::Miss},
         BlockStart(2) - 52, 0, 0, 100, 50},
        {"across the ring's end", {{kRingSamples - 1, 90}, {2999, 50}}, {1, 2, 3, 4, 5, 1}, {K::Shot}, kRingSamples - 1,
         kRingSamples + 2999, 3000},
        {"a muzzle on the first sample", {{0, 90}, {2500, 50}}, {1}, {K::Shot}, 0, 2500, 2500},
        {"an impact on the muzzle sample", {{700, 100}}, {1}, {K::Shot}, 700, 700, 0, 0, 100},
        {"an impact on the next sample", {{700, 100}, {701, 100}}, {1}, {K::Shot}, 700, 701, 1, 1, 100},
        {"a muzzle and its shot in one block", {{500, 61}, {3500, 31}}, {1}, {K::Shot}, 500, 3500, 3000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Harness h;
        h.detector.Configure({96000, CalcTriggerWindow(10, 50, 400, kT96), row.muzzleVolume, 30, {}});
        if (row.windowStart != kOpen) h.detector.State().WindowStart = row.windowStart;
        if (row.windowEnd != kOpen) h.detector.State().WindowEnd = row.windowEnd;
        const SampleArray ring = RingWith(row.loud);
        std::vector<Detection> last;
        for (int block : row.blocks) {
            const auto seen = h.Block(ring, block);
            if (!seen.empty()) last = seen;
        }
        ASSERT_EQ(last.size(), row.kinds.size());
        const Detection& d = last.back();
        EXPECT_EQ(d.kind, row.kinds.back());
        EXPECT_EQ(d.muzzle, row.muzzle);
        EXPECT_EQ(d.impact, row.impact);
        EXPECT_EQ(d.samples, row.samples);
        if (d.kind == K::Miss) { EXPECT_EQ(d.miss, ShotOutcome::NoImpact); }
        if (d.kind != K::Muzzle) { EXPECT_FALSE(h.detector.State().MuzzleArmed); }
    }
}

TEST(ThresholdDetector, TheHoldOffIsMeasuredOnProcessingTime)
{
    Harness h;
    DetectionState& st = h.detector.State();
    st.WindowStart = 10;
    st.WindowEnd = 20;
    // The first report is taken whenever it comes, also in the clock's first second.
    h.clock.ms = 0;
    ASSERT_EQ(h.Block(RingWith({{100, 90}, {5000, 90}}), 1).size(), 1u);
    EXPECT_EQ(st.LastMuzzleTime, 0);
    h.detector.Restart();
    st = DetectionState{};
    st.WindowStart = 10;
    st.WindowEnd = 20;
    h.clock.ms = 100000;
    // A muzzle that times out at once; the scan of that block ends there.
    SampleArray ring = RingWith({{100, 90}, {5000, 90}});
    ASSERT_EQ(h.Block(ring, 1).size(), 1u);
    EXPECT_EQ(h.seen[0].kind, Detection::Kind::Miss);
    EXPECT_EQ(st.LastMuzzleTime, 100000);
    // A loud sound in a block processed exactly 900 ms later is still held off...
    h.clock.ms = 100000 + 900;
    ring = RingWith({{BlockStart(2) + 50, 90}});
    EXPECT_TRUE(h.Block(ring, 2).empty());
    // ...and half a millisecond more arms it (and times it out in the same block).
    h.clock.ms = 100000 + 900.5;
    ASSERT_EQ(h.Block(ring, 2).size(), 1u);
    EXPECT_EQ(h.seen[0].kind, Detection::Kind::Miss);
    EXPECT_EQ(h.seen[0].muzzle, 2 * kBlockSize + 50) << "positions count on, block after block";
    EXPECT_EQ(st.LastMuzzleTime, 100900) << "rounded half to even";
    // A new recording: positions from 0 again, the hold-off still running.
    h.detector.Restart();
    EXPECT_TRUE(h.Block(ring, 2).empty());
    // The end of the sound: a muzzle waiting runs out its window in silence.
    h.clock.ms = 200000;
    st.WindowEnd = 100000;
    h.Block(RingWith({{10, 90}}), 1);
    h.seen.clear();
    h.detector.Finish(h);
    ASSERT_EQ(h.seen.size(), 1u);
    EXPECT_EQ(h.seen[0].muzzle, kBlockSize + 10);
}

TEST(BlockScan, MatchesThePlainPerSampleScanOnAnyInput)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> volume(-2, 130);
    std::uniform_int_distribution<int> windowLimit(-5, 40000);
    for (int trial = 0; trial < 60; ++trial) {
        // Sparse loud samples over quiet noise, or dense noise, or a real shot.
        SampleArray ring = RingWith({});
        const int kind = trial % 3;
        if (kind == 0) {
            for (auto& s : ring) s = static_cast<std::uint8_t>(127 + byte(rng) % 9 - 4);
            for (int k = 0; k < 40; ++k) ring[static_cast<std::size_t>(byte(rng) * 560 + byte(rng))] = static_cast<std::uint8_t>(byte(rng));
        } else if (kind == 1) {
            for (auto& s : ring) s = static_cast<std::uint8_t>(byte(rng));
        } else {
            synth::Recording r;
            r.length = kRingSamples;
            r.seed = static_cast<std::uint32_t>(trial);
            r.shots = {{20000 + trial * 500, 4000 + trial * 11, 0.8, 0.45}, {90000, 3000, 0.7, 0.4}};
            const auto sound = synth::SynthesizeEightBit(r);
            std::copy(sound.begin(), sound.end(), ring.begin());
        }
        DetectionState fast;
        fast.WindowStart = windowLimit(rng);
        fast.WindowEnd = windowLimit(rng);
        DetectionState plain = fast;
        const auto muzzleVolume = static_cast<std::int16_t>(volume(rng));
        const auto impactVolume = static_cast<std::int16_t>(volume(rng));
        ManualClock clock;
        for (int pass = 0; pass < 40; ++pass) {
            clock.ms = 1000 + pass * 310.0;  // the clock moves between blocks, as processing time does
            const int block = pass % 5 + 1;
            const ScanResult a = BlockLookTriggers(fast, ring.data(), block, muzzleVolume, impactVolume, clock);
            const ScanResult b = reference::BlockLookTriggers(plain, ring.data(), block, muzzleVolume, impactVolume, clock);
            ASSERT_EQ(a.status, b.status) << "trial " << trial << " pass " << pass;
            ASSERT_EQ(a.muzzlePos, b.muzzlePos);
            ASSERT_EQ(fast, plain) << "trial " << trial << " pass " << pass;
            if (a.status == ScanStatus::Shot) {  // as the detector does after a shot
                fast.MuzzleArmed = plain.MuzzleArmed = false;
                fast.MuzzlePos = plain.MuzzlePos = 0;
            }
        }
    }
}

// The search the analysis window and the analyser share: the first shot
// or the first muzzle that times out, and a fresh method's hold-off never
// blocks the first muzzle.
TEST(RecordingSearch, FindsWhatTheLiveScanWould)
{
    ManualClock clock;
    clock.ms = 1000;
    const SampleArray wave = RingWith({{BlockStart(3) + 5, 100}, {BlockStart(3) + 5 + 4800, 40}});
    struct Row {
        SampleArray wave;
        std::int16_t impactVolume;
        bool muzzle, impact;
        double muzzlePos, samples;
    };
    const Row rows[] = {
        {wave, 30, true, true, BlockStart(3) + 5, 4800},
        {wave, 40, true, false, BlockStart(3) + 5, 0},  // the impact volume raised past the impact
        {RingWith({{kRingSamples - 100, 100}}), 30, true, false, kRingSamples - 100, 0},  // the window outlasts the waveform
        {RingWith({}), 30, false, false, 0, 0},
    };
    for (const Row& row : rows) {
        const auto detector = MakeDetector(DetectionMethod::Threshold, clock, {96000, {2400, 19200}, 60, row.impactVolume, {}});
        const RecordingSearch found = SearchRecording(*detector, std::span<const std::uint8_t>(row.wave.data(), kRingSamples), kBlockSize);
        EXPECT_EQ(found.muzzleFound, row.muzzle);
        EXPECT_EQ(found.impactFound, row.impact);
        EXPECT_EQ(found.muzzlePos, row.muzzlePos);
        EXPECT_EQ(found.samples, row.samples);
        if (row.impact) { EXPECT_EQ(found.impactPos, row.muzzlePos + row.samples); }
    }
}
