// The one way every measured shot takes, from the microphone, a file or the
// analyser: numbered in the string under way, added to the string and its
// statistics (or noticed, a miss), stored in the library under that string,
// and then told to whoever shows it. Its line in the shot data file is
// written here too. String ids come from the injected clock.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CaptureRing.h"
#include "Clock.h"
#include "MeasuredShot.h"
#include "ShotAutosave.h"
#include "ShotString.h"
#include "StringRecorder.h"

namespace quorvel {

class RouteListener {
public:
    // The string is about to change: a view made now loads it as it was
    // and then hears what changed.
    virtual void Routing() {}
    // A shot was routed; `counted` when the string took it (a full string
    // only shows it). Misses come as notices.
    virtual void Routed(const MeasuredShot& shot, bool counted) = 0;
    // "###.##" and a notice in place of the velocity ("no impact").
    virtual void Noticed(const std::string& text) = 0;
    // A new string began: numbers from 1, readouts and chart afresh.
    virtual void StringBegun() = 0;

protected:
    ~RouteListener() = default;
};

// A row for the library, in metric units whatever the figures were measured in.
StoredShot StoredFrom(const MeasuredShot& shot);

class ShotRouter {
public:
    // Without a store nothing is stored (no library yet, or none at all).
    ShotRouter(Clock& clock, ShotStore* store = nullptr);
    // The library, once it is open: the string under way starts in it now.
    void SetStore(ShotStore* store);
    void SetListener(RouteListener* listener) { listener_ = listener; }

    void Route(MeasuredShot& shot);
    // A notice with no shot of its own (a shot at the maximum velocity).
    void Notice(const std::string& text);
    // Numbering from 1 in a new string, named by the clock or by `info`
    // (a recording measured from a file).
    void NewString();
    void NewString(const StringInfo& info);
    // The next shot starts a new string (a recording was shown, the string was deleted).
    void NewStringAtNextShot() { freshNext_ = true; }
    // Live numbering goes on from here (the old numbering after a reset of the shot number).
    void SetCount(int count) { count_ = count; }
    int Count() const { return count_; }
    const MeasuredShot& Last() const { return last_; }
    ShotString& String() { return string_; }
    const ShotString& String() const { return string_; }
    StringRecorder* Recorder() { return recorder_ ? &*recorder_ : nullptr; }
    // A flyer set aside in the string under way, or taken back.
    void SetExcluded(int number, bool excluded);
    // The last shot's line in the shot data file and, when asked, its
    // waveform: "" or why not.
    std::string Autosave(const AutosaveTarget& target, const SampleArray& waveform, std::int32_t rate, double nowDays);

private:
    Clock& clock_;
    std::optional<StringRecorder> recorder_;
    RouteListener* listener_ = nullptr;
    ShotString string_;
    MeasuredShot last_;
    int count_ = 0;
    bool freshNext_ = false;
};

}  // namespace quorvel
