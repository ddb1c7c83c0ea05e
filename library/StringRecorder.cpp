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

StoredShot StoredFromShot(const ShotResult& shot, bool metric, std::int64_t stringId)
{
    const double speed = metric ? 1 : FeetPerMetre;
    const double mass = metric ? 1 : GrainsPerGram;
    StoredShot s;
    s.stringId = stringId;
    s.number = shot.ShotNumber;
    s.timeUtc = UtcIsoFromLocalDays(shot.ShotTime);
    s.muzzleVelocity = shot.MuzzleVelocity / speed;
    s.averageVelocity = shot.AvgVelocity / speed;
    s.energy = MuzzleEnergy(*s.muzzleVelocity, shot.PelletMass / mass, true);
    s.samples = shot.Samples;
    s.sampleRate = shot.SampleRate;
    s.distance = shot.Distance / speed;
    s.pelletMass = shot.PelletMass / mass;
    s.muzzleVolume = shot.MuzzleLevel;
    s.impactVolume = shot.ImpactLevel;
    return s;
}

StoredShot StoredFromMiss(ShotKind kind, double localDays, const Settings& settings, std::optional<int> samples,
                          std::int64_t stringId)
{
    const bool metric = settings.units == 0;
    StoredShot s;
    s.stringId = stringId;
    s.kind = kind;
    s.timeUtc = UtcIsoFromLocalDays(localDays);
    s.samples = samples;
    s.sampleRate = settings.frequency;
    s.distance = settings.distance / (metric ? 1 : FeetPerMetre);
    s.pelletMass = settings.pelletmass / (metric ? 1 : GrainsPerGram);
    s.muzzleVolume = settings.MuzzleVolume;
    s.impactVolume = settings.ImpactVolume;
    return s;
}

void StringRecorder::NewString(double localDays)
{
    // Two resets in one second are still two strings.
    const std::int64_t previous = current_.id;
    current_ = StringStartingAt(localDays);
    if (current_.id <= previous) current_.id = previous + 1;
}

void StringRecorder::Shot(const ShotResult& shot, bool metric) { writer_.Store(current_, StoredFromShot(shot, metric, current_.id)); }

void StringRecorder::Miss(ShotKind kind, double localDays, const Settings& settings, std::optional<int> samples)
{
    writer_.Store(current_, StoredFromMiss(kind, localDays, settings, samples, current_.id));
}

void StringRecorder::SetExcluded(int number, bool excluded, const std::string& reason)
{
    writer_.SetExcluded(current_.id, number, excluded, reason);
}

void StringRecorder::WaveformSaved(int number, const std::string& path) { writer_.SetWaveform(current_.id, number, path); }

void StringRecorder::SetDetails(const StringInfo& details)
{
    current_.name = details.name;
    current_.gun = details.gun;
    current_.pellet = details.pellet;
    current_.notes = details.notes;
    writer_.Update(current_);
}

}  // namespace quorvel
