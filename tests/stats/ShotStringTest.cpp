#include <gtest/gtest.h>

#include <cmath>

#include "ShotString.h"
#include "StringStatistics.h"

using namespace quorvel;

namespace {

const UnitLabels kMetric = SetUnitLabels(UnitSystem::Metric);
const UnitLabels kImperial = SetUnitLabels(UnitSystem::Imperial);
using Readouts = std::array<std::string, 10>;

ShotResult Shot(double velocity, double mass = 0.55, int number = 1)
{
    ShotResult s;
    s.MuzzleVelocity = velocity;
    s.PelletMass = mass;
    s.ShotNumber = number;
    s.ShotTime = 45658.25;
    return s;
}

Readouts All(const ShotString& s)
{
    Readouts r;
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = s.Text(i);
    return r;
}

}  // namespace

// All ten readouts after each shot: velocity, energy, average, shot number,
// difference, minimum, maximum, spread, standard deviation, total energy.
TEST(ShotString, StatisticsAndReadoutsShotByShot)
{
    const std::pair<double, Readouts> steps[] = {
        {250, {"250.0", "017.2", "250.0", "001", "000.0", "250.0", "250.0", "000.0", "000.0", "17.2"}},
        // The second shot shows no difference yet.
        {252, {"252.0", "017.5", "251.0", "002", "000.0", "250.0", "252.0", "002.0", "001.4", "34.7"}},
        // The sample (not population) standard deviation.
        {254, {"254.0", "017.7", "252.0", "003", "+002.0", "250.0", "254.0", "004.0", "002.0", "52.4"}},
        {251.5, {"251.5", "017.4", "251.9", "004", "-002.5", "250.0", "254.0", "004.0", "001.7", "69.8"}},
        {251.5, {"251.5", "017.4", "251.8", "005", "000.0", "250.0", "254.0", "004.0", "001.4", "87.2"}},
    };
    ShotString s;
    int number = 0;
    for (const auto& [velocity, readouts] : steps) {
        s.FillData(Shot(velocity, 0.55, ++number), kMetric);
        EXPECT_EQ(All(s), readouts) << "shot " << number;
    }
    EXPECT_EQ(s.Count(), 5);

    // Flyers leave the statistics newest first and come back in their place.
    const auto statistics = [](const Readouts& r) {
        return std::vector<std::string>{r[2], r[5], r[6], r[7], r[8], r[9]};
    };
    EXPECT_EQ(s.ExcludeLast(), 5);
    EXPECT_EQ(s.ExcludeLast(), 4);
    EXPECT_EQ(statistics(All(s)), statistics(steps[2].second));
    EXPECT_EQ(s.Text(Readout::Velocity), "251.5") << "the shot measured last is still shown";
    EXPECT_EQ(s.IncludeExcluded(), 4);
    EXPECT_EQ(statistics(All(s)), statistics(steps[3].second));
    EXPECT_EQ(s.Velocities()[3], 251.5);
    s.NewString();
    EXPECT_EQ(s.ExcludeLast(), 0);
    EXPECT_FALSE(s.HasExcluded());

    ShotString imperial;
    imperial.FillData(Shot(800, 14.3), kImperial);
    EXPECT_EQ(imperial.Text(Readout::Energy), "020.3");
    EXPECT_EQ(imperial.Text(Readout::Velocity), "0800");
    ShotString shown;
    const double v = std::sqrt(1.26 * 1000 / 0.5 / 1.0);  // 1.26 J with a 1 g pellet
    shown.FillData(Shot(v, 1.0), kMetric);
    shown.FillData(Shot(v, 1.0), kMetric);
    EXPECT_EQ(shown.Text(Readout::TotalEnergy), "2.6") << "the sum of the shown energies, not 2.52";
}

