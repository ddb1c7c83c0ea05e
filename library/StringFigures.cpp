#include "StringFigures.h"

#include <memory>
#include <span>

#include "NumberText.h"
#include "Units.h"

namespace quorvel {

double ShownUnits::Speed(double metresPerSecond) const
{
    return SpeedFromMetric(metresPerSecond, system);
}

double ShownUnits::Energy(double metresPerSecond, double grams) const
{
    return MuzzleEnergy(SpeedFromMetric(metresPerSecond, system), MassFromMetric(grams, system), system);
}

double ShownUnits::EnergyFromJoules(double joules) const
{
    // Both formulas grow with v² m, so the ratio of one shot at 1 m/s, 1 g is exact for all.
    return Metric() ? joules : joules * Energy(1, 1) / MuzzleEnergy(1, 1, UnitSystem::Metric);
}

std::string ShownUnits::SpeedText(double shown) const { return FormatPattern(shown, Metric() ? "0.0" : "0"); }

StringFigures FiguresOf(const std::vector<StoredShot>& shots, const ShownUnits& units, double plateauLimit)
{
    StringFigures f;
    std::vector<double>& counted = f.countedVelocities;
    double energy = 0;
    for (const StoredShot& s : shots) {
        if (s.kind != ShotOutcome::Shot || !s.muzzleVelocity) {
            ++f.misses;
            continue;
        }
        const double v = units.Speed(*s.muzzleVelocity);
        const double e = units.Energy(*s.muzzleVelocity, s.pelletMass);
        f.numbers.push_back(s.number.value_or(0));
        f.velocities.push_back(v);
        f.energies.push_back(e);
        f.counted.push_back(!s.excluded);
        if (s.excluded) {
            ++f.excluded;
        } else {
            counted.push_back(v);
            energy += e;
        }
    }
    f.summary = Summarize(counted);
    f.averageEnergy = counted.empty() ? 0 : energy / static_cast<double>(counted.size());
    f.meanInterval = MeanInterval(f.summary);
    f.sdInterval = SdInterval(f.summary);
    // std::vector<bool> has no contiguous storage to span over.
    const std::unique_ptr<bool[]> flags(new bool[f.counted.size() + 1]);
    for (std::size_t i = 0; i < f.counted.size(); ++i) flags[i] = f.counted[i];
    f.plateau = LongestPlateau(f.velocities, std::span<const bool>(flags.get(), f.counted.size()), plateauLimit);
    return f;
}

std::string StatisticsText(const StringFigures& f, const ShownUnits& units)
{
    const std::string unit = " " + units.SpeedUnit();
    const auto v = [&](double x) { return units.SpeedText(x); };
    const auto sd = [](double x) { return FormatPattern(x, "0.00"); };
    const Summary& s = f.summary;
    if (s.count == 0) return "no shots counted";
    std::string text = "average " + v(s.mean) + unit;
    if (f.meanInterval.known) {
        text += " (90 % CI " + v(f.meanInterval.low) + " to " + v(f.meanInterval.high) + ")";
    }
    text += ", SD " + sd(s.sd) + unit;
    if (f.sdInterval.known) text += " (90 % CI " + sd(f.sdInterval.low) + " to " + sd(f.sdInterval.high) + ")";
    text += ", ES " + v(s.Es()) + unit + ", " + std::to_string(s.count) + (s.count == 1 ? " shot" : " shots");
    if (f.excluded > 0) text += " (" + std::to_string(f.excluded) + " excluded)";
    return text;
}

std::string PlateauText(const StringFigures& f, const ShownUnits& units, double limit)
{
    const std::string unit = " " + units.SpeedUnit();
    if (!f.plateau.found || f.plateau.summary.count < 2) return "no plateau of two or more shots within " + units.SpeedText(limit) + unit;
    const Plateau& p = f.plateau;
    return "shots " + std::to_string(f.numbers[static_cast<std::size_t>(p.first)]) + "\u2013" +
           std::to_string(f.numbers[static_cast<std::size_t>(p.last)]) + ": " + std::to_string(p.summary.count) +
           " shots, average " + units.SpeedText(p.summary.mean) + unit + ", ES " + units.SpeedText(p.summary.Es()) + unit;
}

}  // namespace quorvel
