#include "OnsetPicker.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// The variance below which nothing can be told apart: an 8-bit step's rounding.
constexpr double kFloorVariance = 1.0 / 12;

double Variance(double sum, double squares, double n)
{
    const double mean = sum / n;
    return std::max(squares / n - mean * mean, 0.0) + kFloorVariance;
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
    double best = 0, prev = 0, beforeBest = 0, afterBest = 0;
    std::int64_t bestK = -1;
    for (std::int64_t k = 1; k < n - 1; ++k) {
        sum += high(k - 1);
        squares += high(k - 1) * high(k - 1);
        if (k < 2) continue;
        const auto kk = static_cast<double>(k);
        const auto rest = static_cast<double>(n - k);
        const double aic = kk * std::log(Variance(sum, squares, kk)) +
                           (rest - 1) * std::log(Variance(total - sum, totalSq - squares, rest));
        if (bestK == k - 1) afterBest = aic;
        if (bestK < 0 || aic < best) {
            best = aic;
            bestK = k;
            beforeBest = prev;
            afterBest = aic;
        }
        prev = aic;
    }
    // Between samples: the vertex of the parabola through the minimum and
    // its neighbours, and the onset lies half a sample before the first
    // sample of the new sound.
    double shift = 0;
    const double curve = beforeBest - 2 * best + afterBest;
    if (bestK > 2 && bestK < n - 2 && curve > 0) shift = std::clamp(0.5 * (beforeBest - afterBest) / curve, -0.5, 0.5);
    return static_cast<double>(bestK) + shift - 0.5;
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
    return std::sqrt(blur * blur + 1.0 / 12);
}

}  // namespace quorvel
