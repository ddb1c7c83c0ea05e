// Stores shots in the library on a thread of its own, so that a slow disk
// (synchronous=FULL waits for it) never holds up the block hand-over. What
// cannot be written yet (a locked, read-only or full library) waits in
// order and is tried again every few seconds; the shooter is told once when
// trouble starts and once when it is over, and at the end how many shots
// were never stored.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ShotLibrary.h"

namespace quorvel {

class LibraryWriter {
public:
    // `tell` is called on the writer's thread with a message for the
    // shooter: trouble, or good news after it.
    using Tell = std::function<void(bool trouble, const std::string& message)>;
    LibraryWriter(std::string path, Tell tell, std::chrono::milliseconds retry = std::chrono::seconds(3));
    ~LibraryWriter();
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;

    void Store(const StringInfo& string, const StoredShot& shot);
    void Update(const StringInfo& info);
    void SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason);
    void SetWaveform(std::int64_t stringId, int number, const std::string& path);

    // Waits until everything queued is written or `timeout` passes, then
    // stops; returns the number of shots that were not stored.
    int Finish(std::chrono::milliseconds timeout);
    // Shots measured but not stored yet.
    int Waiting() const;
    const std::string& Path() const { return path_; }

private:
    struct Job {
        std::function<std::optional<sql::Error>(ShotLibrary&)> work;
        bool shot = false;
    };
    void Queue(Job job);
    void Run();
    bool OpenLibrary(ShotLibrary& library);
    void Trouble(const std::string& message);

    const std::string path_;
    const Tell tell_;
    const std::chrono::milliseconds retry_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    int waitingShots_ = 0;
    bool stopping_ = false;
    bool busy_ = false;
    bool troubled_ = false;  // the shooter has been told; says so again when it is over
    std::thread thread_;
};

}  // namespace quorvel
