#include <gtest/gtest.h>

#include <cmath>

#include "ShotString.h"

using namespace quorvel;

namespace {

const UnitLabels kMetric = SetUnitLabels(0);
const UnitLabels kImperial = SetUnitLabels(1);

ShotResult Shot(double velocity, double mass = 0.55, int number = 1)
{
    ShotResult s;
    s.MuzzleVelocity = velocity;
    s.PelletMass = mass;
    s.ShotNumber = number;
    s.ShotTime = 45658.25;
    return s;
}

}  // namespace

TEST(ShotString, StatisticsAndReadoutsOfAString)
{
    ShotString s;
    s.FillData(Shot(250, 0.55, 1), kMetric);
    EXPECT_EQ(s.Text(Readout::Velocity), "250.0");
    EXPECT_EQ(s.Text(Readout::Average), "250.0");
    EXPECT_EQ(s.Text(Readout::Minimum), "250.0");
    EXPECT_EQ(s.Text(Readout::Maximum), "250.0");
    EXPECT_EQ(s.Text(Readout::Spread), "000.0");
    EXPECT_EQ(s.Text(Readout::StdDev), "000.0");
    EXPECT_EQ(s.Text(Readout::Difference), "000.0");
    EXPECT_EQ(s.Text(Readout::ShotNumber), "001");
    EXPECT_EQ(s.Text(Readout::Energy), "017.2");  // 17.1875 J

    s.FillData(Shot(252, 0.55, 2), kMetric);
    EXPECT_EQ(s.Text(Readout::Difference), "000.0") << "the second shot does not show a difference yet";
    s.FillData(Shot(254, 0.55, 3), kMetric);
    EXPECT_EQ(s.Text(Readout::Difference), "+002.0");
    EXPECT_EQ(s.Text(Readout::Average), "252.0");
    EXPECT_EQ(s.Text(Readout::Spread), "004.0");
    EXPECT_EQ(s.Text(Readout::StdDev), "002.0") << "sample, not population, standard deviation";
    EXPECT_EQ(s.Count(), 3);
    s.FillData(Shot(251.5, 0.55, 4), kMetric);
    EXPECT_EQ(s.Text(Readout::Difference), "-002.5");
    s.FillData(Shot(251.5, 0.55, 5), kMetric);
    EXPECT_EQ(s.Text(Readout::Difference), "000.0");
}

TEST(ShotString, EnergiesAddUpAsShown)
{
    ShotString imperial;
    imperial.FillData(Shot(800, 14.3), kImperial);
    EXPECT_EQ(imperial.Text(Readout::Energy), "020.3");
    EXPECT_EQ(imperial.Text(Readout::Velocity), "0800");

    ShotString metric;
    const double v = std::sqrt(1.26 * 1000 / 0.5 / 1.0);  // 1.26 J with a 1 g pellet
    metric.FillData(Shot(v, 1.0), kMetric);
    metric.FillData(Shot(v, 1.0), kMetric);
    EXPECT_EQ(metric.Text(Readout::Energy), "001.3");
    EXPECT_EQ(metric.Text(Readout::TotalEnergy), "2.6") << "the sum of the shown energies, not 2.52";
}

TEST(ShotString, AMissIsShownAndTakenBack)
{
    ShotString s;
    s.FillData(Shot(250), kMetric);
    s.MisShot("no impact");
    EXPECT_EQ(s.Text(Readout::Velocity), "###.##");
    EXPECT_TRUE(s.Notice());
    EXPECT_TRUE(s.BannerVisible());
    EXPECT_EQ(s.BannerText(), "no impact");
    EXPECT_TRUE(s.ErrTimerEnabled());
    EXPECT_EQ(s.Count(), 1) << "a miss is no member of the string";
    s.ErrTimerTick();
    EXPECT_EQ(s.Text(Readout::Velocity), "250.0");
    EXPECT_FALSE(s.Notice());
    EXPECT_FALSE(s.BannerVisible());

    // A good shot within the notice replaces it at once.
    s.MisShot("Max. Velocity");
    s.FillData(Shot(260, 0.55, 2), kMetric);
    EXPECT_EQ(s.Text(Readout::Velocity), "260.0");
    EXPECT_FALSE(s.BannerVisible());

    // A second miss during the notice keeps "###.##" through the next tick.
    s.MisShot("no impact");
    s.MisShot("no impact");
    s.ErrTimerTick();
    EXPECT_EQ(s.Text(Readout::Velocity), "###.##");
    EXPECT_FALSE(s.Notice());
}

