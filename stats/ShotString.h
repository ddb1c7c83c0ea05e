// The shot string of the results window: every good shot's muzzle velocity,
// its statistics and the texts of the ten readouts. Several values are read
// back from the readout texts (the total energy adds up the energies as
// shown), so the texts are part of the state. The series survives a closed
// results window; the readouts start afresh when the window is loaded again.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ShotResult.h"
#include "Units.h"

namespace quorvel {

// Readout indexes of lblVelo(0) to lblVelo(9).
namespace Readout {
enum : std::size_t {
    Velocity = 0,
    Energy = 1,
    Average = 2,
    ShotNumber = 3,
    Difference = 4,
    Minimum = 5,
    Maximum = 6,
    Spread = 7,
    StdDev = 8,
    TotalEnergy = 9,
};
}

inline constexpr const char* kNoticeVelocityText = "###.##";

// What the string keeps of each shot besides its velocity, for export.
struct ShotRecord {
    std::int32_t number = 0;
    double time = 0;  // days since 30 December 1899, local
    double energy = 0;
    double accuracy = 0;  // one standard deviation of the velocity where the method gives it, else 0
};

class ShotString {
public:
    static constexpr int kSlots = 10001;

    ShotString();

    // A good shot joins the string and every readout is refreshed. A full
    // string shows the shot's velocity and energy but keeps its statistics
    // and says so in the banner.
    void FillData(const ShotResult& shot, const UnitLabels& units, double accuracy = 0);
    // A shot without a valid measurement: "###.##" on dark red and the banner.
    void MisShot(std::string_view text);
    // The notice timer's tick: the velocity readout comes back.
    void ErrTimerTick();
    // A click on the shot counter: a new string (the caller resets the shot number).
    void NewString();
    // A flyer: the newest counted shot leaves the statistics, the chart and
    // the exports; returns its number, or 0 when no shot is left to exclude.
    int ExcludeLast();
    // The shot excluded last comes back in its place; its number, or 0.
    int IncludeExcluded();
    bool HasExcluded() const { return !excluded_.empty(); }
    // The window was loaded: fresh readouts, timer off; the series stays.
    void ReloadReadouts();

    const std::string& Text(std::size_t readout) const { return readouts_[readout]; }
    bool Notice() const { return notice_; }
    bool BannerVisible() const { return bannerVisible_; }
    const std::string& BannerText() const { return bannerText_; }
    bool ErrTimerEnabled() const { return errTimerEnabled_; }
    bool Full() const { return count_ == kSlots; }

    int Count() const { return count_; }
    const std::vector<double>& Velocities() const { return velocities_; }
    const std::vector<ShotRecord>& Records() const { return records_; }
    double Average() const { return average_; }
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    double Spread() const { return spread_; }
    double StdDev() const { return stdDev_; }
    double PreviousVelocity() const { return previous_; }
    double TotalEnergy() const;

    // The string for a spreadsheet: one row per shot (number, time, muzzle
    // velocity and its unit, energy and its unit), then the statistics.
    std::string Table(char separator, const UnitLabels& units) const;

private:
    void Statistics(int last);  // DrawArray's statistics over slots 0..last
    void ShowStatistics();      // after a shot left or came back

    std::vector<double> velocities_;
    std::vector<ShotRecord> records_;
    struct Excluded {
        ShotRecord record;
        double velocity;
    };
    std::vector<Excluded> excluded_;  // newest last
    int count_ = 0;
    double minimum_ = 0;
    double maximum_ = 0;
    double spread_ = 0;
    double stdDev_ = 0;
    double average_ = 0;
    double previous_ = 0;
    std::string savedVelocityText_;
    std::string savedFormat_ = "000.0";  // the speed pattern of the last shot
    std::array<std::string, 10> readouts_;
    bool notice_ = false;
    bool bannerVisible_ = false;
    std::string bannerText_;
    bool errTimerEnabled_ = false;
};

// "yyyy-mm-dd hh:mm:ss" of a time in days since 30 December 1899.
std::string ShotTimeText(double days);

}  // namespace quorvel
