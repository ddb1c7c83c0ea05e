#include "OnsetDetector.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "OnsetPicker.h"
#include "OnsetTuning.h"
#include "ThresholdDetector.h"

namespace quorvel {

using onset::Ms;

namespace {

// Windows shorter than this cannot give a velocity worth showing.
constexpr std::int64_t kFewestWindowSamples = 16;

std::size_t RingSize(int rate, std::int64_t windowEnd)
{
    // Whole impact windows, for the echo map, and the looks around a rise.
    const std::int64_t need = 2 * (std::max<std::int64_t>(windowEnd, 0) + Ms(60, rate)) + 4 * 4096;
    std::size_t size = 1;
    while (static_cast<std::int64_t>(size) < need) size <<= 1;
    return size;
}

// The highest rate and the longest impact window the detector holds: a
// sound card's highest rate, and ten seconds at 96 kHz. A damaged file's
// header can claim far more; such a setup measures nothing rather than
// allocate without end.
constexpr int kHighestRate = 768000;
constexpr std::int64_t kLongestWindow = std::int64_t{1} << 20;

OnsetSetup Held(OnsetSetup s)
{
    s.sampleRate = std::clamp(s.sampleRate, 1, kHighestRate);
    s.windowEnd = std::clamp<std::int64_t>(s.windowEnd, 0, kLongestWindow);
    s.windowStart = std::min(s.windowStart, s.windowEnd);
    return s;
}

}  // namespace

OnsetDetector::OnsetDetector(const OnsetSetup& setup)
    : setup_(Held(setup)),
      ring_(RingSize(setup_.sampleRate, setup_.windowEnd), 128),
      white_(ring_.size()),
      echoes_(static_cast<std::size_t>(std::clamp<std::int64_t>(setup_.windowEnd, 0, 10 * setup_.sampleRate) + Ms(2, setup_.sampleRate))),
      signature_(setup_.sampleRate),
      lead_(setup_.sampleRate)
{
    const int rate = setup_.sampleRate;
    unheld_ = setup.sampleRate > kHighestRate || setup.windowEnd > kLongestWindow;
    len_.ms = Ms(1, rate);
    len_.halfMs = Ms(0.5, rate);
    len_.reportLook = Ms(18, rate);
    len_.impactLook = Ms(9, rate);
    len_.holdOff = std::max<std::int64_t>(Ms(900, rate), setup_.windowEnd);
    len_.shortWin = Ms(0.5, rate);
    len_.longWin = Ms(4, rate);
    cumulative_.assign(ring_.size(), 0);
    loudness_.assign(ring_.size(), 0);
    mask_ = ring_.size() - 1;
    scratch_.assign(static_cast<std::size_t>(Ms(30, rate)), 0.0F);
    flat_.assign(static_cast<std::size_t>(std::max(Ms(onset::kRoomFitMs, rate), Ms(30, rate)) + Whitener::kOrder), 0.0F);
    report_.assign(static_cast<std::size_t>(Ms(6, rate)), 0.0F);
    band_.assign(static_cast<std::size_t>(std::ceil(2 * onset::kUsualFlight * static_cast<double>(setup_.windowEnd))) + 16 + 3 * static_cast<std::size_t>(signature_.Length()), 0.0F);
    rateTooLow_ = setup_.windowEnd < kFewestWindowSamples || setup_.windowEnd <= setup_.windowStart;
    Reset();
}

void OnsetDetector::Reset()
{
    Restart();
    learnt_ = setup_.report;
    candidate_ = {};
    echoes_.Clear();
    signature_.Clear();
    lead_.Clear();
    leadBy_ = 0;
    flightsHeard_ = 0;
    missedHeard_ = 0;
    muzzlesHeard_ = 0;
    rivals_ = {};
}

void OnsetDetector::Restart()
{
    std::fill(ring_.begin(), ring_.end(), std::uint8_t{128});
    std::fill(cumulative_.begin(), cumulative_.end(), 0);
    std::fill(loudness_.begin(), loudness_.end(), 0);
    end_ = scan_ = idleFrom_ = 0;
    refitAt_ = -1;
    previous_ = 128;
    phase_ = Phase::Idle;
    holdOffUntil_ = releasedUntil_ = triedUntil_ = 0;
    takingOver_ = false;
    lastOtherGun_ = -1;
    bestRise_ = 0;
    pendingStrength_ = 0;
    toLearn_ = -1;
}

void OnsetDetector::Rehearse(std::span<const std::uint8_t> calibration)
{
    struct Ignore final : OnsetSink {
        void Onset(const OnsetEvent&) override {}
    } ignore;
    rehearsing_ = true;
    Feed(calibration, ignore);
    Finish(ignore);
    rehearsing_ = false;
    Restart();
}

void OnsetDetector::Feed(std::span<const std::uint8_t> samples, OnsetSink& sink)
{
    // A quarter of the ring at a time, so nothing still to be looked at is overwritten.
    const std::size_t chunk = ring_.size() / 4;
    for (std::size_t done = 0; done < samples.size(); done += chunk) {
        const std::size_t count = std::min(chunk, samples.size() - done);
        std::int64_t total = cumulative_[static_cast<std::size_t>(end_ - 1) & mask_];
        std::int64_t loud = loudness_[static_cast<std::size_t>(end_ - 1) & mask_];
        if (end_ == 0) total = loud = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint8_t s = samples[done + k];
            const std::size_t slot = static_cast<std::size_t>(end_) & mask_;
            ring_[slot] = s;
            const int d = s - previous_;
            previous_ = s;
            total += d * d;
            cumulative_[slot] = total;
            loud += (2 * s - 255) * (2 * s - 255);
            loudness_[slot] = loud;
            ++end_;
        }
        Advance(sink);
    }
}

