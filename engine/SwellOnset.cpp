// A swell's foot: where a thud that grows out of the background started.
// A pellet trap's thud is band-limited noise whose loudness grows over a
// fraction of a millisecond; its waveform wanders with the noise, so no
// single crossing or envelope line marks the start. Its variance does grow
// steadily, and that is what the fit below follows, sample by sample.
#include <algorithm>
#include <cmath>

#include "LineFit.h"
#include "OnsetPicker.h"
#include "OnsetTuning.h"

namespace quorvel {

using onset::Ms;

namespace {

// Only a swell this far above what went before (peak against RMS) shows
// its foot; below, the room's own wandering passes for one.
constexpr double kClearSwellDb = 18;
// How far before the split a foot is searched for, and believed.
constexpr double kSearchMs = 1.0;
constexpr double kFarthestFootMs = 0.5;

// Everything the likelihood of one trial needs.
struct Trial {
    std::span<const float> x;
    std::int64_t origin = 0, from = 0, to = 0;  // u counts from origin; samples [from, to) after the background
    double level = 0, slope = 0, background = 0, backgroundLl = 0;

    double Residual(std::int64_t i) const
    {
        return x[static_cast<std::size_t>(i)] - level - slope * static_cast<double>(i - origin);
    }
    // Log-likelihood (doubled, negated constant dropped) of a variance that
    // grows as (g (i - t))^2 over the background from t on.
    double Ramp(double t, double g) const
    {
        double ll = backgroundLl;
        for (std::int64_t i = from; i < to; ++i) {
            const double d = std::max(static_cast<double>(i) - t, 0.0);
            const double v = background + g * g * d * d;
            const double e = Residual(i);
            ll -= std::log(v) + e * e / v;
        }
        return ll;
    }
    // The best growth for a start t: a coarse sweep, then halving steps.
    double BestRamp(double t) const
    {
        double bestG = 0.02, best = Ramp(t, bestG);
        for (double g = 0.04; g < 80; g *= 2) {
            const double ll = Ramp(t, g);
            if (ll > best) best = ll, bestG = g;
        }
        for (double step = std::sqrt(2.0); step > 1.05; step = std::sqrt(step)) {
            for (const double g : {bestG / step, bestG * step}) {
                const double ll = Ramp(t, g);
                if (ll > best) best = ll, bestG = g;
            }
        }
        return best;
    }
};

// A trial foot at t0, the background being the line fitted before it.
Trial TrialAfter(std::span<const float> x, const LineFit& background, std::int64_t origin, std::int64_t t0, std::int64_t to)
{
    const double variance = background.Residual() + onset::kRoundingVariance;
    return {x, origin, t0, to, background.Level(), background.Slope(), variance, -background.s0 * (std::log(variance) + 1)};
}

}  // namespace

std::optional<double> SwellOnset(std::span<const float> x, double coarse, int rate)
{
    const auto n = static_cast<std::int64_t>(x.size());
    const auto k = static_cast<std::int64_t>(std::floor(coarse));
    const std::int64_t backgroundFrom = k - Ms(2.5, rate);
    const std::int64_t earliest = k - Ms(kSearchMs, rate), to = std::min(n, k + Ms(0.25, rate));
    if (backgroundFrom < 0 || to - earliest < 8) return std::nullopt;
    LineFit line;
    for (std::int64_t i = backgroundFrom; i < earliest; ++i) line.Add(static_cast<double>(i - k), x[static_cast<std::size_t>(i)]);
    double peak = 0;
    for (std::int64_t i = k; i < std::min(n, k + Ms(1, rate)); ++i) peak = std::max(peak, std::abs(x[static_cast<std::size_t>(i)] - line.Mean()));
    // The 0.3 keeps a background of a step or two of rounding from passing for silence.
    const double rms = std::sqrt(line.Spread()) + 0.3;
    if (20 * std::log10(std::max(peak, 1e-9) / rms) < kClearSwellDb) return std::nullopt;
    // Whole samples first, then quarters around the best.
    const std::int64_t stride = std::max<std::int64_t>(1, rate / 48000);
    double best = -1e300, bestT = coarse;
    std::int64_t bestT0 = k;
    for (std::int64_t t0 = earliest; t0 <= k; ++t0) {
        if ((t0 - earliest) % stride == 0) {
            const double ll = TrialAfter(x, line, k, t0, to).BestRamp(static_cast<double>(t0));
            if (ll > best) best = ll, bestT = static_cast<double>(t0), bestT0 = t0;
        }
        line.Add(static_cast<double>(t0 - k), x[static_cast<std::size_t>(t0)]);
    }
    // Around the best whole sample, with the background as it stood there.
    LineFit around;
    for (std::int64_t i = backgroundFrom; i < bestT0 - stride; ++i) around.Add(static_cast<double>(i - k), x[static_cast<std::size_t>(i)]);
    for (std::int64_t t0 = std::max(earliest, bestT0 - stride); t0 <= std::min(k, bestT0 + stride); ++t0) {
        const Trial trial = TrialAfter(x, around, k, t0, to);
        for (const double quarter : {0.0, 0.25, 0.5, 0.75}) {
            const double ll = trial.BestRamp(static_cast<double>(t0) + quarter);
            if (ll > best) best = ll, bestT = static_cast<double>(t0) + quarter;
        }
        around.Add(static_cast<double>(t0 - k), x[static_cast<std::size_t>(t0)]);
    }
    // A foot pushed to the far half of the search is the fit following the
    // background's own wandering (a tail, a rumble), not a swell.
    if (bestT < static_cast<double>(k - Ms(kFarthestFootMs, rate))) return std::nullopt;
    return bestT;
}

}  // namespace quorvel
