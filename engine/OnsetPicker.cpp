#include "OnsetPicker.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "LineFit.h"
#include "OnsetTuning.h"

namespace quorvel {

using onset::Ms;

namespace {

double Variance(double sum, double squares, double n)
{
    const double mean = sum / n;
    return std::max(squares / n - mean * mean, 0.0) + onset::kRoundingVariance;
}

}  // namespace

double AicOnset(std::span<const float> x)
{
    const auto n = static_cast<std::int64_t>(x.size());
    if (n < 8) return static_cast<double>(n) / 2;
    auto high = [&](std::int64_t i) { return i > 0 ? double{x[static_cast<std::size_t>(i)]} - x[static_cast<std::size_t>(i - 1)] : 0.0; };
    double total = 0, totalSq = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        total += high(i);
        totalSq += high(i) * high(i);
    }
    // AIC(k) = k ln var(x[0,k)) + (n-k-1) ln var(x[k,n)); the first `k`
    // samples are background, the rest the new sound.
    double sum = 0, squares = 0;
    onset::Lowest lowest;
    for (std::int64_t k = 1; k < n - 1; ++k) {
        sum += high(k - 1);
        squares += high(k - 1) * high(k - 1);
        if (k < 2) continue;
        const auto kk = static_cast<double>(k);
        const auto rest = static_cast<double>(n - k);
        lowest.Add(k, kk * std::log(Variance(sum, squares, kk)) + (rest - 1) * std::log(Variance(total - sum, totalSq - squares, rest)));
    }
    // Between samples: the vertex of the parabola through the minimum and
    // its neighbours, and the onset lies half a sample before the first
    // sample of the new sound.
    const double shift = lowest.at > 2 && lowest.at < n - 2 ? lowest.Shift() : 0.0;
    return static_cast<double>(lowest.at) + shift - 0.5;
}

namespace {

// The fit moves a crack's onset later than the split by at most this: a
// converter's ringing before a crack pulls the split a few samples early,
// while anything more is the fit following a wavering envelope.
constexpr double kLatestMs = 0.15;

// RMS of x over the window of `half` samples either side of i.
double Envelope(std::span<const float> x, std::int64_t i, std::int64_t half)
{
    return std::sqrt(MeanSquare(x, i - half, i + half + 1));
}

// Where the envelope first reaches `level` after `from` (between samples), or -1.
double Reach(std::span<const float> x, std::int64_t from, std::int64_t to, std::int64_t half, double level)
{
    double previous = Envelope(x, from - 1, half);
    for (std::int64_t i = from; i < to; ++i) {
        const double e = Envelope(x, i, half);
        if (e >= level) return static_cast<double>(i - 1) + (e > previous ? (level - previous) / (e - previous) : 1.0);
        previous = e;
    }
    return -1;
}

// Where the envelope last rose through `level` before `before`, for good:
// a noisy thud's envelope dips below it for a moment on its way up, so the
// rise starts only where it stayed below for a whole window.
double LastRise(std::span<const float> x, std::int64_t before, std::int64_t earliest, std::int64_t half, double level)
{
    std::int64_t i = before;
    std::int64_t below = 0;
    std::int64_t crossing = before;
    while (i > earliest && below <= 2 * half) {
        --i;
        if (Envelope(x, i, half) >= level) {
            below = 0;
            crossing = i;
        } else {
            ++below;
        }
    }
    const double under = Envelope(x, crossing - 1, half), over = Envelope(x, crossing, half);
    return static_cast<double>(crossing - 1) + (over > under ? std::clamp((level - under) / (over - under), 0.0, 1.0) : 1.0);
}

}  // namespace

