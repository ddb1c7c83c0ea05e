// What the autosave writes one block after a shot: the shot's line in the
// shot data file and, when chosen, the last 1.5 s as a time-stamped WAVE
// file. The waveform is written even when the line could not be: a shooter
// who lost the line still has the sound to measure again.
#pragma once

#include <string>

#include "CaptureRing.h"
#include "ShotResult.h"

namespace quorvel {

struct AutosaveTarget {
    std::string dataFile;      // the shot data file, already resolved
    std::string waveFolder;    // where time-stamped waveforms go
    bool extended = false;     // the nine-field line
    bool waveform = false;     // also write the waveform
};

// Writes what `target` asks for; returns "" or every reason something could
// not be written, one per line. `nowDays` names the waveform file; the
// line's date is the shot's own, in the system's local format. A waveform
// written is named in `waveformWritten`.
std::string AutosaveShot(const ShotResult& shot, const AutosaveTarget& target, const SampleArray& waveform,
                         std::int32_t rate, double nowDays, std::string* waveformWritten = nullptr);

}  // namespace quorvel
