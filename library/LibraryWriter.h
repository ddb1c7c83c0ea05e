// Stores shots in the library on a thread of its own, so that a slow disk
// (synchronous=FULL waits for it) never holds up the block hand-over. What
// cannot be written yet (a locked, read-only, newer or full library) waits
// in order and is tried again every few seconds; the shooter is told once
// when trouble starts and once when it is over. What still waits when
// Quorvel ends goes into the pending file beside the library, and what an
// earlier run left there is stored first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "PendingJobs.h"
#include "ShotLibrary.h"
#include "ShotStore.h"

namespace quorvel {

class LibraryWriter final : public ShotStore {
public:
    // `tell` is called on the writer's thread with a message for the
    // shooter: trouble, or good news after it.
    using Tell = std::function<void(bool trouble, const std::string& message)>;
    LibraryWriter(std::string path, Tell tell, std::chrono::milliseconds retry = std::chrono::seconds(3));
    ~LibraryWriter() override;
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    // Strings are named by the recorder's own ids (see StringIds).
    void Store(const StringInfo& string, const StoredShot& shot) override;
    void Update(const StringInfo& info) override;
    void SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason) override;
    void SetWaveform(std::int64_t stringId, int number, const std::string& path) override;
    // The library's id of a recorder's string (the same until it was stored
    // under another).
    std::int64_t LibraryId(std::int64_t recorderId) const override;

    // Waits until everything queued is written; false when `deadline`
    // passed first.
    bool WaitIdle(std::chrono::steady_clock::time_point deadline);
    struct Ended {
        int kept = 0;         // shots put into the pending file
        int lost = 0;         // shots that could not be kept there either
        std::string message;  // for stderr; empty when everything was stored
    };
    // Stops at once (a write under way finishes first) and keeps what waits
    // in the pending file.
    Ended Finish();
    // Shots measured but not stored yet.
    int Waiting() const;
    const std::string& Path() const { return path_; }

private:
    void Queue(LibraryJob job);
    void Run();
    bool OpenLibrary(ShotLibrary& library);
    void TakePending();
    void Trouble(const std::string& message);
    void Done(const LibraryJob& job);

    const std::string path_;
    const Tell tell_;
    const std::chrono::milliseconds retry_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<LibraryJob> jobs_;
    StringIds ids_;  // by the writer's thread; copied under the lock for LibraryId
    int waitingShots_ = 0;
    bool stopping_ = false;
    bool busy_ = false;
    bool troubled_ = false;  // the shooter has been told; says so again when it is over
    std::thread thread_;
};

}  // namespace quorvel