void OnsetDetector::Finish(OnsetSink& sink)
{
    static const std::array<std::uint8_t, 4096> silence = [] {
        std::array<std::uint8_t, 4096> s{};
        s.fill(128);
        return s;
    }();
    const std::int64_t limit = end_ + setup_.windowEnd + len_.reportLook + len_.impactLook + 2 * signature_.Length() + 2;
    while (phase_ != Phase::Idle && end_ < limit) Feed(silence, sink);
}

double OnsetDetector::Between(const std::vector<std::int64_t>& running, std::int64_t from, std::int64_t to) const
{
    from = std::max<std::int64_t>(from, 0);
    if (to <= from) return 0;
    const std::int64_t upper = running[static_cast<std::size_t>(to - 1) & mask_];
    const std::int64_t lower = from == 0 ? 0 : running[static_cast<std::size_t>(from - 1) & mask_];
    return static_cast<double>(upper - lower);
}

double OnsetDetector::Loudness(std::int64_t from, std::int64_t to) const
{
    from = std::max<std::int64_t>(from, 0);
    return to > from ? Between(loudness_, from, to) / 4 / static_cast<double>(to - from) : 0.0;
}

std::span<const float> OnsetDetector::Copy(std::int64_t from, std::int64_t count, std::vector<float>& into) const
{
    count = std::min<std::int64_t>(count, static_cast<std::int64_t>(into.size()));
    const std::int64_t oldest = end_ - static_cast<std::int64_t>(ring_.size());
    for (std::int64_t k = 0; k < count; ++k) {
        const std::int64_t p = from + k;
        into[static_cast<std::size_t>(k)] = p >= 0 && p >= oldest && p < end_ ? Centred(Sample(p)) : 0.0F;
    }
    return std::span<const float>(into.data(), static_cast<std::size_t>(count));
}

void OnsetDetector::Advance(OnsetSink& sink)
{
    LearnSignature();
    for (bool more = true; more;) {
        switch (phase_) {
        case Phase::Idle: more = StepIdle(); break;
        case Phase::MuzzleCheck: more = StepMuzzle(sink); break;
        case Phase::Armed: more = StepArmed(sink); break;
        case Phase::ImpactCheck: more = StepImpact(); break;
        }
    }
}

bool OnsetDetector::StepIdle()
{
    // Quiet stretches are skipped as the threshold scan skips them.
    std::int64_t from = std::max({scan_, holdOffUntil_, idleFrom_});
    while (from < end_) {
        const std::size_t slot = static_cast<std::size_t>(from) & mask_;
        const auto stretch = static_cast<std::int64_t>(std::min<std::size_t>(ring_.size() - slot, static_cast<std::size_t>(end_ - from)));
        const std::size_t hit = FindLoud(ring_.data(), slot, slot + static_cast<std::size_t>(stretch), MuzzleGate());
        if (hit < slot + static_cast<std::size_t>(stretch)) {
            gate_ = from + static_cast<std::int64_t>(hit - slot);
            phase_ = Phase::MuzzleCheck;
            return true;
        }
        from += stretch;
    }
    scan_ = std::max(scan_, end_);
    return false;
}

}  // namespace quorvel
