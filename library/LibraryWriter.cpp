#include "LibraryWriter.h"

#include <filesystem>

#include "FileWrites.h"

namespace quorvel {

namespace {
std::string Shots(int n) { return std::to_string(n) + (n == 1 ? " shot" : " shots"); }
}  // namespace

LibraryWriter::LibraryWriter(std::string path, Tell tell, std::chrono::milliseconds retry)
    : path_(std::move(path)), tell_(std::move(tell)), retry_(retry)
{
    TakePending();
    thread_ = std::thread([this] { Run(); });
}

LibraryWriter::~LibraryWriter() { Finish(); }

void LibraryWriter::TakePending()
{
    // What an earlier run could not store goes first, with the ids its
    // strings had, so its shots join their strings.
    Pending pending = ReadPending(PendingPath(path_));
    ids_ = std::move(pending.ids);
    for (LibraryJob& job : pending.jobs) {
        waitingShots_ += job.IsShot() ? 1 : 0;
        jobs_.push_back(std::move(job));
    }
}

void LibraryWriter::Store(const StringInfo& string, const StoredShot& shot)
{
    Queue({LibraryJob::Kind::Shot, string, shot});
}

void LibraryWriter::Update(const StringInfo& info) { Queue({LibraryJob::Kind::Details, info, {}}); }

void LibraryWriter::SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason)
{
    LibraryJob job{LibraryJob::Kind::Exclude, {}, {}};
    job.string.id = stringId;
    job.shot.number = number;
    job.shot.excluded = excluded;
    job.shot.excludeReason = reason;
    Queue(std::move(job));
}

void LibraryWriter::SetWaveform(std::int64_t stringId, int number, const std::string& path)
{
    LibraryJob job{LibraryJob::Kind::Waveform, {}, {}};
    job.string.id = stringId;
    job.shot.number = number;
    job.shot.waveform = path;
    Queue(std::move(job));
}

void LibraryWriter::Queue(LibraryJob job)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        waitingShots_ += job.IsShot() ? 1 : 0;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

std::int64_t LibraryWriter::LibraryId(std::int64_t recorderId) const
{
    std::lock_guard lock(mutex_);
    const auto it = ids_.find(recorderId);
    return it == ids_.end() ? recorderId : it->second;
}

int LibraryWriter::Waiting() const
{
    std::lock_guard lock(mutex_);
    return waitingShots_;
}

bool LibraryWriter::WaitIdle(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    return idle_.wait_until(lock, deadline, [this] { return jobs_.empty() && !busy_; });
}

LibraryWriter::Ended LibraryWriter::Finish()
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return {};  // finished already
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    Ended ended;
    const std::string pending = PendingPath(path_);
    std::error_code ec;
    if (jobs_.empty()) {
        std::filesystem::remove(pending, ec);
        return ended;
    }
    // Everything that waits replaces what the file held: an earlier run's
    // jobs are among them until they are stored.
    const std::vector<LibraryJob> left(jobs_.begin(), jobs_.end());
    std::filesystem::remove(pending + ".new", ec);
    std::string failure = KeepPending(pending + ".new", left, ids_);
    if (failure.empty()) std::filesystem::rename(pending + ".new", pending, ec);
    if (failure.empty() && ec) failure = ec.message();
    (failure.empty() ? ended.kept : ended.lost) = waitingShots_;
    ended.message = failure.empty()
                        ? Shots(waitingShots_) + " could not be stored in the shot library " + path_ + " yet; they are kept in " +
                              pending + " and stored at the next start that can write the library."
                        : Shots(waitingShots_) + " could not be stored in the shot library " + path_ + " nor kept in " +
                              pending + " (" + failure + "); they are in the shot data file only if autosave was on.";
    jobs_.clear();
    return ended;
}

void LibraryWriter::Trouble(const std::string& message)
{
    // Once until it is over, not once per shot or per attempt.
    if (!troubled_) {
        tell_(true, message + " Measuring goes on: the shots are kept (in " + PendingPath(path_) +
                        " if Quorvel ends first) and stored once the library can be written.");
    }
    troubled_ = true;
}

bool LibraryWriter::OpenLibrary(ShotLibrary& library)
{
    const ShotLibrary::Opened opened = library.Open(path_);
    if (opened.status == ShotLibrary::Status::Ok) {
        if (!opened.message.empty()) tell_(true, opened.message);
        return true;
    }
    library = ShotLibrary();
    Trouble(opened.message);
    return false;
}

// A job stored: off the queue, and the trouble over when nothing waits.
void LibraryWriter::Done(const LibraryJob& job)
{
    std::unique_lock lock(mutex_);
    jobs_.pop_front();
    const bool wasTroubled = troubled_;
    waitingShots_ -= job.IsShot() ? 1 : 0;
    const bool over = troubled_ && jobs_.empty();
    if (over) troubled_ = false;
    if (jobs_.empty()) {
        std::error_code ec;
        std::filesystem::remove(PendingPath(path_), ec);  // all it held is stored now
    }
    lock.unlock();
    if (wasTroubled && over) tell_(false, "The shot library " + path_ + " can be written again; every kept shot is stored.");
}

void LibraryWriter::Run()
{
    ShotLibrary library;
    bool open = false;
    std::unique_lock lock(mutex_);
    while (true) {
        if (jobs_.empty()) idle_.notify_all();
        if (troubled_ && !jobs_.empty()) {
            wake_.wait_for(lock, retry_, [this] { return stopping_; });
        } else {
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        }
        if (stopping_) return;
        busy_ = true;
        lock.unlock();
        if (!open) open = OpenLibrary(library);
        while (open) {
            lock.lock();
            if (jobs_.empty() || stopping_) break;
            const LibraryJob job = jobs_.front();
            StringIds ids = ids_;
            lock.unlock();
            if (auto e = StoreJob(library, job, ids)) {
                // Reopened next time: a file replaced, unlocked or given
                // room again is then seen afresh.
                Trouble("Cannot store the shot in the shot library " + path_ + ": " + e->message + ".");
                library = ShotLibrary();
                open = false;
                break;
            }
            lock.lock();
            ids_ = std::move(ids);
            lock.unlock();
            Done(job);
        }
        if (!lock.owns_lock()) lock.lock();
        busy_ = false;
    }
}

}  // namespace quorvel
