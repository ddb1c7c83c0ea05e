#include "ImpactSignature.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "OnsetTuning.h"

namespace quorvel {

ImpactSignature::ImpactSignature(int rate)
    : wave_(static_cast<std::size_t>(std::min<std::int64_t>(onset::Ms(onset::kSignatureMs, rate), onset::kLongestSignature)), 0.0F),
      sum_(wave_.size(), 0.0F)
{
}

void ImpactSignature::Clear()
{
    std::fill(sum_.begin(), sum_.end(), 0.0F);
    sigmaSum_ = 0;
    heard_ = 0;
}

void ImpactSignature::Learn(std::span<const float> x, double onset, double sigma)
{
    const std::size_t n = wave_.size();
    if (x.size() < n + 1 || onset < 0 || onset >= 1) return;
    const auto f = static_cast<float>(onset);
    for (std::size_t k = 0; k < n; ++k) sum_[k] += (1 - f) * x[k] + f * x[k + 1];
    sigmaSum_ += sigma;
    ++heard_;
    energy_ = 0;
    double slope = 0;
    for (std::size_t k = 0; k < n; ++k) {
        wave_[k] = sum_[k] / static_cast<float>(heard_);
        energy_ += double{wave_[k]} * wave_[k];
        if (k > 0) slope += (double{wave_[k]} - wave_[k - 1]) * (double{wave_[k]} - wave_[k - 1]);
    }
    bandwidth_ = energy_ > 0 ? std::sqrt(slope / energy_) : 0;
}

std::optional<ImpactSignature::Match> ImpactSignature::Find(std::span<const float> x) const
{
    const std::size_t n = wave_.size();
    if (heard_ == 0 || energy_ <= 0 || x.size() < n + 2) return std::nullopt;
    const std::size_t lags = x.size() - n + 1;
    double heard = 0;
    for (std::size_t k = 0; k < n; ++k) heard += double{x[k]} * x[k];
    auto likeness = [&](std::size_t lag, double energy) {
        // Eight sums side by side, so that the compiler keeps them in vector lanes.
        std::array<float, 8> part{};
        std::size_t k = 0;
        for (; k + part.size() <= n; k += part.size()) {
            for (std::size_t j = 0; j < part.size(); ++j) part[j] += wave_[k + j] * x[lag + k + j];
        }
        double dot = 0;
        for (float p : part) dot += p;
        for (; k < n; ++k) dot += double{wave_[k]} * x[lag + k];
        return energy > 0 ? dot / std::sqrt(energy_ * energy) : 0.0;
    };
    // The most alike is the lowest unlikeness.
    onset::Lowest lowest;
    for (std::size_t lag = 0; lag < lags; ++lag) {
        if (lag > 0) heard += double{x[lag + n - 1]} * x[lag + n - 1] - double{x[lag - 1]} * x[lag - 1];
        lowest.Add(static_cast<std::int64_t>(lag), -likeness(lag, std::max(heard, 0.0)));
    }
    const auto at = static_cast<std::size_t>(lowest.at);
    const double best = -lowest.value;
    // Between samples: the peak of the parabola through the best lag and its neighbours.
    const double shift = at > 0 && at + 1 < lags ? lowest.Shift() : 0.0;
    Match m;
    m.onset = static_cast<double>(at) + shift;
    m.likeness = best;
    // A matched filter's timing: one over the signature's rms bandwidth times
    // the square root of twice the energy it found against what it did not.
    const double c2 = std::clamp(best * best, 1e-6, 1 - 1e-6);
    const double ratio = static_cast<double>(n) * c2 / (1 - c2);
    const double spread = bandwidth_ > 0 ? 1 / (bandwidth_ * std::sqrt(2 * ratio)) : 1.0;
    m.sigma = std::hypot(spread, sigmaSum_ / heard_ / std::sqrt(static_cast<double>(heard_)));
    return m;
}

}  // namespace quorvel