double RiseOnset(std::span<const float> x, double coarse, int rate)
{
    const auto k = static_cast<std::int64_t>(std::floor(coarse));
    const std::int64_t half = Ms(0.05, rate);
    const double background = std::sqrt(MeanSquare(x, k - Ms(3, rate), k - Ms(0.3, rate)));
    double peak = 0;
    for (std::int64_t i = k; i < k + Ms(1.5, rate); ++i) peak = std::max(peak, Envelope(x, i, half));
    // The straight part of the rise: from well above the background to
    // three fifths of the peak.
    const double low = std::max(0.2 * peak, 1.5 * background);
    const double high = 0.6 * peak;
    if (peak <= 0 || low >= 0.45 * peak) return coarse;
    const double upper = Reach(x, k - Ms(0.25, rate), k + Ms(1.5, rate), half, high);
    if (upper < 0) return coarse;
    const double lower = LastRise(x, static_cast<std::int64_t>(std::floor(upper)), k - Ms(1, rate), half, low);
    if (upper <= lower) return coarse;
    const double slope = (high - low) / (upper - lower);
    const double onset = lower - (low - background) / slope;
    // Only a crack (up within two envelope windows) may move later than
    // the split, and only a little; a swell only earlier.
    const bool crack = upper - lower <= static_cast<double>(2 * (2 * half + 1));
    const double latest = crack ? static_cast<double>(Ms(kLatestMs, rate)) : 0.0;
    return std::clamp(onset, coarse - static_cast<double>(Ms(1, rate)), coarse + latest);
}

namespace {

// A jump riding on a slow swell (a room's low rumble, the report's muffled
// reflection): measured from the straight line the swell drew just before
// it, it is a jump out of quiet all the same.
std::optional<double> JumpOnSwell(std::span<const float> x, std::int64_t c, std::int64_t p, double sign, double swell, int rate)
{
    const std::int64_t to = c - Ms(0.02, rate), from = to - Ms(0.3, rate);
    if (from < 0 || to - from < 4) return std::nullopt;
    LineFit line;
    for (std::int64_t i = from; i < to; ++i) line.Add(static_cast<double>(i - c), x[static_cast<std::size_t>(i)]);
    const double slope = line.Slope(), level = line.Level();
    auto at = [&](std::int64_t i) { return sign * (double{x[static_cast<std::size_t>(i)]} - level - slope * static_cast<double>(i - c)); };
    const double height = at(p);
    double before = 0;
    for (std::int64_t i = from; i < to; ++i) before = std::max(before, std::abs(at(i)));
    if (height <= 0 || before > 0.2 * height || swell > 0.6 * height) return std::nullopt;
    std::int64_t k = p;
    while (k > from && at(k - 1) >= height / 2) --k;
    if (p - k > Ms(0.04, rate) || k < c - 1) return std::nullopt;
    // Sudden against the swell: its steepest step dwarfs the swell's.
    double steepest = 0, swellStep = 0;
    for (std::int64_t i = k; i <= p; ++i) steepest = std::max(steepest, at(i) - at(i - 1));
    for (std::int64_t i = from + 1; i < to; ++i) swellStep = std::max(swellStep, std::abs(at(i) - at(i - 1)));
    if (steepest < 4 * swellStep) return std::nullopt;
    const double now = at(k), previous = at(k - 1);
    return static_cast<double>(k - 1) + (now > previous ? std::clamp((height / 2 - previous) / (now - previous), 0.0, 1.0) : 1.0);
}

}  // namespace

