#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "AnalysisModel.h"

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
    ManualClock clock;
    clock.ms = 10000;  // the program's clock starts at 10 s, so "no muzzle yet" (0) never holds one off
    SampleArray wave = Silent();
    wave[BlockStart(4) - 2000] = 230;  // the first loud sample, in block 3
    wave[BlockStart(4) + 3000] = 30;   // the impact falls into block 4
    AnalysisModel m = ModelOf(wave);
    m.Search(DetectionMethod::Threshold, {96000, kTenMetres, 60, 30, {}}, clock, false);
    ASSERT_TRUE(m.Found().impactFound);
    EXPECT_EQ(m.Found().muzzlePos, BlockStart(4) - 2000);
    EXPECT_EQ(m.Found().impactPos, BlockStart(4) + 3000);
    EXPECT_EQ(m.Found().samples, 5000);
    EXPECT_EQ(m.ZoomLeft(), BlockStart(4) - 2000 - 300);
    EXPECT_EQ(m.ZoomWidth(), 19200 + 600);

    // Raising the impact volume past the impact's peak keeps only the muzzle.
    m.Search(DetectionMethod::Threshold, {96000, kTenMetres, 60, 97, {}}, clock, false);
    EXPECT_TRUE(m.Found().muzzleFound);
    EXPECT_FALSE(m.Found().impactFound);
    // Searching again with the same result (the window activated anew) keeps a chosen zoom.
    m.SetZoom(2000, 3000);
    m.Search(DetectionMethod::Threshold, {96000, kTenMetres, 60, 97, {}}, clock, false);
    EXPECT_EQ(m.ZoomLeft(), 2000);
    // During a level drag the zoom window stays where it is.
    m.SetZoom(1000, 5000);
    m.Search(DetectionMethod::Threshold, {96000, kTenMetres, 60, 30, {}}, clock, true);
    EXPECT_EQ(m.ZoomLeft(), 1000);

    // Where the zoom window goes for a muzzle near the start, near the end, or none at all.
    const std::tuple<int, double, double> placements[] = {{200, 0, 200 + 19200 + 300},
                                                          {kRingSamples - 1000, kRingSamples - 1300, 1300},  // cut at the overview's right edge
                                                          {-1, 0, 19200 + 300}};
    for (const auto& [loud, left, width] : placements) {
        SampleArray w = Silent();
        if (loud >= 0) w[static_cast<std::size_t>(loud)] = 255;
        AnalysisModel placed = ModelOf(w);
        placed.Search(DetectionMethod::Threshold, {96000, kTenMetres, 60, 30, {}}, clock, false);
        EXPECT_EQ(placed.Found().muzzleFound, loud >= 0);
        EXPECT_EQ(placed.ZoomLeft(), left) << loud;
        EXPECT_EQ(placed.ZoomWidth(), width) << loud;
    }
}

TEST(AnalysisModel, Texts)
{
    ManualClock clock;
    clock.ms = 20000;
    SampleArray wave = Silent();
    wave[9600] = 255;
    wave[9600 + 960] = 0;
    wave[20] = 130;
    wave[21] = 120;
    AnalysisModel m = ModelOf(wave);
    m.Search(DetectionMethod::Threshold, {96000, CalcTriggerWindow(10, 50, 2000, 1.0 / 96000 * 1000), 60, 30, {}}, clock, false);
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
    // A whole waveform, spare byte included, so the last bucket holds a single sample.
    std::vector<std::uint8_t> samples(kRingBytes);
    for (auto& s : samples) s = static_cast<std::uint8_t>(120 + rng() % 16);
    samples[77777] = 255;
    samples[3] = 0;
    samples[kRingSamples] = 254;
    MinMaxPyramid p;
    p.Build(samples.data(), static_cast<int>(samples.size()));
    EXPECT_EQ(p.Query(kRingSamples - 1000, kRingSamples).high, 254);
    std::uniform_int_distribution<int> at(0, kRingSamples);
    for (int q = 0; q < 3000; ++q) {
        int a = at(rng);
        int b = q % 3 == 0 ? a + static_cast<int>(rng() % 40) : at(rng);
        if (a > b) std::swap(a, b);
        const auto r = p.Query(a, b);
        const auto [low, high] = std::minmax_element(samples.begin() + a, samples.begin() + std::min(b, kRingSamples) + 1);
        ASSERT_EQ(r.low, *low) << a << ".." << b;
        ASSERT_EQ(r.high, *high) << a << ".." << b;
    }
}
