#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "AnalysisModel.h"
#include "Analyzer.h"
#include "ShotSynth.h"
#include "WaveFile.h"

using namespace quorvel;

namespace {

SampleArray Silent()
{
    SampleArray a;
    a.fill(kSilence);
    return a;
}

AnalysisModel ModelOf(const SampleArray& wave, int rate = 96000)
{
    AnalysisModel m;
    m.SetWaveform(wave, rate, true);
    return m;
}

const TriggerWindow kTenMetres = CalcTriggerWindow(10, 50, 400, 1.0 / 96000 * 1000);

}  // namespace

TEST(AnalysisModel, FindsTheTriggersAndPlacesTheZoomWindow)
{
    FakeClock clock;
    clock.ms = 10000;  // the program's clock starts at 10 s, so "no muzzle yet" (0) never holds one off
    SampleArray wave = Silent();
    wave[BlockStart(4) - 2000] = 230;  // the first loud sample, in block 3
    wave[BlockStart(4) + 3000] = 30;   // the impact falls into block 4
    AnalysisModel m = ModelOf(wave);
    m.Search(60, 30, kTenMetres, clock, false);
    ASSERT_TRUE(m.Found().impactFound);
    EXPECT_EQ(m.Found().muzzlePos, BlockStart(4) - 2000);
    EXPECT_EQ(m.Found().impactPos, BlockStart(4) + 3000);
    EXPECT_EQ(m.Found().samples, 5000);
    EXPECT_EQ(m.ZoomLeft(), BlockStart(4) - 2000 - 300);
    EXPECT_EQ(m.ZoomWidth(), 19200 + 600);

    // Raising the impact volume past the impact's peak keeps only the muzzle.
    m.Search(60, 97, kTenMetres, clock, false);
    EXPECT_TRUE(m.Found().muzzleFound);
    EXPECT_FALSE(m.Found().impactFound);
    // Searching again with the same result (the window activated anew) keeps a chosen zoom.
    m.SetZoom(2000, 3000);
    m.Search(60, 97, kTenMetres, clock, false);
    EXPECT_EQ(m.ZoomLeft(), 2000);
    // During a level drag the zoom window stays where it is.
    m.SetZoom(1000, 5000);
    m.Search(60, 30, kTenMetres, clock, true);
    EXPECT_EQ(m.ZoomLeft(), 1000);

    SampleArray early = Silent();
    early[200] = 0;
    AnalysisModel e = ModelOf(early);
    e.Search(60, 30, kTenMetres, clock, false);
    EXPECT_EQ(e.ZoomLeft(), 0);
    EXPECT_EQ(e.ZoomWidth(), 200 + 19200 + 300);

    SampleArray late = Silent();
    late[kRingSamples - 1000] = 255;
    AnalysisModel l = ModelOf(late);
    l.Search(60, 30, kTenMetres, clock, false);
    EXPECT_EQ(l.ZoomLeft() + l.ZoomWidth(), kRingSamples) << "the zoom window ends at the overview's right edge";

    AnalysisModel none = ModelOf(Silent());
    none.Search(60, 30, kTenMetres, clock, false);
    EXPECT_FALSE(none.Found().muzzleFound);
    EXPECT_EQ(none.ZoomLeft(), 0);
    EXPECT_EQ(none.ZoomWidth(), 19200 + 300);
}

TEST(AnalysisModel, Texts)
{
    FakeClock clock;
    clock.ms = 20000;
    SampleArray wave = Silent();
    wave[9600] = 255;
    wave[9600 + 960] = 0;
    wave[20] = 130;
    wave[21] = 120;
    AnalysisModel m = ModelOf(wave);
    m.Search(60, 30, CalcTriggerWindow(10, 50, 2000, 1.0 / 96000 * 1000), clock, false);
    EXPECT_EQ(m.ImpactText(10, " m/s "), "ImpactTrigger (110.00 ms)    \n     sample: 10560   \n     Velocity: 1000.0 m/s ");
    EXPECT_EQ(m.MuzzleText(), "MuzzleTrigger (100.00 ms)   \n     sample: 9600");
    EXPECT_EQ(AnalysisModel::MaxVelocityText(400, " m/s "), "Max Measured Velocity   \n    400.0 m/s ");
    EXPECT_EQ(m.VolumeText(19, 21), "10 (Peak:7)");
    EXPECT_EQ(m.PeakSample(20, 2), 120);  // 7 below silence beats 3 above
    SampleArray tie = Silent();
    tie[5] = 120;
    tie[6] = 134;
    EXPECT_EQ(ModelOf(tie).PeakSample(5, 2), 134);
    m.SetZoom(960, 9600);
    EXPECT_EQ(m.LeftEdgeText(), "|<--10.00 ms");
    EXPECT_EQ(m.RightEdgeText(), "110.00 ms ->|");
    EXPECT_EQ(m.ViewWidthText(9600), "<----- View Width 100.00 ms | resolution 0.0104 ms ----->");
    EXPECT_EQ(m.ViewVelocityText(10, 50, 400, " m/s ", 9600), "View Velocity (left to right) 100.0 m/s (50-400 m/s )");
    EXPECT_EQ(m.LengthText(), "1500 ms -->|");
    EXPECT_EQ(ModelOf(Silent(), 44100).LengthText(), "3265 ms -->|");
}

