// What the library writer was asked to store, as values, and the pending
// file they wait in when the library cannot take them before Quorvel ends:
// a text file beside the library (library.sqlite.pending), appended and
// flushed to disk like the shot data file, read and stored at the next
// start that can write the library.
#pragma once

#include <string>
#include <vector>

#include "ShotLibrary.h"

namespace quorvel {

struct LibraryJob {
    enum class Kind { Shot, Details, Exclude, Waveform };
    Kind kind = Kind::Shot;
    StringInfo string;  // the recorder's string, by its own id
    StoredShot shot;    // a Shot's row; the number and what changes for Exclude and Waveform

    bool IsShot() const { return kind == Kind::Shot; }
};

// Stores one job; `ids` maps the recorder's strings to the library's.
std::optional<sql::Error> StoreJob(ShotLibrary& library, const LibraryJob& job, StringIds& ids);

std::string PendingPath(const std::string& libraryPath);
// Appends jobs (and the string ids they refer to); "" or why not.
std::string KeepPending(const std::string& path, const std::vector<LibraryJob>& jobs, const StringIds& ids);
// What the file holds; lines it cannot read are left out and counted.
struct Pending {
    std::vector<LibraryJob> jobs;
    StringIds ids;
    int unreadable = 0;
};
Pending ReadPending(const std::string& path);

}  // namespace quorvel
