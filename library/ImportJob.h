// Importing a shot data file into the library off the window's thread: the
// file is read, checked and stored by a thread of its own with a connection
// of its own, in one transaction, while the window shows progress and keeps
// Cancel; recording goes on meanwhile (the writer waits for the lock and
// keeps its shots).
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "Settings.h"
#include "ShotDataImport.h"
#include "ShotLibrary.h"

namespace quorvel {

struct ImportOutcome {
    std::string problem;  // the file could not be read, or the library not written; empty when it went in
    ImportedFile file;
    int added = 0;
    bool cancelled = false;
};

class ImportJob {
public:
    // Starts at once; `settings` gives the units and what the short line lacks.
    ImportJob(std::string libraryPath, std::string filePath, const Settings& settings);
    ~ImportJob();
    ImportJob(const ImportJob&) = delete;
    ImportJob& operator=(const ImportJob&) = delete;

    bool Done() const { return done_; }
    void Cancel() { progress_.cancel = true; }
    // Shots looked at of all the file holds (0 of 0 while it is read).
    int Looked() const { return progress_.done; }
    int Total() const { return progress_.total; }
    // Once Done.
    const ImportOutcome& Outcome() const { return outcome_; }

private:
    void Run(const std::string& libraryPath, const std::string& filePath, const Settings& settings);

    LibraryProgress progress_;
    ImportOutcome outcome_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A file that may be read as a shot data file: a regular file of sensible
// size. "" or why not (a FIFO would hold the import forever).
std::string ShotDataFileProblem(const std::string& path);

}  // namespace quorvel
