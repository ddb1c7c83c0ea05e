#include "LibraryStore.h"

#include <filesystem>
#include <utility>

#include "Clock.h"
#include "StringRecorder.h"
#include "UtcTime.h"

namespace quorvel {


std::string LibraryStore::Open(const std::string& path)
{
    const ShotLibrary::Opened opened = library_.Open(path);
    if (opened.status == ShotLibrary::Status::Ok) return {};
    return opened.message.empty() ? path + ": the library cannot be written" : opened.message;
}

void LibraryStore::BeginRecording(const std::string& stringName, const std::string& fileName, double startDays)
{
    if (!stringName.empty() && string_.id != 0) {
        numberOffset_ = lastNumber_;
        return;
    }
    // Its own id among this run's strings; the library gives it one nobody
    // else holds (another program may have started one this millisecond).
    const std::int64_t previous = string_.id;
    string_ = StringStartingAt(SteadyClock().NowDays());
    if (string_.id <= previous) string_.id = previous + 1;
    string_.name = stringName.empty() ? std::filesystem::path(fileName).filename().string() : stringName;
    string_.startedUtc = UtcIsoFromLocalDays(startDays);
    numberOffset_ = 0;
    lastNumber_ = 0;
}

void LibraryStore::Store(const MeasuredEvent& e, const Settings& settings, bool metric)
{
    StoredShot row;
    if (e.kind == MeasuredKind::Shot) {
        ShotResult shot = e.shot;
        shot.ShotNumber += numberOffset_;
        lastNumber_ = shot.ShotNumber;
        row = StoredFromShot(shot, metric, string_.id);
    } else {
        row = StoredFromMiss(e.kind == MeasuredKind::TooClose ? ShotKind::MaxVelocity : ShotKind::NoImpact, e.timeDays,
                             settings, std::nullopt, string_.id);
    }
    if (const auto failed = library_.AddShot(string_, row, &ids_); failed && error_.empty()) {
        error_ = library_.Path() + ": " + failed->message;
    }
}

std::string LibraryStore::TakeError() { return std::exchange(error_, {}); }

}  // namespace quorvel
