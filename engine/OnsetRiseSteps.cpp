// The onset detector's tests of a rise: whether a stretch rises out of
// what came before, measured as it is or, in a room still ringing with the
// report, with that colour flattened out; and, where the impact is
// expected, the room's own colour taken for it.
#include <algorithm>
#include <cmath>

#include "OnsetDetector.h"
#include "OnsetPicker.h"
#include "OnsetTuning.h"

namespace quorvel {

using namespace onset;

bool OnsetDetector::LoudRise(std::int64_t at) const
{
    // A plate's low ring starts with one jump and few highs: what gives it
    // away is its loudness against the quiet before it.
    const std::int64_t shortWin = len_.shortWin;
    double before = Loudness(at - len_.longWin, at);
    if (InUsualBand(at)) before = std::min(before, Loudness(at - len_.ms, at));
    return Loudness(at, at + shortWin) > kLoudRise * before + kLeastLoudness;
}

bool OnsetDetector::Ringing(double before) const { return before > kRingingRoom * background_ + 0.5; }

double OnsetDetector::Level(bool flat, std::int64_t from, std::int64_t to)
{
    if (to <= from) return 0;
    return flat ? white_.MeanSquare(ring_, from, to) : Energy(from, to) / static_cast<double>(to - from);
}

bool OnsetDetector::Rises(std::int64_t at)
{
    // The 0.5 ms from `at` against the 4 ms before it, or against the last
    // millisecond where the impact is expected and that was quieter, and
    // against the background before the muzzle. In a room still ringing
    // with the report the two stretches are measured with its colour (or,
    // where the impact is expected, the room's) flattened out, and the
    // background is far below them anyway.
    const bool band = InUsualBand(at - 1);
    const auto past = [&](bool flat) {
        const double longer = Level(flat, at - len_.longWin, at);
        return band ? std::min(longer, Level(flat, at - len_.ms, at)) : longer;
    };
    const double plain = past(false);
    const bool flat = Ringing(plain);
    const double before = flat ? past(true) : plain;
    const double now = Level(flat, at, at + len_.shortWin);
    return now > kCandidateRise * before + 0.5 && (flat || now > 2 * background_ + 0.5);
}

std::optional<double> OnsetDetector::Confirmed(std::int64_t onsetPos)
{
    const int rate = setup_.sampleRate;
    const std::int64_t priorFrom = onsetPos - Ms(3, rate), priorTo = onsetPos - Ms(0.2, rate);
    const double plainPrior = Level(false, priorFrom, priorTo);
    const bool flat = Ringing(plainPrior);
    const double after = Level(flat, onsetPos + 1, onsetPos + 1 + len_.ms);
    const double prior = flat ? Level(true, priorFrom, priorTo) : plainPrior;
    if (after < kConfirmedRise * prior + 0.25 && !LoudRise(onsetPos + 1)) return std::nullopt;
    return after / (prior + 0.25);
}

void OnsetDetector::FitToRoom()
{
    // Tens of milliseconds on, the room has coloured the report's tail its
    // own way (the highs die first); fitted to the sound just before the
    // band the filter leaves a dull hiss there, and an impact's own colour
    // stands out. For a short flight that sound is still the report's late
    // ringing and reflections, which the impact must rise out of all the
    // same; the silence before the muzzle is no part of it, and a rise
    // already taken would lend the fit its colour. The running sum starts
    // far enough back for every look before a rise.
    const int rate = setup_.sampleRate;
    const std::int64_t start = scan_ - Ms(kRoomFitGapMs, rate);
    const std::int64_t first = std::max(start - Ms(kRoomFitMs, rate), static_cast<std::int64_t>(std::floor(muzzle_)));
    refitAt_ = -1;
    if (start - first < Ms(kFlattenFitMs, rate)) return;
    if (pendingStrength_ > 0 && pendingImpact_ >= static_cast<double>(first)) return;
    white_.Fit(Copy(first, start - first, flat_), start);
}

double OnsetDetector::FlatSplit(std::int64_t from, std::int64_t count, std::int64_t before)
{
    const std::int64_t lead = Whitener::kOrder;
    const std::span<float> x(flat_.data(), static_cast<std::size_t>(std::min<std::int64_t>(count + lead, static_cast<std::int64_t>(flat_.size()))));
    Copy(from - lead, static_cast<std::int64_t>(x.size()), flat_);
    return Split(white_.Flatten(x), from, before);
}

}  // namespace quorvel
