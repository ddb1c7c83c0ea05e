// One stored string as the library window, its exports and its report show
// it: velocities and energies in the units the main window shows, which
// shots count, the statistics with their confidence intervals and the
// plateau, and the words for them.
#pragma once

#include <string>
#include <vector>

#include "ShotLibrary.h"
#include "StringStatistics.h"
#include "Units.h"

namespace quorvel {

// The library stores metric values; these are the units they are shown in.
struct ShownUnits {
    UnitSystem system = UnitSystem::Metric;
    bool Metric() const { return system == UnitSystem::Metric; }
    double Speed(double metresPerSecond) const;
    // A shot's energy from its stored velocity and pellet mass, worked out
    // in the shown units as the results window does.
    double Energy(double metresPerSecond, double grams) const;
    // An energy worked out in joules, in the shown unit by the same formula.
    double EnergyFromJoules(double joules) const;
    std::string SpeedUnit() const { return Metric() ? "m/s" : "fps"; }
    std::string EnergyUnit() const { return Metric() ? "J" : "fpe"; }
    // The plateau limit a shooter starts from: 3 m/s, or 10 fps.
    double DefaultPlateauLimit() const { return Metric() ? 3 : 10; }
    // Velocities as the windows print them: 251.3 m/s, 824 fps.
    std::string SpeedText(double shown) const;
};

struct StringFigures {
    // Every shot with a velocity, in stored order; misses are left out.
    std::vector<int> numbers;
    std::vector<double> velocities;  // muzzle velocity, shown units
    std::vector<double> energies;    // shown units
    std::vector<bool> counted;       // false for an excluded shot
    std::vector<double> countedVelocities;
    Summary summary;                 // of the counted shots
    double averageEnergy = 0;
    Interval meanInterval;
    Interval sdInterval;
    Plateau plateau;
    int excluded = 0;
    int misses = 0;
};
StringFigures FiguresOf(const std::vector<StoredShot>& shots, const ShownUnits& units, double plateauLimit);

// "average 251.3 m/s (90 % CI 250.1 to 252.5), SD 1.9 m/s (90 % CI 1.4 to 3.1), ES 6.2 m/s, 10 shots"
std::string StatisticsText(const StringFigures& f, const ShownUnits& units);
// "shots 12–41: 30 shots, average 251.3 m/s, ES 2.8 m/s", or that none was found.
std::string PlateauText(const StringFigures& f, const ShownUnits& units, double limit);

}  // namespace quorvel
