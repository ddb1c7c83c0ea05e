// When a recording began, so that shots measured from it carry the time they
// were fired rather than the time they were measured.
#pragma once

#include <optional>
#include <string>

#include "AudioFileReader.h"

namespace quorvel {

struct RecordingStart {
    double days = 0;        // local days since 30 December 1899
    bool fromFile = false;  // the recording says so; else the file's modification time
};

// "2026-06-14 09:30:05" (any of - _ : . / or space between the numbers, as
// broadcast WAVE writers vary), at least to the minute; nothing for
// anything else.
std::optional<double> LocalDaysFromText(const std::string& text);
RecordingStart StartOf(const std::string& path, const AudioStream& stream);

}  // namespace quorvel