TEST(ShotString, AMissIsShownAndTakenBack)
{
    ShotString s;
    s.FillData(Shot(250), kMetric);
    s.MisShot("no impact");
    EXPECT_EQ(s.Text(Readout::Velocity), "###.##");
    EXPECT_TRUE(s.Notice() && s.BannerVisible() && s.ErrTimerEnabled());
    EXPECT_EQ(s.BannerText(), "no impact");
    EXPECT_EQ(s.Count(), 1) << "a miss is no member of the string";
    s.ErrTimerTick();
    EXPECT_EQ(s.Text(Readout::Velocity), "250.0");
    EXPECT_FALSE(s.Notice() || s.BannerVisible());

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
    const Readouts zero = {"000.0", "000.0", "000.0", "000", "000.0", "000.0", "000.0", "000.0", "000.0", "000.0"};
    EXPECT_EQ(All(s), zero);
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Velocities()[1], 0);
    s.FillData(Shot(240, 0.55, 1), kMetric);
    EXPECT_EQ(s.Text(Readout::Minimum), "240.0");

    s.MisShot("no impact");
    s.ReloadReadouts();
    EXPECT_EQ(s.Text(Readout::Velocity), "000.0");
    EXPECT_FALSE(s.Notice() || s.BannerVisible() || s.ErrTimerEnabled()) << "a reloaded window shows no old miss";
    EXPECT_EQ(s.Count(), 1) << "the series outlives the window";
    s.FillData(Shot(242, 0.55, 2), kMetric);
    EXPECT_EQ(s.Text(Readout::Average), "241.0");
    EXPECT_EQ(s.Text(Readout::TotalEnergy), "16.1") << "the total restarts from the fresh readout";
}

TEST(ShotString, AFullStringKeepsMeasuringWithoutGrowing)
{
    ShotString s;
    for (int i = 0; i < ShotString::kSlots; ++i) s.FillData(Shot(200 + (i % 3), 0.55, i + 1), kMetric);
    EXPECT_TRUE(s.Full() && s.BannerVisible());
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
    EXPECT_FALSE(s.Full() || s.BannerVisible());
}

TEST(Summarize, StaysExactForTenThousandCloseShots)
{
    // 10000 shots from 300 to 300.1 m/s in even steps: the sample standard
    // deviation of an even progression is step x sqrt(n (n + 1) / 12).
    const int n = 10000;
    const double step = 0.1 / (n - 1);
    std::vector<double> v(n);
    for (int k = 0; k < n; ++k) v[static_cast<std::size_t>(k)] = 300 + step * k;
    const double expected = step * std::sqrt(static_cast<double>(n) * (n + 1) / 12);
    EXPECT_NEAR(Summarize(v).sd, expected, expected * 1e-9);
    EXPECT_EQ(Summarize(std::span<const double>(v.data(), 1)).sd, 0);
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
              "Shots,,2\nAverage,,251,m/s\nMinimum,,250,m/s\nMaximum,,252,m/s\nSpread,,2,m/s\n"
              "Standard deviation,,1.4142135623731,m/s\nTotal energy (exact),,,,34.6511,J\n");
    EXPECT_EQ(ShotString().Table('\t', kMetric), "Shot\tTime\tMuzzle velocity\tVelocity unit\tEnergy\tEnergy unit\n");
    // Shots timed with their accuracy carry it in a last column.
    ShotString timed;
    timed.FillData(Shot(250, 0.55, 1), kMetric, 0.25);
    timed.FillData(Shot(252, 0.55, 2), kMetric);
    const std::string table = timed.Table(',', kMetric);
    EXPECT_EQ(table.substr(0, table.find("\n\n")),
              "Shot,Time,Muzzle velocity,Velocity unit,Energy,Energy unit,Accuracy (1 SD)\n"
              "1,2025-01-01 06:00:00,250,m/s,17.1875,J,0.25\n"
              "2,2025-01-01 06:00:00,252,m/s,17.4636,J,0");
    EXPECT_EQ(ShotTimeText(46362 + 0.5), "2026-12-06 12:00:00");
    EXPECT_EQ(ShotTimeText(0), "") << "a shot without a time";
}
