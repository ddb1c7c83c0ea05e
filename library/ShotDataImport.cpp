#include "ShotDataImport.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <map>

#include "Units.h"
#include "UtcTime.h"

namespace quorvel {

namespace {

std::vector<std::string> Fields(std::string_view line)
{
    std::vector<std::string> fields;
    const std::string_view sep = " , ";
    while (true) {
        const std::size_t at = line.find(sep);
        fields.emplace_back(line.substr(0, at));
        if (at == std::string_view::npos) return fields;
        line.remove_prefix(at + sep.size());
    }
}

// "251,30000" or "251.30000": the whole field must be the number.
bool Number(std::string text, double* value)
{
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end && std::isfinite(*value);
}

bool Whole(const std::string& text, int* value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && ptr == end;
}

// Figures an air gun on a range can give, as the line holds them (the short
// line's distance and mass are the settings', not the file's to judge).
bool Possible(double average, double muzzle, const StoredShot& shot, bool extended)
{
    const auto within = [](double v, double low, double high) { return v > low && v <= high; };
    if (!within(average, 0, kFastestImportedVelocity) || std::fabs(muzzle) > kFastestImportedVelocity) return false;
    return !extended || (within(shot.distance, 0, 1000) && within(shot.pelletMass, 0, 1000) &&
                         within(shot.sampleRate, 0, 10000000) && shot.samples.value_or(0) >= 0);
}

}  // namespace

bool ParseShotDate(const std::string& text, double* localDays)
{
    static const char* const kFormats[] = {"%x %X",          "%Y-%m-%d %H:%M:%S", "%d.%m.%Y %H:%M:%S",
                                           "%d/%m/%Y %H:%M:%S", "%m/%d/%Y %I:%M:%S %p", "%m/%d/%y %H:%M:%S"};
    for (const char* format : kFormats) {
        std::tm t{};
        const char* end = strptime(text.c_str(), format, &t);
        if (end == nullptr || *end != '\0' || t.tm_mday == 0) continue;
        const long long days = static_cast<long long>(timegm(&t)) / 86400;
        const double seconds = t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec;
        *localDays = static_cast<double>(days + 25569) + seconds / 86400;
        return true;
    }
    return false;
}

namespace {

// A line's three or nine fields, in the settings' units; a three-field line
// takes the rest of the shot from the settings.
bool ReadFields(const std::vector<std::string>& f, const Settings& settings, double& localDays, int& number, double& average, StoredShot& shot)
{
    bool ok = (f.size() == 3 || f.size() == 9) && ParseShotDate(f[0], &localDays) && Whole(f[1], &number) &&
              Number(f[2], &average) && average > 0;
    shot.distance = settings.distance;
    shot.pelletMass = settings.pelletmass;
    shot.sampleRate = settings.frequency;
    if (ok && f.size() == 9) {
        int samples = 0;
        ok = Number(f[3], &shot.distance) && Number(f[4], &shot.pelletMass) && Whole(f[5], &shot.muzzleVolume) &&
             Whole(f[6], &shot.impactVolume) && Whole(f[7], &samples) && Whole(f[8], &shot.sampleRate);
        shot.samples = samples;
    }
    return ok;
}

}  // namespace

ImportedFile ReadShotDataFile(std::string_view text, const Settings& settings)
{
    const UnitSystem units = settings.units;
    ImportedFile file;
    std::map<long long, StoredString> days;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        const std::vector<std::string> f = Fields(line);
        double localDays = 0;
        StoredShot shot;
        double average = 0;
        int number = 0;
        if (!ReadFields(f, settings, localDays, number, average, shot)) {
            file.unreadLines.push_back(lineNumber);
            continue;
        }
        const double muzzle = ((100 - settings.RetainedVelocity) / 2 / 100 + 1) * average + settings.offset;
        if (!Possible(SpeedToMetric(average, units), SpeedToMetric(muzzle, units), shot, f.size() == 9)) {
            file.impossibleLines.push_back(lineNumber);
            continue;
        }
        shot.number = number;
        shot.timeUtc = UtcIsoFromLocalDays(localDays);
        shot.averageVelocity = SpeedToMetric(average, units);
        shot.muzzleVelocity = SpeedToMetric(muzzle, units);
        shot.distance = LengthToMetric(shot.distance, units);
        shot.pelletMass = MassToMetric(shot.pelletMass, units);
        shot.energy = MuzzleEnergy(*shot.muzzleVelocity, shot.pelletMass, UnitSystem::Metric);
        const long long day = static_cast<long long>(std::floor(localDays));
        StoredString& string = days[day];
        if (string.shots.empty()) {
            // The day's first shot names the string and gives its id, so a
            // second import of the same file finds the same string.
            string.info.startedUtc = shot.timeUtc;
            string.info.id = ParseUtcIso(shot.timeUtc).value_or(0) * 1000;
            string.info.name = LocalTimeText(shot.timeUtc).substr(0, 10) + " (imported)";
        }
        shot.stringId = string.info.id;
        string.shots.push_back(shot);
        ++file.shots;
    }
    for (auto& [day, string] : days) file.strings.push_back(std::move(string));
    return file;
}

}  // namespace quorvel
