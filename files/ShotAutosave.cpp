#include "ShotAutosave.h"

#include <clocale>
#include <ctime>

#include "Clock.h"
#include "ShotDataFile.h"
#include "WaveFile.h"

namespace quorvel {

namespace {

// The date as the old program wrote it: the system's short date and time.
std::string LocalDateText(double days)
{
    const CivilTime t = CivilTimeOf(days);
    std::tm local = TmOf(t);
    char date[128];
    std::strftime(date, sizeof date, "%x %X", &local);
    return date;
}

}  // namespace

std::string AutosaveShot(const ShotResult& shot, const AutosaveTarget& target, const SampleArray& waveform,
                         std::int32_t rate, double nowDays, std::string* waveformWritten)
{
    const char decimalPoint = std::localeconv()->decimal_point[0];
    std::string failure =
        AppendShotLine(target.dataFile, ShotDataLine(shot, target.extended, LocalDateText(shot.ShotTime), decimalPoint));
    if (target.waveform) {
        const std::string name = target.waveFolder + "/" + WaveformFileName(nowDays);
        const std::string waveFailure = WriteWaveFile(name, waveform, rate);
        if (waveFailure.empty() && waveformWritten != nullptr) *waveformWritten = name;
        if (!waveFailure.empty()) {
            if (!failure.empty()) failure += kLineBreak;
            failure += "Cannot save the shot's waveform: " + waveFailure;
        }
    }
    return failure;
}

}  // namespace quorvel
