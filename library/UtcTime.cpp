#include "UtcTime.h"

#include "Clock.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace quorvel {

namespace {

std::string Format(const std::tm& t, const char* pattern)
{
    char text[64];
    return std::strftime(text, sizeof text, pattern, &t) > 0 ? text : "";
}

}  // namespace

std::string UtcIsoFromLocalDays(double localDays)
{
    // The local wall-clock time, rounded to the second as the shot data file
    // writes it, then mktime finds the instant, daylight saving included.
    const CivilTime t = CivilTimeOf(localDays);
    std::tm local = TmOf(t);
    local.tm_isdst = -1;
    const std::time_t instant = mktime(&local);
    std::tm utc{};
    gmtime_r(&instant, &utc);
    return Format(utc, "%Y-%m-%dT%H:%M:%SZ");
}

std::optional<long long> ParseUtcIso(const std::string& utc)
{
    std::tm t{};
    char zone = 0;
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec, &zone) != 7 ||
        zone != 'Z') {
        return std::nullopt;
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return static_cast<long long>(timegm(&t));
}

namespace {

// The local calendar time of an ISO 8601 UTC text; nothing for anything else.
std::optional<std::tm> LocalTmOf(const std::string& utc)
{
    const auto seconds = ParseUtcIso(utc);
    if (!seconds) return std::nullopt;
    const auto instant = static_cast<std::time_t>(*seconds);
    std::tm local{};
    localtime_r(&instant, &local);
    return local;
}

}  // namespace

std::string LocalIsoWithOffset(const std::string& utc)
{
    const auto local = LocalTmOf(utc);
    if (!local) return utc;
    const long offset = local->tm_gmtoff / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return Format(*local, "%Y-%m-%dT%H:%M:%S") + zone;
}

std::string LocalTimeText(const std::string& utc)
{
    const auto local = LocalTmOf(utc);
    return local ? Format(*local, "%Y-%m-%d %H:%M:%S") : utc;
}

}  // namespace quorvel
