#include "SoundCard.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::range {

AntiAlias::AntiAlias(int factor) : factor_(std::max(1, factor)), half_(24 * std::max(1, factor))
{
    // Windowed sinc passing to 0.45 of the output rate (Blackman window).
    const double cutoff = 0.45 / factor_;
    taps_.resize(static_cast<std::size_t>(2 * half_ + 1));
    double sum = 0;
    for (int k = -half_; k <= half_; ++k) {
        const double x = 2 * cutoff * k;
        const double sinc = k == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double u = static_cast<double>(k + half_) / (2 * half_);
        const double window = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * u) + 0.08 * std::cos(4 * std::numbers::pi * u);
        taps_[static_cast<std::size_t>(k + half_)] = static_cast<float>(sinc * window);
        sum += sinc * window;
    }
    for (float& t : taps_) t = static_cast<float>(t / sum);
}

void AntiAlias::Decimate(const std::vector<float>& in, const std::vector<bool>& busy, std::size_t blockSize,
                         std::vector<float>& out) const
{
    const auto n = static_cast<std::int64_t>(in.size());
    const auto reach = static_cast<std::int64_t>(half_);
    for (std::size_t o = 0; o < out.size(); ++o) {
        const std::int64_t centre = static_cast<std::int64_t>(o) * factor_;
        if (centre >= n) break;
        // Busy if any input block under the filter is.
        const auto lo = static_cast<std::size_t>(std::max<std::int64_t>(0, centre - reach)) / blockSize;
        const auto hi = static_cast<std::size_t>(std::min(n - 1, centre + reach)) / blockSize;
        bool any = false;
        for (std::size_t b = lo; b <= hi && !any; ++b) any = busy[b];
        if (!any) continue;
        double acc = 0;
        for (std::int64_t k = -reach; k <= reach; ++k) {
            const std::int64_t i = centre - k;
            if (i < 0 || i >= n) continue;
            acc += double{taps_[static_cast<std::size_t>(k + reach)]} * in[static_cast<std::size_t>(i)];
        }
        out[o] += static_cast<float>(acc);
    }
}

void BlockDc(std::vector<float>& sound, int rate, double hz)
{
    const double r = 1 - 2 * std::numbers::pi * hz / std::max(rate, 1);
    double x1 = 0, y1 = 0;
    for (float& s : sound) {
        const double y = s - x1 + r * y1;
        x1 = s;
        y1 = y;
        s = static_cast<float>(y);
    }
}

std::vector<std::uint8_t> EightBit(const std::vector<float>& sound)
{
    std::vector<std::uint8_t> out(sound.size());
    std::transform(sound.begin(), sound.end(), out.begin(), [](float s) {
        const double v = std::round(128.0 + 128.0 * double{s});
        return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
    });
    return out;
}

}  // namespace quorvel::range