TEST(AnalysisModel, MouseAndKeysMoveTheZoomWindowWithinItsLimits)
{
    AnalysisModel m = ModelOf(Silent());
    m.SetZoom(10000, 8000);
    EXPECT_EQ(m.ZoomHitTest(9950), ZoomDrag::LeftEdge);
    EXPECT_EQ(m.ZoomHitTest(17800), ZoomDrag::RightEdge);
    EXPECT_EQ(m.ZoomHitTest(14000), ZoomDrag::Move);
    EXPECT_EQ(m.ZoomHitTest(5000), ZoomDrag::None);

    m.DragZoom(ZoomDrag::LeftEdge, 17999, 64);  // stops 5 samples before the right edge
    EXPECT_EQ(m.ZoomLeft(), 10000);
    m.DragZoom(ZoomDrag::LeftEdge, 17994, 64);
    EXPECT_EQ(m.ZoomLeft(), 17994);
    EXPECT_EQ(m.ZoomLeft() + m.ZoomWidth(), 18000);

    m.SetZoom(10000, 8000);
    m.BeginGrab(12000);
    m.DragZoom(ZoomDrag::Move, 500, 64);
    EXPECT_EQ(m.ZoomLeft(), 0);
    m.DragZoom(ZoomDrag::Move, 200000, 64);
    EXPECT_EQ(m.ZoomLeft(), kRingSamples - 8000);

    for (int i = 0; i < 1000; ++i) m.Key('s', 100, 64.3);
    EXPECT_EQ(m.ZoomWidth(), 64.3) << "S shrinks to a tenth of the zoom view's pixels and no further";
    m.Key('W', 1e9, 64);
    EXPECT_EQ(m.ZoomLeft() + m.ZoomWidth(), kRingSamples);
    m.Key('A', 1e9, 64);
    EXPECT_EQ(m.ZoomLeft(), 0);
    m.Key('x', 100, 64);
    EXPECT_EQ(m.ZoomLeft(), 0);

    EXPECT_EQ(AnalysisModel::LevelFromY(100), 27);
    EXPECT_EQ(AnalysisModel::LevelFromY(156), 28);
    EXPECT_EQ(AnalysisModel::LevelHitTest(127.5 - 60 + 5, 60, 30), 1);
    EXPECT_EQ(AnalysisModel::LevelHitTest(127.5 - 60 + 6, 60, 30), 0) << "6 units away starts no drag";
    EXPECT_EQ(AnalysisModel::LevelHitTest(127.5 + 30, 60, 30), 4);
}

TEST(MinMaxPyramid, NeverLosesAPeak)
{
    std::mt19937 rng(5);
    std::vector<std::uint8_t> samples(144000);
    for (auto& s : samples) s = static_cast<std::uint8_t>(120 + rng() % 16);
    samples[77777] = 255;
    samples[3] = 0;
    MinMaxPyramid p;
    p.Build(samples.data(), static_cast<int>(samples.size()));
    std::uniform_int_distribution<int> at(0, 143999);
    for (int q = 0; q < 3000; ++q) {
        int a = at(rng);
        int b = q % 3 == 0 ? a + static_cast<int>(rng() % 40) : at(rng);
        if (a > b) std::swap(a, b);
        const auto r = p.Query(a, b);
        const auto [low, high] = std::minmax_element(samples.begin() + a, samples.begin() + std::min(b, 143999) + 1);
        ASSERT_EQ(r.low, *low) << a << ".." << b;
        ASSERT_EQ(r.high, *high) << a << ".." << b;
    }
}

TEST(AnalysisModel, AgreesWithTheAnalyserOnRecordings)
{
    for (int rate : {44100, 96000}) {
        synth::Recording r;
        r.sampleRate = rate;
        r.length = 150000;
        r.seed = static_cast<std::uint32_t>(rate);
        r.shots.push_back({70000, synth::DelayFor(10, 211.7, rate), 0.8, 0.45});
        const std::string file = ::testing::TempDir() + "agree-" + std::to_string(rate) + ".wav";
        ASSERT_EQ(synth::WriteRecording(file, synth::Synthesize(r), rate, synth::FileKind::Wav8), "");
        const std::string settings = ::testing::TempDir() + "agree.ini";
        std::ofstream(settings) << "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\n[calibration]\nMuzzleVolume=60\nImpactVolume=30\n";
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(RunAnalyzer({"--mode", "analysis", "--settings", settings, file}, "", out, err), 0);

        std::string error;
        const auto loaded = ReadWaveFile(file, &error);
        ASSERT_TRUE(loaded) << error;
        AnalysisModel m;
        m.SetWaveform(loaded->samples, loaded->rate, true);
        FakeClock clock;
        clock.ms = 1e6;
        m.Search(60, 30, CalcTriggerWindow(10, 50, 400, m.SampleTimeMs()), clock, false);
        const std::string expected = "\"muzzle_sample\":" + std::to_string(m.Found().muzzlePos) +
                                     ",\"impact_sample\":" + std::to_string(m.Found().impactPos) + ",";
        EXPECT_NE(out.str().find(expected), std::string::npos) << out.str() << " vs " << expected;
    }
}
