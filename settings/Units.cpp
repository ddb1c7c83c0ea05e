#include "Units.h"

#include <cmath>

#include "NumberText.h"
#include "Settings.h"

namespace quorvel {

UnitLabels SetUnitLabels(UnitSystem units)
{
    if (units == UnitSystem::Imperial) return {units, " fps ", " feet ", " grain ", " fpe ", "0000"};
    return {units, " m/s ", " m ", " g ", " J ", "000.0"};
}

double SpeedToMetric(double speed, UnitSystem from) { return from == UnitSystem::Metric ? speed : speed / FeetPerMetre; }
double SpeedFromMetric(double metresPerSecond, UnitSystem to)
{
    return to == UnitSystem::Metric ? metresPerSecond : metresPerSecond * FeetPerMetre;
}
double MassToMetric(double mass, UnitSystem from) { return from == UnitSystem::Metric ? mass : mass / GrainsPerGram; }
double MassFromMetric(double grams, UnitSystem to) { return to == UnitSystem::Metric ? grams : grams * GrainsPerGram; }

std::string_view TrimUnit(std::string_view unit)
{
    while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
    while (!unit.empty() && unit.back() == ' ') unit.remove_suffix(1);
    return unit;
}

UnitLabels ConvertUnits(Settings& s, SettingsPanel& panel, UnitSystem to)
{
    const bool imperial = to == UnitSystem::Imperial;
    if (s.units == to) return SetUnitLabels(s.units);
    s.units = to;
    panel.imperial = imperial;
    const auto convert = [&](double& value, double factor, std::size_t field, const char* pattern) {
        value = imperial ? value * factor : value / factor;
        panel.txtInfo[field] = FormatPattern(value, pattern);
        panel.exact[field] = value;
    };
    convert(s.distance, FeetPerMetre, PanelField::Distance, "0.0");
    convert(s.VelocityMin, FeetPerMetre, PanelField::VelocityMin, "0");
    convert(s.VelocityMax, FeetPerMetre, PanelField::VelocityMax, "0");
    convert(s.pelletmass, GrainsPerGram, PanelField::PelletMass, imperial ? "0.0" : "0.0000");
    convert(s.offset, FeetPerMetre, PanelField::Offset, "0.0");
    panel.txtInfo[PanelField::MicDistance] = GeneralNumber(s.distance / 2);
    return SetUnitLabels(s.units);
}

double MuzzleEnergy(double v, double m, UnitSystem units)
{
    if (units == UnitSystem::Metric) return std::pow(v, 2) * 0.5 * m / 1000;
    return std::pow(v, 2) * m / 450240;
}

}  // namespace quorvel
