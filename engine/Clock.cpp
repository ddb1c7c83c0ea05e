#include "Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace quorvel {

namespace {
long long SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

SteadyClock::SteadyClock() : originNs_(SteadyNs())
{
    // The first call to localtime_r reads the time zone; do it now rather
    // than during the first shot.
    NowDays();
}

double SteadyClock::NowMs() { return static_cast<double>(SteadyNs() - originNs_) / 1e6; }

double SteadyClock::NowDays()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    return DaysOf(local);
}

double DaysOf(const CivilTime& c)
{
    // Days from 1899-12-30 to the calendar date, by the days-from-civil
    // algorithm, plus the time of day.
    const long long y = c.year - (c.month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const int m = c.month;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + c.day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long daysSince1970 = era * 146097 + doe - 719468;
    const double seconds = c.hour * 3600.0 + c.minute * 60.0 + c.second;
    return static_cast<double>(daysSince1970 + 25569) + seconds / 86400.0;
}

double DaysOf(const std::tm& local)
{
    return DaysOf(CivilTime{local.tm_year + 1900LL, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec});
}

std::tm TmOf(const CivilTime& t)
{
    std::tm local{};
    local.tm_year = static_cast<int>(t.year - 1900);
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    return local;
}

CivilTime CivilTimeOf(double days)
{
    const auto whole = static_cast<long long>(std::floor(days));
    long long seconds = std::llround((days - static_cast<double>(whole)) * 86400);
    long long z = whole - 25569 + 719468;  // days since 1970-01-01, shifted to 0000-03-01
    if (seconds >= 86400) {
        seconds -= 86400;
        ++z;
    }
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    CivilTime t;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = yoe + era * 400 + (t.month <= 2 ? 1 : 0);
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

}  // namespace quorvel