std::optional<double> ShockOnset(std::span<const float> x, double coarse, int rate)
{
    const auto n = static_cast<std::int64_t>(x.size());
    const auto k = static_cast<std::int64_t>(std::floor(coarse));
    const std::int64_t from = std::max<std::int64_t>(1, k - Ms(0.25, rate));
    const std::int64_t to = std::min(n, k + Ms(0.4, rate));
    const std::int64_t quietFrom = std::max<std::int64_t>(0, k - Ms(1.5, rate)), quietTo = std::max<std::int64_t>(0, k - Ms(0.3, rate));
    if (to - from < 3 || quietTo - quietFrom < 4) return std::nullopt;
    double level = 0;
    for (std::int64_t i = quietFrom; i < quietTo; ++i) level += x[static_cast<std::size_t>(i)];
    level /= static_cast<double>(quietTo - quietFrom);
    auto at = [&](std::int64_t i) { return double{x[static_cast<std::size_t>(i)]} - level; };
    double most = 0;
    for (std::int64_t i = from; i < to; ++i) most = std::max(most, std::abs(at(i)));
    // The first sudden swing that counts, followed to its peak: a small
    // slow one before it is a swell it may ride on.
    std::int64_t p = from, c = from;
    double sign = 1, half = 0;
    for (bool sudden = false; !sudden; ++p) {
        while (p < to && std::abs(at(p)) < 0.3 * most) ++p;
        if (p >= to) return std::nullopt;
        sign = at(p) > 0 ? 1.0 : -1.0;
        while (p + 1 < to && sign * at(p + 1) > sign * at(p)) ++p;
        half = sign * at(p) / 2;
        c = p;
        while (c > from && sign * at(c - 1) >= half) --c;
        // One that began before the look is no jump seen whole.
        sudden = p - c <= Ms(0.04, rate) && c > from;
        // A slow swing as big as half the largest in the look is the
        // sound's own start (a thud's, whose later wiggles are sudden).
        if (!sudden && sign * at(p) >= 0.5 * most) return std::nullopt;
    }
    --p;
    // Once a slow swing was passed over, what came before the jump is never
    // quiet: the jump is measured from the swing's line (JumpOnSwell), whose
    // straightness is what keeps a later ring cycle from passing for it.
    // A jump out of quiet: before it, nothing near its height (a swelling
    // thud's earlier wiggles are), and up from half its height at once.
    double before = std::sqrt(MeanSquare(x, quietFrom, quietTo));
    for (std::int64_t i = std::max<std::int64_t>(0, c - Ms(0.6, rate)); i < c - 1; ++i) before = std::max(before, std::abs(at(i)));
    if (before <= 0.2 * sign * at(p)) {
        const double now = sign * at(c), previous = sign * at(c - 1);
        return static_cast<double>(c - 1) + (now > previous ? std::clamp((half - previous) / (now - previous), 0.0, 1.0) : 1.0);
    }
    return JumpOnSwell(x, c, p, sign, before, rate);
}

double MeanSquare(std::span<const float> x, std::int64_t begin, std::int64_t end)
{
    begin = std::max<std::int64_t>(begin, 0);
    end = std::min<std::int64_t>(end, static_cast<std::int64_t>(x.size()));
    if (end <= begin) return 0;
    double e = 0;
    for (std::int64_t i = begin; i < end; ++i) e += double{x[static_cast<std::size_t>(i)]} * x[static_cast<std::size_t>(i)];
    return e / static_cast<double>(end - begin);
}

double Likeness(std::span<const float> report, std::span<const float> other, int maxLag)
{
    const std::size_t length = report.size();
    if (length == 0 || maxLag < 0 || other.size() < length + 2 * static_cast<std::size_t>(maxLag)) return 0;
    double rr = 0;
    for (float v : report) rr += double{v} * v;
    double best = 0;
    for (int lag = 0; lag <= 2 * maxLag; ++lag) {
        double ro = 0, oo = 0;
        for (std::size_t k = 0; k < length; ++k) {
            const double o = other[k + static_cast<std::size_t>(lag)];
            ro += report[k] * o;
            oo += o * o;
        }
        if (rr > 0 && oo > 0) best = std::max(best, ro / std::sqrt(rr * oo));
    }
    return best;
}

double OnsetSigma(double riseSamples, double backgroundRms, double peak)
{
    const double blur = peak > 0 ? std::max(riseSamples, 1.0) * backgroundRms / peak : riseSamples;
    return std::sqrt(blur * blur + onset::kRoundingVariance);
}

}  // namespace quorvel
