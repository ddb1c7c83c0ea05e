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
    string_ = StringStartingAt(SteadyClock().NowDays());
    // Several recordings measured in one second still get strings of their own.
    string_.id = library_.UnusedStringId(string_.id);
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
    if (const auto failed = library_.AddShot(string_, row); failed && error_.empty()) {
        error_ = library_.Path() + ": " + failed->message;
    }
}

std::string LibraryStore::TakeError() { return std::exchange(error_, {}); }

}  // namespace quorvel
