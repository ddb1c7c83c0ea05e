#include "Whitener.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

void Whitener::Fit(std::span<const float> sound, std::int64_t from)
{
    // Levinson-Durbin on the autocorrelation; a touch of white noise on its
    // zero lag keeps a clipped or nearly pure report from a filter that
    // would blow up what little lies between its lines.
    std::array<double, kOrder + 1> r{};
    for (int k = 0; k <= kOrder; ++k) {
        for (std::size_t i = static_cast<std::size_t>(k); i < sound.size(); ++i) r[static_cast<std::size_t>(k)] += double{sound[i]} * sound[i - static_cast<std::size_t>(k)];
    }
    a_ = {1.0};
    start_ = upTo_ = from;
    if (sound.size() <= static_cast<std::size_t>(2 * kOrder) || r[0] <= 0) return;
    r[0] = r[0] * 1.001 + 1e-9;
    double error = r[0];
    for (int i = 1; i <= kOrder; ++i) {
        double acc = r[static_cast<std::size_t>(i)];
        for (int j = 1; j < i; ++j) acc += a_[static_cast<std::size_t>(j)] * r[static_cast<std::size_t>(i - j)];
        const double k = -acc / error;
        std::array<double, kOrder + 1> next = a_;
        for (int j = 1; j < i; ++j) next[static_cast<std::size_t>(j)] += k * a_[static_cast<std::size_t>(i - j)];
        next[static_cast<std::size_t>(i)] = k;
        a_ = next;
        error *= 1 - k * k;
        if (error <= 0) break;
    }
}

void Whitener::Flatten(std::span<const float> in, std::span<float> out) const
{
    for (std::size_t i = 0; i < in.size() && i < out.size(); ++i) {
        double y = 0;
        for (std::size_t k = 0; k <= static_cast<std::size_t>(kOrder) && k <= i; ++k) y += a_[k] * in[i - k];
        out[i] = static_cast<float>(y);
    }
}

void Whitener::RunTo(const std::vector<std::uint8_t>& ring, std::int64_t to)
{
    double total = upTo_ > start_ ? running_[static_cast<std::size_t>(upTo_ - 1) & mask_] : 0.0;
    for (; upTo_ < to; ++upTo_) {
        double y = 0;
        for (int k = 0; k <= kOrder; ++k) {
            y += a_[static_cast<std::size_t>(k)] * (ring[static_cast<std::size_t>(upTo_ - k) & mask_] - 128.0);
        }
        total += y * y;
        running_[static_cast<std::size_t>(upTo_) & mask_] = total;
    }
}

double Whitener::MeanSquare(const std::vector<std::uint8_t>& ring, std::int64_t from, std::int64_t to)
{
    from = std::max(from, start_);
    if (to <= from) return 0;
    RunTo(ring, to);
    const double upper = running_[static_cast<std::size_t>(to - 1) & mask_];
    const double lower = from == start_ ? 0.0 : running_[static_cast<std::size_t>(from - 1) & mask_];
    return (upper - lower) / static_cast<double>(to - from);
}

}  // namespace quorvel
