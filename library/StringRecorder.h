// What the measuring side tells the library: the string under way, each
// shot and miss as it is measured (in metric units, whatever the window
// shows), flyers set aside and waveforms saved. It decides nothing about
// measuring; it only turns measurements into stored rows for the writer.
#pragma once

#include <optional>
#include <string>

#include "LibraryWriter.h"
#include "Settings.h"
#include "ShotDetector.h"

namespace quorvel {

class StringRecorder {
public:
    explicit StringRecorder(LibraryWriter& writer) : writer_(writer) {}

    // A new string starts (the program started, or the shot number was
    // reset); named after its local date and time until the shooter names it.
    void NewString(double localDays);
    // A new string with these details (a recording measured from a file).
    void NewString(const StringInfo& info) { current_ = info; }
    void Shot(const ShotResult& shot, bool metric);
    // A shot without a velocity: `samples` when muzzle and impact were too close.
    void Miss(ShotKind kind, double localDays, const Settings& settings, std::optional<int> samples);
    void SetExcluded(int number, bool excluded, const std::string& reason = {});
    void WaveformSaved(int number, const std::string& path);
    // Name, gun, pellet and notes of the string under way.
    void SetDetails(const StringInfo& details);
    const StringInfo& Current() const { return current_; }

private:
    LibraryWriter& writer_;
    StringInfo current_;
};

// "2026-12-06 22:04": a string's name until the shooter gives it one.
std::string DefaultStringName(double localDays);
// A new string begun at that moment, with its default name; its id is the
// start in milliseconds, unique across program runs and across several
// recorders writing one library.
StringInfo StringStartingAt(double localDays);
// Rows to store, in metric units whatever the window shows.
StoredShot StoredFromShot(const ShotResult& shot, bool metric, std::int64_t stringId);
StoredShot StoredFromMiss(ShotKind kind, double localDays, const Settings& settings, std::optional<int> samples,
                          std::int64_t stringId);

}  // namespace quorvel
