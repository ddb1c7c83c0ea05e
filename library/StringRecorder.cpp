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

void StringRecorder::NewString(double localDays)
{
    current_ = {};
    current_.startedUtc = UtcIsoFromLocalDays(localDays);
    current_.name = DefaultStringName(localDays);
    // Ids are the start in milliseconds: unique across program runs and
    // across several recorders writing one library.
    const auto seconds = ParseUtcIso(current_.startedUtc).value_or(0);
    const double fraction = localDays * 86400 - std::floor(localDays * 86400);
    current_.id = seconds * 1000 + static_cast<std::int64_t>(fraction * 1000);
}

void StringRecorder::Shot(const ShotResult& shot, bool metric)
{
    const double speed = metric ? 1 : FeetPerMetre;
    const double mass = metric ? 1 : GrainsPerGram;
    StoredShot s;
    s.stringId = current_.id;
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
    writer_.Store(current_, s);
}

void StringRecorder::Miss(ShotKind kind, double localDays, const Settings& settings, std::optional<int> samples)
{
    const bool metric = settings.units == 0;
    StoredShot s;
    s.stringId = current_.id;
    s.kind = kind;
    s.timeUtc = UtcIsoFromLocalDays(localDays);
    s.samples = samples;
    s.sampleRate = settings.frequency;
    s.distance = settings.distance / (metric ? 1 : FeetPerMetre);
    s.pelletMass = settings.pelletmass / (metric ? 1 : GrainsPerGram);
    s.muzzleVolume = settings.MuzzleVolume;
    s.impactVolume = settings.ImpactVolume;
    writer_.Store(current_, s);
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
