#include <gtest/gtest.h>

#include <random>

#include "ShotDetector.h"
#include "ShotSynth.h"
#include "support/ReferenceScan.h"
#include "support/TestSettings.h"

using namespace quorvel;

namespace {

constexpr double kT96 = 1.0 / 96000 * 1000;

using test_support::TenMetres;

SampleArray Silent()
{
    SampleArray a;
    a.fill(kSilence);
    return a;
}

// A ring with loud single samples at the given indexes (value 127 + dev).
SampleArray RingWith(std::initializer_list<std::pair<int, int>> loud)
{
    SampleArray a = Silent();
    for (const auto& [index, dev] : loud) a[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(127 + dev);
    return a;
}

struct Harness {
    explicit Harness(Settings settings = TenMetres()) : s(std::move(settings)), detector(clock)
    {
        clock.ms = 100000;
        detector.SetWindow(CalcTriggerWindow(s.distance, s.VelocityMin, s.VelocityMax, T()));
    }
    double T() const { return 1.0 / s.frequency * 1000; }
    BlockOutcome Block(const SampleArray& ring, int block)
    {
        const MeasureContext context{s, T(), " m/s ", switches};
        return detector.OnBlock(ring, block, context);
    }
    Settings s;
    FakeClock clock;
    ShotDetector detector;
    Switches switches;
};

}  // namespace

TEST(TriggerWindow, FollowsFromDistanceAndVelocityLimits)
{
    const TriggerWindow w = CalcTriggerWindow(10, 50, 400, kT96);
    EXPECT_EQ(w.start, 2400);
    EXPECT_EQ(w.end, 19200);
    EXPECT_EQ(w.debugText, "Window: T+25.0000 - 200.0000 ms\n                T+ 2400 - 19200 samples");

    Settings record;
    SettingsPanel panel;
    panel.txtInfo[PanelField::Distance] = "32.8 ft";
    panel.txtInfo[PanelField::VelocityMin] = "164";
    panel.txtInfo[PanelField::VelocityMax] = "1312";
    const TriggerWindow imperial = CalcTriggerWindow(panel, record, 1.0 / 44100 * 1000);
    EXPECT_EQ(record.distance, 32.8);
    EXPECT_EQ(record.VelocityMax, 1312);
    EXPECT_EQ(imperial.start, 1102);  // 25 ms at 44100 is 1102.5 samples, Int rounds down
    EXPECT_EQ(imperial.end, 8819);  // 200 ms is 8819.999... samples in doubles; Int rounds down

    // Limits of zero must not turn into garbage windows.
    const TriggerWindow open = CalcTriggerWindow(10, 0, 0, kT96);
    EXPECT_EQ(open.start, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(open.end, std::numeric_limits<std::int32_t>::max());
}

TEST(ShotDetection, A4800SampleShotAt96kHzIs200MetresPerSecond)
{
    Harness h;
    const SampleArray ring = RingWith({{1000, 100}, {1000 + 960, 90}, {1000 + 4800, 40}});
    const BlockOutcome o = h.Block(ring, 1);
    ASSERT_EQ(o.event, BlockEvent::Shot) << "the impact 960 samples after the muzzle is too early and ignored";
    EXPECT_EQ(o.muzzleLine, 1000);
    EXPECT_EQ(o.impactLine, 5800);
    EXPECT_TRUE(o.muzzleBoxRed && o.impactBoxRed && o.startTrigLineTimer && o.fillData);
    const ShotResult& shot = h.detector.LastShot();
    EXPECT_EQ(shot.Samples, 4800);
    EXPECT_EQ(shot.AvgVelocity, 200);
    EXPECT_EQ(shot.MuzzleVelocity, 210);
    EXPECT_EQ(shot.ShotNumber, 1);
    EXPECT_EQ(shot.SampleRate, 96000);
    EXPECT_EQ(shot.MuzzleLevel, 60);
    EXPECT_EQ(shot.ImpactLevel, 30);
    EXPECT_EQ(o.labels.averageVelocity.View(), "200.0  m/s ");
    EXPECT_EQ(o.labels.elapsedSamples.View(), "4800  = 50.0000 ms");
    EXPECT_EQ(o.labels.resolution.View(), "0.0104 ms");
    EXPECT_EQ(o.labels.accuracy.View(), "200.04 - 199.96 m/s ");
    EXPECT_EQ(o.labels.shotNumber.View(), "1");
    EXPECT_EQ(h.detector.State().MuzzleArmed, false);
    EXPECT_EQ(h.detector.PendingAction(), kNoPendingAction);

    h.s.RetainedVelocity = 100;
    h.s.offset = 2.5;
    EXPECT_EQ(MeasureShot(4800, h.s, kT96).MuzzleVelocity, 202.5);
}

TEST(ShotDetection, WindowLimitsAndThresholdsAreExact)
{
    for (int impactAt : {9, 10, 20, 21}) {
        Harness h;
        DetectionState& st = h.detector.State();
        st.WindowStart = 10;
        st.WindowEnd = 20;
        const SampleArray ring = RingWith({{500, 61}, {500 + impactAt, 31}});
        const BlockOutcome o = h.Block(ring, 1);
        if (impactAt == 10 || impactAt == 20) {
            EXPECT_EQ(o.event, BlockEvent::Shot) << impactAt;
            EXPECT_EQ(h.detector.LastShot().Samples, impactAt);
        } else {
            EXPECT_EQ(o.event, BlockEvent::NoImpact) << impactAt;
            EXPECT_EQ(o.missText.View(), "no impact");
            EXPECT_EQ(o.muzzleLine, 500);
        }
    }
    // A sample exactly at the volume does not trigger, on either side of silence.
    for (int sign : {1, -1}) {
        Harness h;
        const SampleArray atVolume = RingWith({{100, 60 * sign}, {200, 61 * sign}, {200 + 3000, 30 * sign}, {200 + 4000, 31 * sign}});
        const BlockOutcome o = h.Block(atVolume, 1);
        ASSERT_EQ(o.event, BlockEvent::Shot);
        EXPECT_EQ(o.muzzleLine, 200);
        EXPECT_EQ(o.impactLine, 4200);
    }
    // The loudest possible sample (255, 128 from silence) still triggers a volume of 127.
    Harness loudest;
    loudest.s.MuzzleVolume = 127;
    loudest.detector.State().WindowEnd = 100000;
    SampleArray ring = Silent();
    ring[200] = 0;  // 127 from silence: not above 127
    ring[300] = 255;
    const BlockOutcome o = loudest.Block(ring, 1);
    EXPECT_EQ(o.event, BlockEvent::MuzzleSeen);
    EXPECT_EQ(o.muzzleLine, 300);
}

TEST(ShotDetection, TheTimeoutFiresOneSampleAfterTheWindowAndCarriesAcrossBlocks)
{
    Harness h;
    // Muzzle near the end of block 2, no impact: the window (19200 samples)
    // runs out in block 3.
    const SampleArray ring = RingWith({{BlockStart(3) - 10, 100}});
    EXPECT_EQ(h.Block(ring, 1).event, BlockEvent::None);
    const BlockOutcome seen = h.Block(ring, 2);
    EXPECT_EQ(seen.event, BlockEvent::MuzzleSeen);
    EXPECT_EQ(seen.muzzleLine, BlockStart(3) - 10);
    EXPECT_TRUE(seen.muzzleBoxRed);
    EXPECT_FALSE(seen.impactBoxRed);
    EXPECT_EQ(h.detector.State().SamplesSinceMuzzle, 10);
    const BlockOutcome miss = h.Block(ring, 3);
    EXPECT_EQ(miss.event, BlockEvent::NoImpact);
    EXPECT_EQ(miss.muzzleLine, BlockStart(3) - 10);
    EXPECT_EQ(h.detector.State().ShotCount, 0);
    EXPECT_FALSE(h.detector.State().MuzzleArmed);
}

TEST(ShotDetection, ShotsAcrossBlockBoundariesAndTheRingsEnd)
{
    // Muzzle on the last sample of block 5, impact 3000 samples later in block 1.
    Harness h;
    SampleArray ring = RingWith({{kRingSamples - 1, 90}, {2999, 50}});
    EXPECT_EQ(h.Block(ring, 5).event, BlockEvent::MuzzleSeen);
    const BlockOutcome o = h.Block(ring, 1);
    ASSERT_EQ(o.event, BlockEvent::Shot);
    EXPECT_EQ(h.detector.LastShot().Samples, 3000);
    EXPECT_EQ(o.muzzleLine, kRingSamples - 1);
    EXPECT_EQ(o.impactLine, 2999);

    // A muzzle on ring index 0 is a muzzle like any other.
    Harness zero;
    const SampleArray atZero = RingWith({{0, 90}, {2500, 50}});
    const BlockOutcome z = zero.Block(atZero, 1);
    ASSERT_EQ(z.event, BlockEvent::Shot);
    EXPECT_EQ(z.muzzleLine, 0);
    EXPECT_EQ(zero.detector.LastShot().Samples, 2500);
}

TEST(ShotDetection, TheSameShotWhereverTheBlockBoundaryFalls)
{
    // A synthetic recording shifted sample by sample across a boundary gives
    // the same count every time.
    synth::Recording r;
    r.length = 3 * kBlockSize;
    r.shots.push_back({1000, 5321, 0.8, 0.45});
    const std::vector<std::uint8_t> sound = synth::SynthesizeEightBit(r);
    for (int shift = 0; shift < 7000; shift += 7) {
        Harness h;
        SampleArray ring = Silent();
        const int start = BlockStart(2) - 6000 + shift;  // the muzzle at 1000 lands around the 1|2 boundary
        for (std::size_t k = 0; k < sound.size() && start + static_cast<int>(k) < kRingSamples; ++k) {
            ring[static_cast<std::size_t>(start) + k] = sound[k];
        }
        int shots = 0;
        for (int b = 1; b <= 5; ++b) {
            const BlockOutcome o = h.Block(ring, b);
            if (o.event == BlockEvent::Shot) {
                ++shots;
                EXPECT_EQ(h.detector.LastShot().Samples, 5321) << "shift " << shift;
                EXPECT_EQ(o.muzzleLine, start + 1000);
            }
        }
        EXPECT_EQ(shots, 1) << "shift " << shift;
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
    EXPECT_FALSE(st.MuzzleArmed);
    // ...and half a millisecond more arms it (and times it out in the same block).
    h.clock.ms = 100000 + 900.5;
    const BlockOutcome o = h.Block(ring, 2);
    EXPECT_EQ(o.event, BlockEvent::NoImpact);
    EXPECT_EQ(o.muzzleLine, BlockStart(2) + 50);
    EXPECT_EQ(st.LastMuzzleTime, 100900) << "rounded half to even";
}

TEST(ShotDetection, PendingActionsTakeTheNextBlock)
{
    const SampleArray shot = RingWith({{1000, 100}, {5800, 40}});
    const SampleArray quiet = Silent();
    {
        Harness h;
        h.switches[Switch::AutoSave] = true;
        EXPECT_EQ(h.Block(shot, 1).event, BlockEvent::Shot);
        EXPECT_EQ(h.detector.PendingAction(), kPendingAutosave);
        const BlockOutcome next = h.Block(shot, 1);  // would be a shot again, but it is not scanned
        EXPECT_FALSE(next.scanned);
        EXPECT_TRUE(next.autosave);
        EXPECT_FALSE(next.freeze);
        EXPECT_EQ(h.detector.PendingAction(), kNoPendingAction);
    }
    {
        Harness h;
        h.switches[Switch::AutoSave] = true;
        h.switches[Switch::FreezeIfDetected] = true;
        const BlockOutcome o = h.Block(shot, 1);
        EXPECT_EQ(o.freezeSwitch, 0);
        EXPECT_EQ(o.freezeCaption.View(), "Analyze - Shot detected");
        const BlockOutcome next = h.Block(quiet, 2);
        EXPECT_TRUE(next.autosave && next.freeze);
    }
    {
        Harness h;  // over the maximum: reported, frozen, and saved
        h.s.VelocityMax = 200;
        h.switches[Switch::FreezeIfMaxExceeded] = true;
        h.switches[Switch::AutoSave] = true;
        const BlockOutcome o = h.Block(shot, 1);  // 200 m/s exactly: "at or above"
        EXPECT_TRUE(o.fillData);
        EXPECT_EQ(o.missText.View(), "Max. Velocity");
        EXPECT_EQ(o.freezeCaption.View(), "Analyze - Max velocity exceeded");
        EXPECT_EQ(o.freezeSwitch, 2);
        const BlockOutcome next = h.Block(quiet, 2);
        EXPECT_TRUE(next.autosave && next.freeze);
    }
    {
        Harness h;  // a freeze after "no impact" saves nothing
        h.switches[Switch::FreezeIfNoImpact] = true;
        h.switches[Switch::AutoSave] = true;
        h.detector.State().WindowEnd = 100;
        const BlockOutcome o = h.Block(RingWith({{1000, 100}}), 1);
        EXPECT_EQ(o.event, BlockEvent::NoImpact);
        EXPECT_EQ(o.freezeCaption.View(), "Analyze - Impact not detected");
        const BlockOutcome next = h.Block(quiet, 2);
        EXPECT_TRUE(next.freeze);
        EXPECT_FALSE(next.autosave);
    }
}

TEST(ShotDetection, AnImpactUnderTwoSamplesIsNeverAnInfiniteVelocity)
{
    for (int gap : {0, 1}) {
        Harness h;
        h.switches[Switch::FreezeIfMaxExceeded] = true;
        DetectionState& st = h.detector.State();
        st.WindowStart = 0;
        st.WindowEnd = 100;
        const SampleArray ring = gap == 0 ? RingWith({{700, 100}}) : RingWith({{700, 100}, {701, 100}});
        const BlockOutcome o = h.Block(ring, 1);
        EXPECT_EQ(o.event, BlockEvent::TooClose) << gap;
        EXPECT_FALSE(o.fillData);
        EXPECT_EQ(o.missText.View(), "Max. Velocity");
        EXPECT_EQ(st.ShotCount, 0);
        EXPECT_FALSE(st.MuzzleArmed);
        EXPECT_TRUE(h.Block(Silent(), 2).freeze);
        EXPECT_FALSE(MeasurableSamples(gap));
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
        SampleArray ring = Silent();
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
            // The clock moves between blocks, as processing time does.
            clock.ms = 1000 + pass * 310.0;
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
    SampleArray wave = RingWith({{BlockStart(3) + 5, 100}, {BlockStart(3) + 5 + 4800, 40}});
    WaveformSearch found = SearchWaveform(st, wave, 60, 30, clock);
    EXPECT_TRUE(found.impactFound);
    EXPECT_EQ(found.muzzlePos, BlockStart(3) + 5);
    EXPECT_EQ(found.impactPos, BlockStart(3) + 4805);
    EXPECT_EQ(found.samples, 4800);

    // Raising the impact volume past the impact leaves the muzzle alone.
    found = SearchWaveform(st, wave, 60, 40, clock);
    EXPECT_TRUE(found.muzzleFound);
    EXPECT_FALSE(found.impactFound);
    EXPECT_EQ(found.muzzlePos, BlockStart(3) + 5);
    EXPECT_EQ(st.MuzzlePos, BlockStart(3) + 5);

    // A muzzle so late that the window outlasts the waveform.
    wave = RingWith({{kRingSamples - 100, 100}});
    found = SearchWaveform(st, wave, 60, 30, clock);
    EXPECT_TRUE(found.muzzleFound);
    EXPECT_FALSE(found.impactFound);

    found = SearchWaveform(st, Silent(), 60, 30, clock);
    EXPECT_FALSE(found.muzzleFound);
}
