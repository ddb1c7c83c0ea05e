// The onset detector's steps: a loud sound checked for being the shooter's
// report, the impact window scanned for a sudden rise, each rise checked for
// being the impact, and a shot accepted.
#include <algorithm>
#include <array>
#include <cmath>

#include "OnsetDetector.h"
#include "OnsetPicker.h"

namespace quorvel {

namespace {

// A stretch of 0.5 ms at least this many times the mean square (of
// sample-to-sample differences) of the 4 ms before it is a candidate; the
// AIC split then has to show at least this rise from the 3 ms before to
// the millisecond after.
constexpr double kCandidateRise = 3.0;
constexpr double kConfirmedRise = 2.0;
// Or the 0.5 ms this many times louder than the 4 ms before (mean squares
// of the samples), and at least this loud.
constexpr double kLoudRise = 6.0;
constexpr double kLeastLoudness = 4.0;
// Where no earlier shot shows what the room returns, a rise this like the
// report over its first two milliseconds is taken for an echo.
constexpr double kEchoLikeness = 0.75;
constexpr double kReportMs = 2;
// A report's first half millisecond against the 4 ms before it.
constexpr double kReportRise = 2.0;
// A rise followed within this long by one this many times stronger gives way to it.
constexpr double kHorizonMs = 20;
constexpr double kOvershadow = 2.5;
// A gun's shots fly within this share of each other's time (a muzzle
// velocity spread of 1.5 % is two standard deviations inside it).
constexpr double kUsualFlight = 0.04;
// A report this unlike the learnt one is another gun's (see SameGunLimit).
constexpr double kFirstSameGunLimit = 0.6;
constexpr double kLeastSameGunLimit = 0.3;
constexpr double kMostSameGunLimit = 1.0;
// A report up to this many times the limit unlike the learnt one is taken
// in doubt; beyond, it is another gun's at once.
constexpr double kDoubt = 2.0;
// Reports of one gun, none of them taken, that make the learnt report give way.
constexpr int kRivalShots = 3;
// How long another gun's echoes go on in a hall.
constexpr double kOtherEchoMs = 80;
// Other guns heard within this of each other are one gun and its echoes.
constexpr double kOtherGunQuietMs = 50;

std::int64_t Ms(double ms, int rate) { return std::max<std::int64_t>(1, std::llround(ms * rate / 1000)); }

// Samples from the onset to the largest swing within `reach`, and that swing.
void RiseOf(std::span<const float> x, std::int64_t onset, std::int64_t reach, double& rise, double& peak)
{
    peak = 0;
    rise = 1;
    const auto end = std::min<std::int64_t>(onset + reach, static_cast<std::int64_t>(x.size()));
    for (std::int64_t i = std::max<std::int64_t>(onset, 0); i < end; ++i) {
        const double v = std::abs(x[static_cast<std::size_t>(i)]);
        if (v > peak) {
            peak = v;
            rise = static_cast<double>(i - onset) + 1;
        }
    }
}

// The median of the first `count` values (count > 0).
template <std::size_t N>
double Median(const std::array<double, N>& values, int count)
{
    std::array<double, N> sorted = values;
    for (int i = 1; i < count; ++i) {
        for (int j = i; j > 0 && sorted[static_cast<std::size_t>(j - 1)] > sorted[static_cast<std::size_t>(j)]; --j) {
            std::swap(sorted[static_cast<std::size_t>(j - 1)], sorted[static_cast<std::size_t>(j)]);
        }
    }
    return sorted[static_cast<std::size_t>(count / 2)];
}

}  // namespace

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
    const double onset = static_cast<double>(from) + ShockOnset(x, at, rate).value_or(RiseOnset(x, at, rate));
    phase_ = Phase::Idle;
    // Whatever follows, the muzzle scan never comes back to this sample.
    idleFrom_ = gate_ + 1;
    mismatch_ = Mismatch(heard, learnt_);
    // Soon after another gun, a weaker sound is most likely its echo: only
    // a close match is the shooter's own report. A report a little unlike
    // the learnt one is taken in doubt: it is a muzzle only if its impact
    // comes at the string's usual flight time.
    const bool afterOther = lastOtherGun_ >= 0 && onset - static_cast<double>(lastOtherGun_) < static_cast<double>(Ms(kOtherEchoMs, rate)) &&
                            heard.peak < lastOtherGunPeak_;
    const double limit = SameGunLimit() * (afterOther ? 0.6 : 1.0);
    doubtful_ = !learnt_.Empty() && mismatch_ > limit;
    if (doubtful_ && (afterOther || flightsHeard_ == 0 || mismatch_ > kDoubt * limit)) {
        OtherGun(onset, afterOther ? lastOtherGunPeak_ : heard.peak, sink);
        if (!afterOther) CountRival(heard, static_cast<std::int64_t>(onset));
        scan_ = std::max(gate_ + 1, static_cast<std::int64_t>(onset) + Ms(5, rate));
        return true;
    }
    if (!doubtful_) rivals_ = {};
    Arm(x, from, at, onset, heard, sink);
    return true;
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
    const auto base = static_cast<std::int64_t>(std::floor(onset));
    holdOffUntil_ = base + len_.holdOff;
    bestRise_ = 0;
    pendingStrength_ = 0;
    if (rateTooLow_) {
        sink.Onset({OnsetEventKind::Miss, onset, 0, 0, OnsetMiss::RateTooLow});
        scan_ = base + 1;
        return;
    }
    if (!doubtful_) sink.Onset({OnsetEventKind::Muzzle, onset, 0, 0, OnsetMiss::None});
    scan_ = base + std::max<std::int64_t>(setup_.windowStart, 1);
    phase_ = Phase::Armed;
}

