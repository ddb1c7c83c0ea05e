#include <gtest/gtest.h>

#include <random>

#include "ShotDetector.h"
#include "ShotSynth.h"
#include "ReferenceScan.h"
#include "support/TestSettings.h"

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

struct Harness {
    Harness() : detector(clock)
    {
        clock.ms = 100000;
        detector.SetWindow(CalcTriggerWindow(s.distance, s.VelocityMin, s.VelocityMax, kT96));
    }
    BlockOutcome Block(const SampleArray& ring, int block)
    {
        return detector.OnBlock(ring, block, MeasureContext{s, kT96, " m/s ", switches});
    }
    Settings s = test_support::TenMetres();
    FakeClock clock;
    ShotDetector detector;
    Switches switches;
};

}  // namespace

TEST(TriggerWindow, FollowsFromDistanceAndVelocityLimits)
{
    const TriggerWindow w = CalcTriggerWindow(10, 50, 400, kT96);
    EXPECT_EQ(std::make_pair(w.start, w.end), std::make_pair(2400, 19200));
    EXPECT_EQ(w.debugText, "Window: T+25.0000 - 200.0000 ms\n                T+ 2400 - 19200 samples");
    // From the panel, imperial: 25 ms at 44100 is 1102.5 samples and 200 ms 8819.999...; Int rounds down.
    Settings record;
    SettingsPanel panel;
    panel.txtInfo[PanelField::Distance] = "32.8 ft";
    panel.txtInfo[PanelField::VelocityMin] = "164";
    panel.txtInfo[PanelField::VelocityMax] = "1312";
    const TriggerWindow imperial = CalcTriggerWindow(panel, record, 1.0 / 44100 * 1000);
    EXPECT_EQ(std::make_pair(record.distance, record.VelocityMax), std::make_pair(32.8, 1312.0));
    EXPECT_EQ(std::make_pair(imperial.start, imperial.end), std::make_pair(1102, 8819));
    // Limits of zero must not turn into garbage windows.
    EXPECT_EQ(CalcTriggerWindow(10, 0, 0, kT96).start, std::numeric_limits<std::int32_t>::max());
}

TEST(ShotDetection, A4800SampleShotAt96kHzIs200MetresPerSecond)
{
    Harness h;
    const BlockOutcome o = h.Block(RingWith({{1000, 100}, {1000 + 960, 90}, {1000 + 4800, 40}}), 1);
    ASSERT_EQ(o.event, BlockEvent::Shot) << "the impact 960 samples after the muzzle is too early and ignored";
    EXPECT_TRUE(o.muzzleBoxRed && o.impactBoxRed && o.startTrigLineTimer && o.fillData);
    const ShotResult& shot = h.detector.LastShot();
    EXPECT_EQ((std::array<double, 7>{shot.AvgVelocity, shot.MuzzleVelocity, static_cast<double>(shot.Samples),
                                     static_cast<double>(shot.ShotNumber), static_cast<double>(shot.SampleRate),
                                     static_cast<double>(shot.MuzzleLevel), static_cast<double>(shot.ImpactLevel)}),
              (std::array<double, 7>{200, 210, 4800, 1, 96000, 60, 30}));
    EXPECT_EQ(o.labels.averageVelocity.View(), "200.0  m/s ");
    EXPECT_EQ(o.labels.elapsedSamples.View(), "4800  = 50.0000 ms");
    EXPECT_EQ(o.labels.resolution.View(), "0.0104 ms");
    EXPECT_EQ(o.labels.accuracy.View(), "200.04 - 199.96 m/s ");
    EXPECT_EQ(o.labels.shotNumber.View(), "1");
    EXPECT_FALSE(h.detector.State().MuzzleArmed);
    EXPECT_EQ(h.detector.PendingAction(), kNoPendingAction);
    EXPECT_EQ(h.Block(RingWith({{1000, 100}, {1000 + 4800, 40}}), 2).event, BlockEvent::None) << "held off";

    h.s.RetainedVelocity = 100;
    h.s.offset = 2.5;
    EXPECT_EQ(MeasureShot(4800, h.s, kT96).MuzzleVelocity, 202.5);
}

