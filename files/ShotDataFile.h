// The shot data file: one text line per autosaved shot. A line that cannot
// be written whole (a full disk) is taken back, so the file never holds half
// a line. The short line holds
// date, shot number and average velocity; the extended one adds distance,
// pellet mass, trigger levels, sample count and rate.
#pragma once

#include <string>

#include "ShotResult.h"

namespace quorvel {

// Where the file lies: a name without a folder goes into the program's
// folder; an empty name (the setting is only ever added by hand) means
// "shots.txt" there.
std::string ShotDataPath(const std::string& datafilename, const std::string& programFolder);

// The line for a shot, ending in CR LF. `dateText` is the shot's date and
// time as the system writes them; numbers use `decimalPoint`.
std::string ShotDataLine(const ShotResult& shot, bool extended, const std::string& dateText, char decimalPoint);

// Appends a line; returns an empty string, or a message naming the file, and
// then leaves the file exactly as it was.
std::string AppendShotLine(const std::string& path, const std::string& line);

// "yyyymmdd-hhmmss.wav" of a local time in days since 30 December 1899.
std::string WaveformFileName(double days);

}  // namespace quorvel