bool OnsetDetector::LoudRise(std::int64_t at) const
{
    // A plate's low ring starts with one jump and few highs: what gives it
    // away is its loudness against the quiet before it.
    const std::int64_t shortWin = len_.shortWin;
    return Loudness(at, at + shortWin) > kLoudRise * Loudness(at - len_.longWin, at) + kLeastLoudness;
}

bool OnsetDetector::StepArmed(OnsetSink& sink)
{
    const auto base = static_cast<std::int64_t>(std::floor(muzzle_));
    const std::int64_t last = base + setup_.windowEnd;
    const std::int64_t shortWin = len_.shortWin, longWin = len_.longWin;
    // A sample is looked at once the 0.5 ms ending on it has arrived.
    for (; scan_ <= last && scan_ < end_ && !(pendingStrength_ > 0 && scan_ > pendingUntil_); ++scan_) {
        const double now = Energy(scan_ - shortWin + 1, scan_ + 1) / static_cast<double>(shortWin);
        const double past = Energy(scan_ - shortWin - longWin + 1, scan_ - shortWin + 1) / static_cast<double>(longWin);
        if ((now > kCandidateRise * past + 0.5 && now > 2 * background_ + 0.5) || LoudRise(scan_ - shortWin + 1)) {
            gate_ = scan_;
            phase_ = Phase::ImpactCheck;
            return true;
        }
    }
    if (pendingStrength_ > 0 && scan_ > pendingUntil_) {
        Accept(pendingImpact_, pendingSigma_, sink);
        return true;
    }
    if (scan_ <= last) return false;
    if (pendingStrength_ > 0) {
        Accept(pendingImpact_, pendingSigma_, sink);
    } else if (rehearsing_ && bestRise_ > 0) {
        Accept(bestImpact_, bestSigma_, sink);
    } else if (doubtful_) {
        OtherGun(muzzle_, candidate_.peak, sink);
        phase_ = Phase::Idle;
    } else {
        sink.Onset({OnsetEventKind::Miss, muzzle_, 0, 0, OnsetMiss::NoImpact});
        phase_ = Phase::Idle;
    }
    return true;
}