// Each row: loud samples, the blocks handed over in turn, and what the last
// of them gives. Window and muzzle volume override the ten-metre settings.
TEST(ShotDetection, TriggersAtExactlyTheRightSamples)
{
    struct Row {
        const char* what;
        std::initializer_list<std::pair<int, int>> loud;
        std::vector<int> blocks;
        BlockEvent event;
        int muzzleLine;
        int impactLine;
        int samples;  // of a shot
        int windowStart = kOpen;
        int windowEnd = kOpen;
        std::int16_t muzzleVolume = 60;
    };
    const int end3 = BlockStart(3) - 10;
    const Row rows[] = {
        {"impact on the window's first sample", {{500, 61}, {510, 31}}, {1}, BlockEvent::Shot, 500, 510, 10, 10, 20},
        {"impact on the window's last sample", {{500, 61}, {520, 31}}, {1}, BlockEvent::Shot, 500, 520, 20, 10, 20},
        {"impact one sample early", {{500, 61}, {509, 31}}, {1}, BlockEvent::NoImpact, 500, -1, 0, 10, 20},
        {"impact one sample late", {{500, 61}, {521, 31}}, {1}, BlockEvent::NoImpact, 500, -1, 0, 10, 20},
        {"a sample at the volume does not trigger", {{100, 60}, {200, 61}, {3200, 30}, {4200, 31}}, {1},
         BlockEvent::Shot, 200, 4200, 4000},
        {"nor below silence", {{100, -60}, {200, -61}, {3200, -30}, {4200, -31}}, {1}, BlockEvent::Shot, 200, 4200, 4000},
        {"255 still triggers a volume of 127", {{200, -127}, {300, 128}}, {1}, BlockEvent::MuzzleSeen, 300, -1, 0,
         kOpen, 100000, 127},
        {"the timeout carries across blocks", {{end3, 100}}, {1, 2, 3}, BlockEvent::NoImpact, end3, -1, 0},
        {"an empty window times out on the block's last sample", {{BlockStart(2) - 52, 90}}, {1}, BlockEvent::NoImpact,
         BlockStart(2) - 52, -1, 0, 100, 50},
        {"across the ring's end", {{kRingSamples - 1, 90}, {2999, 50}}, {5, 1}, BlockEvent::Shot, kRingSamples - 1,
         2999, 3000},
        {"a muzzle on ring index 0", {{0, 90}, {2500, 50}}, {1}, BlockEvent::Shot, 0, 2500, 2500},
        {"an impact on the muzzle sample", {{700, 100}}, {1}, BlockEvent::TooClose, 700, 700, 0, 0, 100},
        {"an impact on the next sample", {{700, 100}, {701, 100}}, {1}, BlockEvent::TooClose, 700, 701, 0, 1, 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Harness h;
        h.s.MuzzleVolume = row.muzzleVolume;
        h.switches[Switch::FreezeIfMaxExceeded] = true;
        if (row.windowStart != kOpen) h.detector.State().WindowStart = row.windowStart;
        if (row.windowEnd != kOpen) h.detector.State().WindowEnd = row.windowEnd;
        const SampleArray ring = RingWith(row.loud);
        BlockOutcome o;
        for (int block : row.blocks) o = h.Block(ring, block);
        EXPECT_EQ(o.event, row.event);
        // Every event reddens the muzzle box and starts the timer that takes the lines away.
        EXPECT_TRUE(o.muzzleBoxRed && o.startTrigLineTimer);
        EXPECT_EQ(o.impactBoxRed, row.impactLine >= 0);
        EXPECT_EQ(o.muzzleLine, row.muzzleLine);
        EXPECT_EQ(o.impactLine, row.impactLine);
        const bool shot = row.event == BlockEvent::Shot;
        EXPECT_EQ(h.detector.State().ShotCount, shot ? 1 : 0);
        EXPECT_EQ(o.fillData, shot);
        if (shot) { EXPECT_EQ(h.detector.LastShot().Samples, row.samples); }
        if (row.event == BlockEvent::NoImpact) { EXPECT_EQ(o.missText.View(), "no impact"); }
        if (row.event == BlockEvent::TooClose) {
            // Faster than the rate can measure: "Max. Velocity", never an infinite velocity.
            EXPECT_EQ(o.missText.View(), "Max. Velocity");
            EXPECT_TRUE(h.Block(RingWith({}), 2).freeze);
        }
        if (row.event != BlockEvent::MuzzleSeen) { EXPECT_FALSE(h.detector.State().MuzzleArmed); }
    }
}

TEST(ShotDetection, TheHoldOffIsMeasuredOnProcessingTime)
{
    Harness h;
    DetectionState& st = h.detector.State();
    st.WindowStart = 10;
    st.WindowEnd = 20;
    // A muzzle that times out at once; the scan of that block ends there.
    SampleArray ring = RingWith({{100, 90}, {5000, 90}});
    EXPECT_EQ(h.Block(ring, 1).event, BlockEvent::NoImpact);
    EXPECT_EQ(st.LastMuzzleTime, 100000);
    // A loud sound in a block processed exactly 900 ms later is still held off...
    h.clock.ms = 100000 + 900;
    ring = RingWith({{BlockStart(2) + 50, 90}});
    EXPECT_EQ(h.Block(ring, 2).event, BlockEvent::None);
    // ...and half a millisecond more arms it (and times it out in the same block).
    h.clock.ms = 100000 + 900.5;
    const BlockOutcome o = h.Block(ring, 2);
    EXPECT_EQ(o.event, BlockEvent::NoImpact);
    EXPECT_EQ(o.muzzleLine, BlockStart(2) + 50);
    EXPECT_EQ(st.LastMuzzleTime, 100900) << "rounded half to even";
}

// Which switches make the next block save, freeze, or both.
TEST(ShotDetection, PendingActionsTakeTheNextBlock)
{
    struct Row {
        const char* what;
        std::vector<Switch> on;
        double velocityMax;
        bool miss;  // the muzzle times out instead
        const char* missText;
        const char* caption;
        int freezeSwitch;
        bool autosave;
        bool freeze;
    };
    const Row rows[] = {
        {"autosave only", {Switch::AutoSave}, 400, false, "", "", -1, true, false},
        {"freeze and save a shot", {Switch::AutoSave, Switch::FreezeIfDetected}, 400, false, "", "Analyze - Shot detected",
         0, true, true},
        {"200 m/s is at the maximum", {Switch::AutoSave, Switch::FreezeIfMaxExceeded}, 200, false, "Max. Velocity",
         "Analyze - Max velocity exceeded", 2, true, true},
        {"under the maximum nothing freezes", {Switch::FreezeIfMaxExceeded}, 201, false, "", "", -1, false, false},
        {"a freeze after no impact saves nothing", {Switch::AutoSave, Switch::FreezeIfNoImpact}, 400, true, "no impact",
         "Analyze - Impact not detected", 1, false, true},
        {"no switch, no action", {}, 400, false, "", "", -1, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Harness h;
        for (Switch s : row.on) h.switches[s] = true;
        h.s.VelocityMax = row.velocityMax;
        if (row.miss) h.detector.State().WindowEnd = 100;
        const SampleArray shot = RingWith({{1000, 100}, {5800, 40}});
        const BlockOutcome o = h.Block(shot, 1);
        EXPECT_EQ(o.missText.View(), row.missText);
        EXPECT_EQ(o.freezeCaption.View(), row.caption);
        EXPECT_EQ(o.freezeSwitch, row.freezeSwitch);
        const BlockOutcome next = h.Block(shot, 1);  // would be a shot again, but an action takes it
        EXPECT_EQ(next.autosave, row.autosave);
        EXPECT_EQ(next.freeze, row.freeze);
        EXPECT_EQ(next.scanned, !row.autosave && !row.freeze);
        EXPECT_EQ(h.detector.PendingAction(), kNoPendingAction);
    }
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
        FakeClock clock;
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

TEST(WaveformSearch, FindsWhatTheLiveScanWouldAndIgnoresTheHoldOffForTheFirstMuzzle)
{
    FakeClock clock;
    clock.ms = 1000;
    DetectionState st;
    st.WindowStart = 2400;
    st.WindowEnd = 19200;
    st.LastMuzzleTime = 999;  // a live muzzle just now does not block the search
    const SampleArray wave = RingWith({{BlockStart(3) + 5, 100}, {BlockStart(3) + 5 + 4800, 40}});
    struct Row {
        SampleArray wave;
        std::int16_t impactVolume;
        bool muzzle, impact;
        int muzzlePos, samples;
    };
    const Row rows[] = {
        {wave, 30, true, true, BlockStart(3) + 5, 4800},
        {wave, 40, true, false, BlockStart(3) + 5, 0},  // the impact volume raised past the impact
        {RingWith({{kRingSamples - 100, 100}}), 30, true, false, kRingSamples - 100, 0},  // the window outlasts the waveform
        {RingWith({}), 30, false, false, 0, 0},
    };
    for (const Row& row : rows) {
        const WaveformSearch found = SearchWaveform(st, row.wave, 60, row.impactVolume, clock);
        EXPECT_EQ(found.muzzleFound, row.muzzle);
        EXPECT_EQ(found.impactFound, row.impact);
        EXPECT_EQ(found.muzzlePos, row.muzzlePos);
        EXPECT_EQ(found.samples, row.samples);
        if (row.impact) { EXPECT_EQ(found.impactPos, row.muzzlePos + row.samples); }
    }
}
