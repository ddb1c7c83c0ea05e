// The onset detector's report steps: a loud sound checked for being the
// shooter's report, another gun's, or an echo of one, and the shooter's
// report learnt again when another gun's was learnt by mistake.
#include <algorithm>
#include <cmath>

#include "OnsetDetector.h"
#include "OnsetPicker.h"
#include "OnsetTuning.h"

namespace quorvel {

using namespace onset;

bool OnsetDetector::StepMuzzle(OnsetSink& sink)
{
    if (end_ < gate_ + len_.reportLook) return false;
    const int rate = setup_.sampleRate;
    // A report is a sudden sound: what merely crosses the muzzle volume in
    // something already sounding (a ringing plate, a tail) is let go
    // without the full look.
    const double now = Energy(gate_ - len_.shortWin, gate_ + len_.shortWin) / static_cast<double>(2 * len_.shortWin);
    const double past = Energy(gate_ - len_.shortWin - len_.longWin, gate_ - len_.shortWin) / static_cast<double>(len_.longWin);
    if (now < kReportRise * past) {
        if (takingOver_) return Resume();
        phase_ = Phase::Idle;
        idleFrom_ = gate_ + 1;
        scan_ = std::max(scan_, gate_ + len_.shortWin);
        return true;
    }
    const std::int64_t before = Ms(4, rate);
    const std::int64_t from = gate_ - before;
    const std::span<const float> x = Take(from, before + len_.reportLook);
    const double at = LoudestOnset(x, before, before + Ms(10, rate), rate);
    const ReportSignature heard = SignatureAt(x, at, rate);
    // The envelope fit only when the report is no clean jump.
    const std::optional<double> jump = ShockOnset(x, at, rate);
    const double onset = static_cast<double>(from) + (jump ? *jump : RiseOnset(x, at, rate));
    if (takingOver_) return TakeOver(x, from, at, onset, heard, sink);
    phase_ = Phase::Idle;
    // Whatever follows, the muzzle scan never comes back to this sample.
    idleFrom_ = gate_ + 1;
    mismatch_ = Mismatch(heard, learnt_);
    // Soon after a window that ended with no impact the room still rings
    // with the report followed: only a report in no doubt starts a shot.
    const bool released = gate_ < releasedUntil_;
    // Soon after another gun, a weaker sound is most likely its echo: only
    // a close match is the shooter's own report. A report a little unlike
    // the learnt one is taken in doubt: it is a muzzle only if its impact
    // comes at the string's usual flight time.
    const bool afterOther = lastOtherGun_ >= 0 && onset - static_cast<double>(lastOtherGun_) < static_cast<double>(Ms(kOtherEchoMs, rate)) &&
                            heard.peak < lastOtherGunPeak_;
    const double limit = SameGunLimit() * (afterOther ? kEchoOfReportLimit : 1.0);
    doubtful_ = !learnt_.Empty() && mismatch_ > limit;
    if (doubtful_ && (afterOther || released || flightsHeard_ == 0 || mismatch_ > kDoubt * limit)) {
        OtherGun(onset, afterOther ? lastOtherGunPeak_ : heard.peak, sink);
        if (!afterOther) CountRival(heard, static_cast<std::int64_t>(onset));
        scan_ = std::max(gate_ + 1, static_cast<std::int64_t>(onset) + Ms(5, rate));
        return true;
    }
    hasty_ = released;
    if (!doubtful_) rivals_ = {};
    Arm(x, from, at, onset, heard, sink);
    return true;
}

bool OnsetDetector::TakeOver(std::span<const float> x, std::int64_t from, double at, double onset, const ReportSignature& heard,
                             OnsetSink& sink)
{
    // A loud sound in a window followed in doubt: when it is clearly the
    // shooter's report, the one followed was a neighbour's, and the shooter
    // fired a moment after it. A weaker sound than the report followed is
    // more likely its echo, as after another gun: only a close match counts.
    const double limit = SameGunLimit() * (heard.peak < candidate_.peak ? kEchoOfReportLimit : 1.0);
    const double mismatch = learnt_.Empty() ? limit + 1 : Mismatch(heard, learnt_);
    if (mismatch > limit) return Resume();
    takingOver_ = false;
    OtherGun(muzzle_, candidate_.peak, sink);
    mismatch_ = mismatch;
    doubtful_ = hasty_ = false;
    rivals_ = {};
    phase_ = Phase::Idle;
    idleFrom_ = gate_ + 1;
    Arm(x, from, at, onset, heard, sink);
    return true;
}

bool OnsetDetector::Resume()
{
    // No report of the shooter's: the rise is weighed in the window as any
    // other (the impact of the report followed may be that loud).
    takingOver_ = false;
    gate_ = riseGate_;
    phase_ = Phase::ImpactCheck;
    return true;
}

void OnsetDetector::Release()
{
    // The sound followed was no shot of the shooter's (a neighbour's report
    // taken for it) or its impact went unheard: the shooter may fire soon
    // after a neighbour, so the hold-off ends with the window, or at once
    // when the report, followed in doubt, was another gun's.
    const auto windowEnd = static_cast<std::int64_t>(std::floor(muzzle_)) + setup_.windowEnd;
    releasedUntil_ = holdOffUntil_;
    holdOffUntil_ = std::min(holdOffUntil_, doubtful_ ? scan_ : windowEnd);
}

void OnsetDetector::OtherGun(double onset, double peak, OnsetSink& sink)
{
    // Said once per burst of its echoes, and never a muzzle.
    const auto pos = static_cast<std::int64_t>(onset);
    if (lastOtherGun_ < 0 || pos - lastOtherGun_ > Ms(kOtherGunQuietMs, setup_.sampleRate)) {
        sink.Onset({OnsetEventKind::OtherGun, onset, onset, 0, OnsetMiss::None});
    }
    lastOtherGun_ = pos;
    lastOtherGunPeak_ = peak;
}

void OnsetDetector::CountRival(const ReportSignature& heard, std::int64_t at)
{
    // Reports of one gun keep coming and none of the learnt gun's is taken:
    // the report learnt was not the shooter's (another gun fired in the
    // calibration). The gun that keeps shooting while the learnt one stays
    // silent is the shooter's. Other guns are kept apart in a few groups.
    std::size_t nearest = 0, fewest = 0;
    double closest = 1e9;
    for (std::size_t k = 0; k < rivals_.size(); ++k) {
        const double m = rivals_[k].count > 0 ? Mismatch(heard, rivals_[k].report) : 1e9;
        if (m < closest) closest = m, nearest = k;
        if (rivals_[k].count < rivals_[fewest].count) fewest = k;
    }
    if (closest <= SameGunLimit()) {
        // One shot each: its own echoes and ringing come within the hold-off.
        Rival& rival = rivals_[nearest];
        if (at < rival.last + len_.holdOff) return;
        rival.report = heard;
        rival.last = at;
        if (++rival.count < kRivalShots) return;
    } else {
        rivals_[fewest] = {heard, 1, at};
        return;
    }
    learnt_ = heard;
    rivals_ = {};
    muzzlesHeard_ = 0;
    flightsHeard_ = 0;
    missedHeard_ = 0;
    echoes_.Clear();
}

void OnsetDetector::Arm(std::span<const float> x, std::int64_t from, double at, double onset, const ReportSignature& heard,
                        OnsetSink& sink)
{
    const int rate = setup_.sampleRate;
    const auto o = static_cast<std::int64_t>(std::floor(at));
    double rise = 1, peak = 0;
    RiseOf(x, o, len_.halfMs, rise, peak);
    background_ = Energy(from + o - Ms(3.5, rate), from + o - Ms(0.2, rate)) / static_cast<double>(Ms(3.3, rate));
    muzzleSigma_ = OnsetSigma(rise, std::sqrt(MeanSquare(x, o - Ms(3.5, rate), o - Ms(0.2, rate))), peak);
    muzzle_ = onset;
    candidate_ = heard;
    reportLength_ = std::min(report_.size(), static_cast<std::size_t>(Ms(kReportMs, rate)));
    for (std::size_t k = 0; k < reportLength_; ++k) report_[k] = x[static_cast<std::size_t>(o) + k];
    // The looks back from the window's first rise reach before the muzzle.
    const auto fit = std::min<std::size_t>(static_cast<std::size_t>(Ms(kFlattenFitMs, rate)), x.size() - static_cast<std::size_t>(o));
    white_.Fit(x.subspan(static_cast<std::size_t>(o), fit), from + o - Ms(10, rate));
    const auto base = static_cast<std::int64_t>(std::floor(onset));
    holdOffUntil_ = base + len_.holdOff;
    bestRise_ = 0;
    pendingStrength_ = 0;
    if (rateTooLow_ || unheld_) {
        sink.Onset({OnsetEventKind::Miss, onset, 0, 0, rateTooLow_ ? OnsetMiss::RateTooLow : OnsetMiss::NoImpact});
        scan_ = base + 1;
        return;
    }
    if (!doubtful_) sink.Onset({OnsetEventKind::Muzzle, onset, 0, 0, OnsetMiss::None});
    scan_ = base + std::max<std::int64_t>(setup_.windowStart, 1);
    // Where the band around the usual flight time starts inside the window,
    // the room's tail before it is what the impact must rise out of. A
    // calibration is heard as though no flight time were known.
    refitAt_ = -1;
    if (flightsHeard_ > 0 && !rehearsing_) {
        const std::int64_t band = base + static_cast<std::int64_t>(UsualFlight() * (1 - kUsualFlight)) - len_.ms;
        if (band >= scan_) refitAt_ = band;
    }
    phase_ = Phase::Armed;
}

double OnsetDetector::SameGunLimit() const
{
    // How far from the learnt report the shooter's own reports stray
    // depends on the range (its noise, the rate): three times their typical
    // stray, within limits that keep other guns out.
    const int heard = std::min<int>(muzzlesHeard_, static_cast<int>(mismatches_.size()));
    if (heard == 0) return kFirstSameGunLimit;
    return std::clamp(3 * Median(mismatches_, heard), kLeastSameGunLimit, kMostSameGunLimit);
}

}  // namespace quorvel
