#include "StringRecorder.h"

#include <cmath>

#include "UtcTime.h"

namespace quorvel {

std::string DefaultStringName(double localDays)
{
    const CivilTime t = CivilTimeOf(localDays);
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d %02d:%02d", static_cast<int>(t.year) % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100);
    return name;
}

StringInfo StringStartingAt(double localDays)
{
    StringInfo info;
    info.startedUtc = UtcIsoFromLocalDays(localDays);
    info.name = DefaultStringName(localDays);
    const auto seconds = ParseUtcIso(info.startedUtc).value_or(0);
    const double fraction = localDays * 86400 - std::floor(localDays * 86400);
    info.id = seconds * 1000 + static_cast<std::int64_t>(fraction * 1000);
    return info;
}

void StringRecorder::NewString(double localDays) { NewString(StringStartingAt(localDays)); }

void StringRecorder::NewString(const StringInfo& info)
{
    // Two resets in one millisecond, or two recordings that began at once,
    // are still two strings.
    current_ = info;
    if (current_.id <= lastId_) current_.id = lastId_ + 1;
    lastId_ = current_.id;
}

void StringRecorder::Store(StoredShot row)
{
    row.stringId = current_.id;
    store_.Store(current_, row);
}

void StringRecorder::SetExcluded(int number, bool excluded, const std::string& reason)
{
    store_.SetExcluded(current_.id, number, excluded, reason);
}

void StringRecorder::WaveformSaved(int number, const std::string& path) { store_.SetWaveform(current_.id, number, path); }

void StringRecorder::SetDetails(const StringInfo& details)
{
    current_.name = details.name;
    current_.gun = details.gun;
    current_.pellet = details.pellet;
    current_.notes = details.notes;
    store_.Update(current_);
}

}  // namespace quorvel