TEST(ShotString, ANewStringAndAReloadedWindow)
{
    ShotString s;
    s.FillData(Shot(250, 0.55, 1), kMetric);
    s.FillData(Shot(251, 0.55, 2), kMetric);
    s.NewString();
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(s.Text(i), i == Readout::ShotNumber ? "000" : "000.0");
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Velocities()[1], 0);
    s.FillData(Shot(240, 0.55, 1), kMetric);
    EXPECT_EQ(s.Text(Readout::Minimum), "240.0");

    s.ReloadReadouts();
    EXPECT_EQ(s.Text(Readout::Velocity), "000.0");
    EXPECT_EQ(s.Count(), 1) << "the series outlives the window";
    s.FillData(Shot(242, 0.55, 2), kMetric);
    EXPECT_EQ(s.Text(Readout::Average), "241.0");
    EXPECT_EQ(s.Text(Readout::Energy), "016.1");
    EXPECT_EQ(s.Text(Readout::TotalEnergy), "16.1") << "the total restarts from the fresh readout";
}

TEST(ShotString, AFullStringKeepsMeasuringWithoutGrowing)
{
    ShotString s;
    for (int i = 0; i < ShotString::kSlots; ++i) s.FillData(Shot(200 + (i % 3), 0.55, i + 1), kMetric);
    EXPECT_TRUE(s.Full());
    EXPECT_TRUE(s.BannerVisible());
    const double average = s.Average();
    const std::string total = s.Text(Readout::TotalEnergy);
    s.FillData(Shot(300, 0.55, 10002), kMetric);
    EXPECT_EQ(s.Count(), ShotString::kSlots);
    EXPECT_EQ(s.Average(), average);
    EXPECT_EQ(s.Text(Readout::Velocity), "300.0");
    EXPECT_EQ(s.Text(Readout::ShotNumber), "10002");
    EXPECT_EQ(s.Text(Readout::TotalEnergy), total);
    EXPECT_EQ(s.BannerText(), "String full: 10001 shots");
    s.MisShot("no impact");
    s.ErrTimerTick();
    EXPECT_TRUE(s.BannerVisible()) << "the full string stays announced";
    s.NewString();
    EXPECT_FALSE(s.Full());
    EXPECT_FALSE(s.BannerVisible());
}

TEST(SampleStdDev, StaysExactForTenThousandCloseShots)
{
    // 10000 shots from 300 to 300.1 m/s in even steps: the sample standard
    // deviation of an even progression is step x sqrt(n (n + 1) / 12).
    const int n = 10000;
    const double step = 0.1 / (n - 1);
    std::vector<double> v(n);
    for (int k = 0; k < n; ++k) v[static_cast<std::size_t>(k)] = 300 + step * k;
    const double expected = step * std::sqrt(static_cast<double>(n) * (n + 1) / 12);
    EXPECT_NEAR(SampleStdDev(v.data(), n - 1), expected, expected * 1e-9);
    EXPECT_EQ(SampleStdDev(v.data(), 0), 0);
}

TEST(ShotString, TableForASpreadsheet)
{
    ShotString s;
    s.FillData(Shot(250, 0.55, 1), kMetric);
    s.FillData(Shot(252, 0.55, 2), kMetric);
    EXPECT_EQ(s.Table(',', kMetric),
              "Shot,Time,Muzzle velocity,Velocity unit,Energy,Energy unit\n"
              "1,2025-01-01 06:00:00,250,m/s,17.1875,J\n"
              "2,2025-01-01 06:00:00,252,m/s,17.4636,J\n"
              "\n"
              "Shots,,2\n"
              "Average,,251,m/s\n"
              "Minimum,,250,m/s\n"
              "Maximum,,252,m/s\n"
              "Spread,,2,m/s\n"
              "Standard deviation,,1.4142135623731,m/s\n"
              "Total energy (exact),,,,34.6511,J\n");
    EXPECT_EQ(ShotString().Table('\t', kMetric), "Shot\tTime\tMuzzle velocity\tVelocity unit\tEnergy\tEnergy unit\n");
    EXPECT_EQ(ShotTimeText(46362 + 0.5), "2026-12-06 12:00:00");
}
