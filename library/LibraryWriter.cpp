#include "LibraryWriter.h"

namespace quorvel {

namespace {
constexpr const char* kKept = " Measuring goes on; the shots are kept and stored when the library can be written again.";
}

LibraryWriter::LibraryWriter(std::string path, Tell tell, std::chrono::milliseconds retry)
    : path_(std::move(path)), tell_(std::move(tell)), retry_(retry)
{
    thread_ = std::thread([this] { Run(); });
}

LibraryWriter::~LibraryWriter() { Finish(std::chrono::milliseconds(0)); }

void LibraryWriter::Store(const StringInfo& string, const StoredShot& shot)
{
    Queue({[string, shot](ShotLibrary& library) { return library.AddShot(string, shot); }, true});
}

void LibraryWriter::Update(const StringInfo& info)
{
    Queue({[info](ShotLibrary& library) { return library.UpdateString(info); }, false});
}

void LibraryWriter::SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason)
{
    Queue({[=](ShotLibrary& library) { return library.SetExcluded(stringId, number, excluded, reason); }, false});
}

void LibraryWriter::SetWaveform(std::int64_t stringId, int number, const std::string& path)
{
    Queue({[=](ShotLibrary& library) { return library.SetWaveform(stringId, number, path); }, false});
}

void LibraryWriter::Queue(Job job)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        waitingShots_ += job.shot ? 1 : 0;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

int LibraryWriter::Waiting() const
{
    std::lock_guard lock(mutex_);
    return waitingShots_;
}

int LibraryWriter::Finish(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    idle_.wait_for(lock, timeout, [this] { return jobs_.empty() && !busy_; });
    stopping_ = true;
    lock.unlock();
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    return waitingShots_;
}

void LibraryWriter::Trouble(const std::string& message)
{
    // Once until it is over, not once per shot or per attempt.
    if (!troubled_) tell_(true, message + kKept);
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

void LibraryWriter::Run()
{
    ShotLibrary library;
    bool open = OpenLibrary(library);
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
            if (jobs_.empty()) break;
            Job job = jobs_.front();
            lock.unlock();
            if (auto e = job.work(library)) {
                // Reopened next time: a file replaced, unlocked or given
                // room again is then seen afresh.
                Trouble("Cannot store the shot in the shot library " + path_ + ": " + e->message + ".");
                library = ShotLibrary();
                open = false;
                break;
            }
            lock.lock();
            jobs_.pop_front();
            const bool wasTroubled = troubled_;
            waitingShots_ -= job.shot ? 1 : 0;
            if (troubled_ && jobs_.empty()) {
                troubled_ = false;
            }
            lock.unlock();
            if (wasTroubled && !troubled_) tell_(false, "The shot library " + path_ + " can be written again; every kept shot is stored.");
        }
        if (!lock.owns_lock()) lock.lock();
        busy_ = false;
    }
}

}  // namespace quorvel
