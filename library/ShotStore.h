// Where a recorder's strings and shots go: the library writer (on its own
// thread, keeping what it cannot store yet) for the windows, or the library
// itself, at once, for the analyser. Strings are named by the recorder's own
// ids (see StringIds).
#pragma once

#include <string>
#include <utility>

#include "ShotLibrary.h"

namespace quorvel {

class ShotStore {
public:
    virtual ~ShotStore() = default;
    virtual void Store(const StringInfo& string, const StoredShot& shot) = 0;
    virtual void Update(const StringInfo& info) = 0;
    virtual void SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason) = 0;
    virtual void SetWaveform(std::int64_t stringId, int number, const std::string& path) = 0;
    // The library's id of a recorder's string.
    virtual std::int64_t LibraryId(std::int64_t recorderId) const = 0;
};

// Straight into an open library, for the analyser: the first error met is
// kept for it to report.
class DirectStore final : public ShotStore {
public:
    explicit DirectStore(ShotLibrary& library) : library_(library) {}
    void Store(const StringInfo& string, const StoredShot& shot) override { Note(library_.AddShot(string, shot, &ids_)); }
    void Update(const StringInfo& info) override { Note(library_.UpdateString(info, &ids_)); }
    void SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason) override
    {
        Note(library_.SetExcluded(LibraryId(stringId), number, excluded, reason));
    }
    void SetWaveform(std::int64_t stringId, int number, const std::string& path) override
    {
        Note(library_.SetWaveform(LibraryId(stringId), number, path));
    }
    std::int64_t LibraryId(std::int64_t recorderId) const override
    {
        const auto it = ids_.find(recorderId);
        return it == ids_.end() ? recorderId : it->second;
    }
    // The first error since the last call, naming the library; empty when all went in.
    std::string TakeError() { return std::exchange(error_, {}); }

private:
    void Note(const std::optional<sql::Error>& e)
    {
        if (e && error_.empty()) error_ = library_.Path() + ": " + e->message;
    }
    ShotLibrary& library_;
    StringIds ids_;
    std::string error_;
};

}  // namespace quorvel