bool OnsetDetector::StepImpact()
{
    if (end_ < gate_ + len_.impactLook) return false;
    const int rate = setup_.sampleRate;
    const std::int64_t before = Ms(6, rate);
    const std::int64_t from = gate_ - before;
    const std::span<const float> x = Take(from, before + len_.impactLook);
    // The split inside the 0.5 ms that set the candidate off, with 2 ms of
    // what came before.
    const std::int64_t begin = before - len_.shortWin - Ms(2, rate);
    const std::int64_t span = len_.shortWin + Ms(2, rate) + Ms(0.75, rate);
    const double at = static_cast<double>(begin) + AicOnset(x.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(span)));
    const auto o = static_cast<std::int64_t>(std::floor(at));
    const std::int64_t onsetPos = from + o;
    const double after = Energy(onsetPos + 1, onsetPos + 1 + len_.ms) / static_cast<double>(len_.ms);
    const double prior = Energy(onsetPos - Ms(3, rate), onsetPos - Ms(0.2, rate)) / static_cast<double>(Ms(2.8, rate));
    phase_ = Phase::Armed;
    scan_ = gate_ + Ms(0.1, rate);
    if (after < kConfirmedRise * prior + 0.25 && !LoudRise(onsetPos + 1)) return true;
    double rise = 1, peak = 0;
    if (IsEcho(x, from, at)) {
        scan_ = std::max(scan_, onsetPos + len_.shortWin + len_.ms);
        return true;
    }
    RiseOf(x, o, len_.halfMs, rise, peak);
    Rise candidate;
    candidate.impact = static_cast<double>(from) + ShockOnset(x, at, rate).value_or(std::min(at, RiseOnset(x, at, rate)));
    candidate.sigma = std::hypot(muzzleSigma_, OnsetSigma(rise, std::sqrt(MeanSquare(x, o - Ms(3, rate), o - Ms(0.2, rate))), peak));
    candidate.strength = after / (prior + 0.25);
    RiseOf(x, o, len_.ms, rise, candidate.peak);
    Weigh(candidate, onsetPos);
    return true;
}

void OnsetDetector::Weigh(const Rise& rise, std::int64_t onsetPos)
{
    const int rate = setup_.sampleRate;
    scan_ = std::max(scan_, onsetPos + len_.shortWin + len_.ms);
    if (rehearsing_) {
        // Nothing else is shooting: the impact is the sharpest and loudest
        // rise that is no echo (echoes are weaker copies; later sounds ride
        // on the impact's own ringing and rise less).
        if (rise.strength * rise.peak > bestRise_) {
            bestRise_ = rise.strength * rise.peak;
            bestImpact_ = rise.impact;
            bestSigma_ = rise.sigma;
        }
        return;
    }
    // The first rise is the impact unless a much stronger one follows
    // soon (a wisp of the room's tail or a faint echo before a clear
    // impact), or unless it comes far from the flight times of the string so
    // far and a later one does not (another gun's report in the window).
    const bool usual = NearUsualFlight(rise.impact - muzzle_);
    const bool pendingUsual = pendingStrength_ > 0 && NearUsualFlight(pendingImpact_ - muzzle_);
    if (pendingStrength_ <= 0 || (!pendingUsual && (usual || rise.strength >= kOvershadow * pendingStrength_))) {
        pendingStrength_ = rise.strength;
        pendingImpact_ = rise.impact;
        pendingSigma_ = rise.sigma;
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
            return;
        }
        sink.Onset({OnsetEventKind::Muzzle, muzzle_, 0, 0, OnsetMiss::None});
    }
    if (!learnt_.Empty()) {
        mismatches_[static_cast<std::size_t>(muzzlesHeard_ % static_cast<int>(mismatches_.size()))] = mismatch_;
        ++muzzlesHeard_;
    }
    if (learnt_.Empty()) learnt_ = candidate_;
    // A calibration's impact teaches the echoes before it, not the string's
    // flight time or loudness: it may have been taken wrongly.
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

double OnsetDetector::SameGunLimit() const
{
    // How far from the learnt report the shooter's own reports stray
    // depends on the range (its noise, the rate): three times their typical
    // stray, within limits that keep other guns out.
    const int heard = std::min<int>(muzzlesHeard_, static_cast<int>(mismatches_.size()));
    if (heard == 0) return kFirstSameGunLimit;
    return std::clamp(3 * Median(mismatches_, heard), kLeastSameGunLimit, kMostSameGunLimit);
}

double OnsetDetector::UsualFlight() const
{
    return Median(flights_, std::min<int>(flightsHeard_, static_cast<int>(flights_.size())));
}

bool OnsetDetector::NearUsualFlight(double flight) const
{
    if (flightsHeard_ == 0) return true;
    const double usual = UsualFlight();
    return std::abs(flight - usual) <= std::max(kUsualFlight * usual, 3.0);
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
