// Metric and imperial units. Values are held in whichever system is chosen;
// a change of system converts the stored values in place. The unit strings
// carry one blank either side because they are appended to numbers as they
// are ("200.0 m/s ").
#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel {

struct Settings;
struct SettingsPanel;

enum class UnitSystem : std::int16_t { Metric = 0, Imperial = 1 };

inline constexpr double FeetPerMetre = 3.2808;
inline constexpr double GrainsPerGram = 15.432;

struct UnitLabels {
    UnitSystem system = UnitSystem::Metric;
    std::string_view SpeedUnit;
    std::string_view DistanceUnit;
    std::string_view MassUnit;
    std::string_view EnergyUnit;
    std::string_view SpeedFormat;  // display pattern of measured velocities
};

UnitLabels SetUnitLabels(UnitSystem units);
// The system a settings file's number names: imperial for anything but 0.
inline UnitSystem UnitSystemOf(double number) { return number != 0 ? UnitSystem::Imperial : UnitSystem::Metric; }

// Speeds and masses between a system and the metric one the library keeps.
double SpeedToMetric(double speed, UnitSystem from);
double SpeedFromMetric(double metresPerSecond, UnitSystem to);
// Feet and metres go by the same factor as their speeds.
inline double LengthToMetric(double length, UnitSystem from) { return SpeedToMetric(length, from); }
double MassToMetric(double mass, UnitSystem from);
double MassFromMetric(double grams, UnitSystem to);

// A unit string without its surrounding blanks, as a label shows it alone.
std::string_view TrimUnit(std::string_view unit);

// Switches the stored values to the other system and rewrites the affected
// panel fields with their display patterns; the record keeps the unrounded
// values, so switching back at once restores them. Sets `units` and returns
// the labels of the new system; asking for the system already in force
// changes nothing.
UnitLabels ConvertUnits(Settings& settings, SettingsPanel& panel, UnitSystem to);

// Muzzle energy in joules (m/s, grams) or foot-pounds (fps, grains),
// evaluated left to right in double precision.
double MuzzleEnergy(double muzzleVelocity, double pelletMass, UnitSystem units);

}  // namespace quorvel
