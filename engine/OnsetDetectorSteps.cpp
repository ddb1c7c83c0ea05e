// The onset detector's impact steps: the impact window scanned for a
// sudden rise, each rise checked for being the impact, and a shot accepted.
#include <algorithm>
#include <array>
#include <cmath>

#include "OnsetDetector.h"
#include "OnsetPicker.h"
#include "OnsetTuning.h"
#include "ThresholdDetector.h"

namespace quorvel {

using namespace onset;

namespace {

// An impact that is no clean jump: a clear swell at its foot, anything else
// where its envelope's rise is drawn back to, never after the split.
double SwellOrRise(std::span<const float> x, double at, int rate)
{
    const std::optional<double> swell = SwellOnset(x, at, rate);
    return swell ? *swell : std::min(at, RiseOnset(x, at, rate));
}

}  // namespace

bool OnsetDetector::StepArmed(OnsetSink& sink)
{
    const auto base = static_cast<std::int64_t>(std::floor(muzzle_));
    const std::int64_t last = base + setup_.windowEnd;
    // A sample is looked at once the 0.5 ms ending on it has arrived.
    for (; scan_ <= last && scan_ < end_ && !(pendingStrength_ > 0 && scan_ > pendingUntil_); ++scan_) {
        if (refitAt_ >= 0 && scan_ >= refitAt_) FitToRoom();
        if (Rises(scan_ - len_.shortWin + 1) || LoudRise(scan_ - len_.shortWin + 1)) {
            gate_ = scan_;
            phase_ = Phase::ImpactCheck;
            return true;
        }
    }
    if (pendingStrength_ > 0 && scan_ > pendingUntil_) return Conclude(sink);
    if (scan_ <= last) return false;
    return Conclude(sink);
}

bool OnsetDetector::Conclude(OnsetSink& sink)
{
    // A clear rise close to a settled string's flight time is the impact,
    // and teaches the signature what this string's impacts sound like.
    // Anything less (a faint rise, even close to that time, where a wisp of
    // the room's tail can come just before the impact; a rise further off;
    // none at all) gives way to the signature when it is found in the band.
    const bool sure = !rehearsing_ && pendingStrength_ >= kConfidentRise && CloseToUsualFlight(pendingImpact_ - muzzle_);
    if (sure) {
        // Once the impact is known to start ahead of its signature, a sure
        // rise nearer the signature's onset than the usual time is that
        // onset (the walls' return), and the impact lies that far before it.
        const double usual = muzzle_ + UsualFlight();
        if (leadBy_ > 0 && std::abs(pendingImpact_ - leadBy_ - usual) < std::abs(pendingImpact_ - usual)) pendingImpact_ -= leadBy_;
        toLearn_ = pendingImpact_ + leadBy_;
        toLearnSigma_ = std::sqrt(std::max(pendingSigma_ * pendingSigma_ - muzzleSigma_ * muzzleSigma_, 0.0));
    } else if (!rehearsing_ && signature_.Heard() > 0 && flightsHeard_ >= kSettledFlights) {
        std::int64_t first = 0, last = 0;
        MatchBand(first, last);
        if (end_ < last + 2 * signature_.Length()) return false;
        double sigma = 0;
        const std::optional<double> onset = ClearlyEarlier(first) ? std::nullopt : Matched(first, last, sigma);
        if (onset) {
            // Lining this one up may show the impact starts earlier.
            HearLead(*onset);
            Accept(*onset - leadBy_, leadBy_ > 0 ? std::hypot(sigma, kLeadSigma) : sigma, sink);
            return true;
        }
    }
    // A muzzle heard soon after a window that ended in vain may be a
    // neighbour's all the same: no rise far from the usual time (before the
    // string has settled, outside its band) is its impact.
    if (hasty_) {
        const double flight = pendingImpact_ - muzzle_;
        if (flightsHeard_ >= kSettledFlights ? !CloseToUsualFlight(flight) : !NearUsualFlight(flight)) pendingStrength_ = 0;
    }
    if (pendingStrength_ > 0) {
        Accept(pendingImpact_, pendingSigma_, sink);
    } else if (rehearsing_ && bestRise_ > 0) {
        Accept(bestImpact_, bestSigma_, sink);
    } else if (doubtful_) {
        OtherGun(muzzle_, candidate_.peak, sink);
        phase_ = Phase::Idle;
        Release();
    } else {
        sink.Onset({OnsetEventKind::Miss, muzzle_, 0, 0, OnsetMiss::NoImpact});
        phase_ = Phase::Idle;
        Release();
    }
    return true;
}

double OnsetDetector::Split(std::span<const float> x, std::int64_t from, std::int64_t before) const
{
    // The split inside the 0.5 ms that set the candidate off, with 2 ms of
    // what came before; only 1 ms when the rise came close to a settled
    // string's flight time and the longer look split off a faint sound well
    // before it (a wisp of the room's tail, a neighbour's dying ring) instead.
    const int rate = setup_.sampleRate;
    const std::int64_t end = before + Ms(0.75, rate);
    const auto splitAfter = [&](double ms) {
        const std::int64_t begin = before - len_.shortWin - Ms(ms, rate);
        return static_cast<double>(begin) + AicOnset(x.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
    };
    const double at = splitAfter(2);
    const double rise = static_cast<double>(gate_ - len_.shortWin) - muzzle_;
    const bool strayed = CloseToUsualFlight(rise) && !CloseToUsualFlight(static_cast<double>(from) + at - muzzle_);
    return strayed ? splitAfter(1) : at;
}

bool OnsetDetector::StepImpact()
{
    if (end_ < gate_ + len_.impactLook) return false;
    const int rate = setup_.sampleRate;
    const std::int64_t before = Ms(6, rate);
    const std::int64_t from = gate_ - before;
    const std::span<const float> x = Take(from, before + len_.impactLook);
    double at = Split(x, from, before);
    std::optional<double> strength = Confirmed(from + static_cast<std::int64_t>(std::floor(at)));
    // Where the impact is expected, the split of the samples as they are can
    // fall on a swell of the room's tail ahead of a faint impact, and the
    // rise from there is none; the flattened samples show where the impact's
    // own colour comes in. Not after a report followed in doubt: its impact
    // decides whose report it was, and a rise found only this way is too
    // faint to make a neighbour's report the shooter's. Nor in a
    // calibration, which looks for its impact anywhere in the window.
    if (!strength && !doubtful_ && !rehearsing_ && InUsualBand(gate_ - len_.shortWin)) {
        at = FlatSplit(from, static_cast<std::int64_t>(x.size()), before);
        strength = Confirmed(from + static_cast<std::int64_t>(std::floor(at)));
    }
    const auto o = static_cast<std::int64_t>(std::floor(at));
    const std::int64_t onsetPos = from + o;
    phase_ = Phase::Armed;
    scan_ = gate_ + Ms(0.1, rate);
    if (!strength) return true;
    if (doubtful_ && !rehearsing_ && LoudAfter(onsetPos)) return true;
    double rise = 1, peak = 0;
    if (IsEcho(x, from, at)) {
        scan_ = std::max(scan_, onsetPos + len_.shortWin + len_.ms);
        return true;
    }
    RiseOf(x, o, len_.halfMs, rise, peak);
    Rise candidate;
    const std::optional<double> jump = ShockOnset(x, at, rate);
    candidate.impact = static_cast<double>(from) + (jump ? *jump : SwellOrRise(x, at, rate));
    candidate.sigma = std::hypot(muzzleSigma_, OnsetSigma(rise, std::sqrt(MeanSquare(x, o - Ms(3, rate), o - Ms(0.2, rate))), peak));
    candidate.strength = *strength;
    RiseOf(x, o, len_.ms, rise, candidate.peak);
    Weigh(candidate, onsetPos);
    return true;
}

bool OnsetDetector::LoudAfter(std::int64_t onsetPos)
{
    // A window followed in doubt may hold the shooter's own report, a moment
    // after a neighbour's: a rise past the muzzle volume is checked as a
    // report first (once), and weighed as an impact only if it is none.
    for (std::int64_t p = std::max(onsetPos, triedUntil_); p < gate_ + len_.shortWin; ++p) {
        const std::size_t slot = static_cast<std::size_t>(p) & mask_;
        if (FindLoud(ring_.data(), slot, slot + 1, MuzzleGate()) == slot) {
            riseGate_ = gate_;
            triedUntil_ = gate_ + len_.shortWin;
            gate_ = p;
            takingOver_ = true;
            phase_ = Phase::MuzzleCheck;
            return true;
        }
    }
    return false;
}

void OnsetDetector::Weigh(const Rise& rise, std::int64_t onsetPos)
{
    const int rate = setup_.sampleRate;
    scan_ = std::max(scan_, onsetPos + len_.shortWin + len_.ms);
    // A rise at the window's start whose onset lies before it is a pellet
    // faster than the velocity limits allow: no impact of this window.
    if (rise.impact - muzzle_ < static_cast<double>(setup_.windowStart)) return;
    if (rehearsing_) {
        // Nothing else is shooting: the impact is the sharpest rise that is
        // no echo (later sounds ride on the impact's own ringing and rise
        // less). Not the loudest: at the microphone a far wall's return of
        // the report can outshout the impact, though it rises out of a
        // louder room.
        if (rise.strength > bestRise_) {
            bestRise_ = rise.strength;
            bestImpact_ = rise.impact;
            bestSigma_ = rise.sigma;
        }
        return;
    }
    // The first rise is the impact unless a much stronger one follows
    // soon (a wisp of the room's tail or a faint echo before a clear
    // impact), or unless it comes far from the flight times of the string so
    // far and a later one does not (another gun's report in the window), or
    // unless it was another gun's report early inside that band: a sound no
    // quieter than the rise that follows it close to the string's flight
    // time. A plate's reflection or a thud's growth is no quieter than the
    // impact that set it off, so an impact early in the band keeps its place.
    const bool usual = NearUsualFlight(rise.impact - muzzle_);
    const bool pendingUsual = pendingStrength_ > 0 && NearUsualFlight(pendingImpact_ - muzzle_);
    const bool close = CloseToUsualFlight(rise.impact - muzzle_);
    const bool outshouted = pendingUsual && close && !CloseToUsualFlight(pendingImpact_ - muzzle_) && pendingPeak_ >= rise.peak;
    if (pendingStrength_ <= 0 || outshouted || (!pendingUsual && (usual || rise.strength >= kOvershadow * pendingStrength_))) {
        pendingStrength_ = rise.strength;
        pendingImpact_ = rise.impact;
        pendingSigma_ = rise.sigma;
        pendingPeak_ = rise.peak;
        pendingUntil_ = onsetPos + Ms(kHorizonMs, rate);
        // An unusually early rise waits for the usual flight time to pass.
        if (!usual && flightsHeard_ > 0) {
            const double longest = UsualFlight() * (1 + kUsualFlight);
            pendingUntil_ = std::max(pendingUntil_, static_cast<std::int64_t>(std::floor(muzzle_) + longest) + len_.ms);
        }
    }
    scan_ = std::max(scan_, onsetPos + len_.shortWin + Ms(2, rate));
}

void OnsetDetector::Accept(double impact, double sigma, OnsetSink& sink)
{
    phase_ = Phase::Idle;
    pendingStrength_ = 0;
    scan_ = std::max(scan_, static_cast<std::int64_t>(impact) + 1);
    if (!rehearsing_ && !doubtful_ && flightsHeard_ >= kSettledFlights && !NearUsualFlight(impact - muzzle_)) {
        // Once the string has shown its flight time, nothing was heard near
        // it: what was heard instead is far likelier another gun, an echo or
        // the room than a pellet 4 % off its string, so this is a miss, not
        // a guess. Its flight is remembered all the same, so that a string
        // that really changed (another pellet) is followed after a few shots;
        // not one that repeats an earlier miss's to a sample, which is an
        // echo of the report coming back at its own delay every shot.
        if (!RepeatsMissed(impact - muzzle_)) RememberFlight(impact);
        sink.Onset({OnsetEventKind::Miss, muzzle_, 0, 0, OnsetMiss::NoImpact});
        Release();
        return;
    }
    if (impact - muzzle_ < 2) {
        sink.Onset({OnsetEventKind::Miss, muzzle_, impact, sigma, OnsetMiss::TooClose});
        return;
    }
    if (doubtful_) {
        // Taken in doubt: its impact decides whose report it was.
        if (!NearUsualFlight(impact - muzzle_)) {
            OtherGun(muzzle_, candidate_.peak, sink);
            // Shots of one gun kept in doubt, none at the usual time: the
            // usual time or the report learnt may be the wrong ones.
            CountRival(candidate_, static_cast<std::int64_t>(muzzle_));
            Release();
            return;
        }
        sink.Onset({OnsetEventKind::Muzzle, muzzle_, 0, 0, OnsetMiss::None});
    }
    if (!learnt_.Empty()) {
        mismatches_[static_cast<std::size_t>(muzzlesHeard_ % static_cast<int>(mismatches_.size()))] = mismatch_;
        ++muzzlesHeard_;
    }
    if (learnt_.Empty()) learnt_ = candidate_;
    // The calibration's flight starts the string's too: where it was taken
    // wrongly, the median of the next shots soon outvotes it.
    RememberFlight(impact);
    // What the room returned before this impact, for the next shots: never
    // past the earliest usual flight time, so that an impact taken too late
    // cannot put an earlier impact into the map.
    const auto base = static_cast<std::int64_t>(std::floor(muzzle_));
    double reach = impact - muzzle_;
    if (flightsHeard_ > 0) reach = std::min(reach, UsualFlight() * (1 - kUsualFlight));
    const std::int64_t upTo = static_cast<std::int64_t>(std::floor(reach)) - Ms(0.3, setup_.sampleRate);
    const std::int64_t oldest = end_ - static_cast<std::int64_t>(ring_.size());
    for (std::int64_t k = std::max<std::int64_t>(0, oldest - base); k < upTo; ++k) {
        echoes_.Add(static_cast<std::size_t>(k), Centred(Sample(base + k)));
    }
    sink.Onset({OnsetEventKind::Shot, muzzle_, impact, sigma, OnsetMiss::None});
}

bool OnsetDetector::RepeatsMissed(double flight)
{
    // Pellets spread their flights by their velocity spread, a fraction of
    // a percent at the least; an echo comes back to the sample.
    const double tol = std::max(kSameDelay, kSameDelayMs * setup_.sampleRate / 1000);
    bool repeats = false;
    for (int i = 0; i < std::min<int>(missedHeard_, static_cast<int>(missed_.size())); ++i) {
        repeats = repeats || std::abs(missed_[static_cast<std::size_t>(i)] - flight) <= tol;
    }
    missed_[static_cast<std::size_t>(missedHeard_ % static_cast<int>(missed_.size()))] = flight;
    ++missedHeard_;
    return repeats;
}

double OnsetDetector::UsualFlight() const
{
    return Median(flights_, std::min<int>(flightsHeard_, static_cast<int>(flights_.size())));
}

bool OnsetDetector::InUsualBand(std::int64_t pos) const
{
    // Where the impact is expected, a decaying sound (another gun's ring,
    // the report's tail) must not hide it: a rise there is measured against
    // the last millisecond when that was quieter than the usual look back.
    return flightsHeard_ > 0 && NearUsualFlight(static_cast<double>(pos) - muzzle_);
}

bool OnsetDetector::NearUsualFlight(double flight) const
{
    if (flightsHeard_ == 0) return true;
    const double usual = UsualFlight();
    return std::abs(flight - usual) <= std::max(kUsualFlight * usual, 3.0);
}

bool OnsetDetector::CloseToUsualFlight(double flight) const
{
    if (flightsHeard_ < kSettledFlights) return false;
    const double usual = UsualFlight();
    return std::abs(flight - usual) <= std::max(kCloseFlight * usual, 2.0);
}

void OnsetDetector::RememberFlight(double impact)
{
    flights_[static_cast<std::size_t>(flightsHeard_ % static_cast<int>(flights_.size()))] = impact - muzzle_;
    ++flightsHeard_;
}

bool OnsetDetector::IsEcho(std::span<const float> x, std::int64_t from, double onset) const
{
    const int rate = setup_.sampleRate;
    const auto o = static_cast<std::int64_t>(std::floor(onset));
    const int lag = static_cast<int>(std::max<std::int64_t>(2, Ms(0.03, rate)));
    const std::int64_t lead = Ms(0.2, rate);
    const std::int64_t length = lead + len_.ms;
    if (o - lead - lag >= 0 && o - lead + length <= static_cast<std::int64_t>(x.size())) {
        const auto segment = x.subspan(static_cast<std::size_t>(o - lead), static_cast<std::size_t>(length));
        const std::int64_t delay = from + o - lead - static_cast<std::int64_t>(std::floor(muzzle_));
        // Near the usual flight time the map may hold an earlier impact.
        const bool early = flightsHeard_ == 0 || static_cast<double>(delay + length) < UsualFlight() * (1 - kUsualFlight);
        if (early) {
            if (const auto repeats = echoes_.Repeats(segment, delay, lag)) return *repeats;
        }
    }
    // No earlier shot heard this far: compare with the report itself,
    // unless the rise comes at the string's usual flight time, where an
    // impact is far likelier than an echo that happens to look like the
    // report (a clipped report's flat top looks like many sounds).
    if (flightsHeard_ > 0 && NearUsualFlight(static_cast<double>(from + o) - muzzle_)) return false;
    const std::int64_t start = o - lag;
    if (reportLength_ < 4 || start < 0 || start + static_cast<std::int64_t>(reportLength_) + 2 * lag > static_cast<std::int64_t>(x.size())) {
        return false;
    }
    const auto other = x.subspan(static_cast<std::size_t>(start), reportLength_ + 2 * static_cast<std::size_t>(lag));
    return Likeness(std::span<const float>(report_.data(), reportLength_), other, lag) >= kEchoLikeness;
}

}  // namespace quorvel
