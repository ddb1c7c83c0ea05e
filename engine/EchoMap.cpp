#include "EchoMap.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// An echo repeats the earlier shots' sound this closely, and is at most
// this many times as strong (the report's level changes by about a dB).
constexpr double kSameSound = 0.7;
constexpr double kSameStrength = 4.0;

}  // namespace

EchoMap::EchoMap(std::size_t length) : sum_(length, 0.0F), count_(length, 0.0F) {}

void EchoMap::Clear()
{
    std::fill(sum_.begin(), sum_.end(), 0.0F);
    std::fill(count_.begin(), count_.end(), 0.0F);
}

std::optional<bool> EchoMap::Repeats(std::span<const float> segment, std::int64_t delay, int maxLag) const
{
    const auto n = static_cast<std::int64_t>(segment.size());
    if (n == 0 || delay - maxLag < 0 || delay + n + maxLag > static_cast<std::int64_t>(sum_.size())) return std::nullopt;
    for (std::int64_t i = delay - maxLag; i < delay + n + maxLag; ++i) {
        if (count_[static_cast<std::size_t>(i)] == 0) return std::nullopt;
    }
    double ss = 0;
    for (float v : segment) ss += double{v} * v;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sm = 0, mm = 0;
        for (std::int64_t k = 0; k < n; ++k) {
            const auto at = static_cast<std::size_t>(delay + lag + k);
            const double m = sum_[at] / count_[at];
            sm += segment[static_cast<std::size_t>(k)] * m;
            mm += m * m;
        }
        if (ss > 0 && mm > 0 && sm / std::sqrt(ss * mm) >= kSameSound && ss <= kSameStrength * mm) return true;
    }
    return false;
}

}  // namespace quorvel
