// The program's clocks, injectable so that tests and the analyser decide
// what time it is. NowMs only matters by differences (the 900 ms hold-off,
// the scope sweep); NowDays is the wall-clock date and time of a shot.
#pragma once

#include <ctime>

namespace quorvel {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds from a monotonic counter; only differences matter. Values
    // are stored rounded into 32 bits, so they must stay below 2^31 (24 days).
    virtual double NowMs() = 0;
    // Local date and time as days since 30 December 1899, fraction = time of day.
    virtual double NowDays() = 0;
};

// Counts from its making: the first muzzle needs no hold-off before it (see
// DetectionState::LastMuzzleTime), so 0 means nothing special.
class SteadyClock final : public Clock {
public:
    SteadyClock();
    double NowMs() override;
    double NowDays() override;

private:
    long long originNs_;
};

// A date and time of the days-since-1899 kind, taken apart, to the nearest second.
struct CivilTime {
    long long year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};
CivilTime CivilTimeOf(double days);
// The other way: days since 30 December 1899 of a civil date and time.
double DaysOf(const CivilTime& t);
// A local time as the C library gives it, and back.
double DaysOf(const std::tm& local);
std::tm TmOf(const CivilTime& t);

// A clock that says what it is told: the time a recording's sound took,
// when a file is measured as if it were recorded.
class ManualClock final : public Clock {
public:
    double NowMs() override { return ms; }
    double NowDays() override { return days; }
    double ms = 0;
    double days = 0;
};

}  // namespace quorvel
