// Reads the shot data file the autosave writes (either layout, CR LF or LF,
// "." or the locale's "," as decimal mark, the date as the system wrote it)
// into strings for the library, one per local day. The file carries no
// units: its numbers are taken to be in the units the window shows now, and
// the muzzle velocity is worked out with today's retained velocity and
// offset, as the window would.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "LibraryCsv.h"
#include "Settings.h"

namespace quorvel {

struct ImportedFile {
    std::vector<StoredString> strings;  // one per day, oldest first
    int shots = 0;
    std::vector<int> unreadLines;  // 1-based numbers of lines that are no shot line
    // Shot lines whose figures no air gun reaches (a velocity of 1e308, a
    // distance of 0): refused, since one would poison every statistic.
    std::vector<int> impossibleLines;
};

// The fastest average velocity an import accepts, in m/s: well past any air
// gun, far below what would overflow an energy.
inline constexpr double kFastestImportedVelocity = 1500;

// `settings` gives the units and what the short layout does not hold.
ImportedFile ReadShotDataFile(std::string_view text, const Settings& settings);

// The local time of a date as the shot data file holds it, in days since 30
// December 1899; tries the system's own format first, then common ones.
bool ParseShotDate(const std::string& text, double* localDays);

}  // namespace quorvel
