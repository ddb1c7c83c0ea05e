#include "LibraryCsv.h"

#include "NumberText.h"
#include "UtcTime.h"

namespace quorvel {

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

namespace {

// One standard deviation of the shot's muzzle velocity from its timing's,
// where the method gave one; empty where it did not.
std::string VelocitySdText(const StoredShot& shot, const ShownUnits& units)
{
    if (!shot.timingSd || !shot.muzzleOnset || !shot.impactOnset || !shot.muzzleVelocity) return {};
    const double samples = *shot.impactOnset - *shot.muzzleOnset;
    if (samples <= 0) return {};
    return GeneralNumber(units.Speed(*shot.muzzleVelocity) * *shot.timingSd / samples);
}

}  // namespace

std::string StringsCsv(const std::vector<StoredString>& strings, const ShownUnits& units)
{
    std::string out =
        "string,gun,pellet,shot,local_time,muzzle_velocity,average_velocity,velocity_unit,energy,energy_unit,excluded,"
        "exclude_reason,method,velocity_sd\r\n";
    const std::string speed = units.SpeedUnit();
    const std::string energy = units.EnergyUnit();
    for (const StoredString& s : strings) {
        const std::string string = CsvField(s.info.name) + "," + CsvField(s.info.gun) + "," + CsvField(s.info.pellet);
        for (const StoredShot& shot : s.shots) {
            if (shot.kind != ShotOutcome::Shot || !shot.muzzleVelocity) continue;
            out += string + "," + std::to_string(shot.number.value_or(0)) + "," + LocalIsoWithOffset(shot.timeUtc) +
                   "," + GeneralNumber(units.Speed(*shot.muzzleVelocity)) + "," +
                   GeneralNumber(units.Speed(shot.averageVelocity.value_or(0))) + "," + speed + "," +
                   GeneralNumber(units.Energy(*shot.muzzleVelocity, shot.pelletMass)) + "," + energy + "," +
                   (shot.excluded ? "yes" : "no") + "," + CsvField(shot.excludeReason) + "," +
                   CsvField(shot.method.value_or("")) + "," + VelocitySdText(shot, units) + "\r\n";
        }
    }
    return out;
}

}  // namespace quorvel
