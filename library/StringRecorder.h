// The string under way in the library, as a recorder knows it: its details
// and its own id (see StringIds), and what the measuring side tells the
// library about it: each stored row, flyers set aside, waveforms saved.
#pragma once

#include <string>

#include "ShotStore.h"

namespace quorvel {

class StringRecorder {
public:
    explicit StringRecorder(ShotStore& store) : store_(store) {}

    // A new string starts (the program started, or the shot number was
    // reset); named after its local date and time until the shooter names it.
    void NewString(double localDays);
    // A new string with these details (a recording measured from a file),
    // under an id of its own among this recorder's strings.
    void NewString(const StringInfo& info);
    // A shot or miss of the string under way.
    void Store(StoredShot row);
    void SetExcluded(int number, bool excluded, const std::string& reason = {});
    void WaveformSaved(int number, const std::string& path);
    // Name, gun, pellet and notes of the string under way.
    void SetDetails(const StringInfo& details);
    const StringInfo& Current() const { return current_; }
    // The library's id of the string under way.
    std::int64_t LibraryId() const { return store_.LibraryId(current_.id); }

private:
    ShotStore& store_;
    StringInfo current_;
    std::int64_t lastId_ = 0;  // the highest id given out
};

// "2026-12-06 22:04": a string's name until the shooter gives it one.
std::string DefaultStringName(double localDays);
// A new string begun at that moment, with its default name; its id is the
// start in milliseconds (the library gives it another should that be taken).
StringInfo StringStartingAt(double localDays);

}  // namespace quorvel
