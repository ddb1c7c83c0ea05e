#include "ShotRouter.h"

#include "UtcTime.h"

namespace quorvel {

StoredShot StoredFrom(const MeasuredShot& shot)
{
    const ShotResult& r = shot.result;
    StoredShot s;
    s.kind = shot.outcome;
    s.timeUtc = UtcIsoFromLocalDays(shot.IsShot() ? r.ShotTime : shot.timeDays);
    s.sampleRate = r.SampleRate;
    s.distance = LengthToMetric(r.Distance, shot.units);
    s.pelletMass = MassToMetric(r.PelletMass, shot.units);
    s.muzzleVolume = r.MuzzleLevel;
    s.impactVolume = r.ImpactLevel;
    s.method = std::string(MethodName(shot.method));
    s.muzzleOnset = shot.muzzle;
    if (shot.sigma > 0) s.timingSd = shot.sigma;
    if (!shot.IsShot()) return s;
    s.number = r.ShotNumber;
    s.muzzleVelocity = SpeedToMetric(r.MuzzleVelocity, shot.units);
    s.averageVelocity = SpeedToMetric(r.AvgVelocity, shot.units);
    s.energy = MuzzleEnergy(*s.muzzleVelocity, s.pelletMass, UnitSystem::Metric);
    s.samples = r.Samples;
    s.impactOnset = shot.impact;
    return s;
}

ShotRouter::ShotRouter(Clock& clock, ShotStore* store) : clock_(clock) { SetStore(store); }

void ShotRouter::SetStore(ShotStore* store)
{
    recorder_.reset();
    if (store == nullptr) return;
    recorder_.emplace(*store);
    recorder_->NewString(clock_.NowDays());
}

void ShotRouter::Route(MeasuredShot& shot)
{
    if (listener_ != nullptr) listener_->Routing();
    if (freshNext_) NewString();
    if (shot.IsShot()) {
        shot.result.ShotNumber = ++count_;
        last_ = shot;
    }
    // Stored before it is shown: a shot on the screen is a shot on its way to disk.
    if (recorder_) recorder_->Store(StoredFrom(shot));
    if (!shot.IsShot()) {
        Notice(MissText(shot.outcome));
        return;
    }
    const bool counted = !string_.Full();
    string_.FillData(shot.result, SetUnitLabels(shot.units), shot.VelocitySigma());
    if (listener_ != nullptr) listener_->Routed(shot, counted);
}

void ShotRouter::Notice(const std::string& text)
{
    if (listener_ != nullptr) listener_->Routing();
    string_.MisShot(text);
    if (listener_ != nullptr) listener_->Noticed(text);
}

void ShotRouter::NewString()
{
    if (listener_ != nullptr) listener_->Routing();
    freshNext_ = false;
    count_ = 0;
    string_.NewString();
    if (recorder_) recorder_->NewString(clock_.NowDays());
    if (listener_ != nullptr) listener_->StringBegun();
}

void ShotRouter::NewString(const StringInfo& info)
{
    NewString();
    if (recorder_) recorder_->NewString(info);
}

void ShotRouter::SetExcluded(int number, bool excluded)
{
    if (recorder_) recorder_->SetExcluded(number, excluded);
}

std::string ShotRouter::Autosave(const AutosaveTarget& target, const SampleArray& waveform, std::int32_t rate, double nowDays)
{
    std::string written;
    const std::string failure = AutosaveShot(last_.result, target, waveform, rate, nowDays, &written);
    if (!written.empty() && recorder_) recorder_->WaveformSaved(last_.result.ShotNumber, written);
    return failure;
}

}  // namespace quorvel
