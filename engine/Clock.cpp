#include "Clock.h"

#include <chrono>
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

double SteadyClock::NowMs() { return 10000.0 + static_cast<double>(SteadyNs() - originNs_) / 1e6; }

double SteadyClock::NowDays()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    // Days from 1899-12-30 to the local calendar date, by the civil-from-days
    // algorithm, plus the time of day.
    const int y = local.tm_year + 1900 - (local.tm_mon < 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int m = local.tm_mon + 1;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long daysSince1970 = static_cast<long long>(era) * 146097 + doe - 719468;
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
    return static_cast<double>(daysSince1970 + 25569) + seconds / 86400.0;
}

}  // namespace quorvel
