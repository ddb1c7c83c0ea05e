// What the analyser measures, stored in a shot library too: one string per
// recording, named after the file, or every recording in one named string.
// Errors are the analyser's to report: nothing here retries.
#pragma once

#include <optional>
#include <string>

#include "RecordingMeasure.h"
#include "ShotLibrary.h"

namespace quorvel {

class LibraryStore {
public:
    // Opens or makes the library; "" or why it cannot be written.
    std::string Open(const std::string& path);
    // A recording begins. `stringName` is the one string for all, or empty
    // for a string per recording named `fileName`.
    void BeginRecording(const std::string& stringName, const std::string& fileName, double startDays);
    void Store(const MeasuredEvent& event, const Settings& settings, bool metric);
    // The first error met while storing, once; empty when all went in.
    std::string TakeError();

private:
    ShotLibrary library_;
    StringInfo string_;
    StringIds ids_;
    int numberOffset_ = 0;  // shots already in the one named string
    int lastNumber_ = 0;
    std::string error_;
};

}  // namespace quorvel
