#include "ImpactLead.h"

#include <algorithm>
#include <cmath>

#include "OnsetPicker.h"
#include "OnsetTuning.h"

namespace quorvel {

using namespace onset;

ImpactLead::ImpactLead(int rate)
    : sum_(static_cast<std::size_t>(Ms(kLeadMs, rate)), 0.0F), power_(sum_.size(), 0.0F), mean_(sum_.size(), 0.0F), rate_(rate)
{
}

void ImpactLead::Clear()
{
    std::fill(sum_.begin(), sum_.end(), 0.0F);
    std::fill(power_.begin(), power_.end(), 0.0F);
    heard_ = 0;
}

void ImpactLead::Add(std::span<const float> x, double fraction)
{
    const std::size_t n = sum_.size();
    if (x.size() < n + 1 || fraction < 0 || fraction >= 1) return;
    const auto f = static_cast<float>(fraction);
    float last = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const float v = (1 - f) * x[k] + f * x[k + 1];
        sum_[k] += v;
        if (k > 0) power_[k] += (v - last) * (v - last);
        last = v;
    }
    ++heard_;
}

std::optional<double> ImpactLead::Earlier() const
{
    if (heard_ < kLeadShots) return std::nullopt;
    const auto n = static_cast<std::int64_t>(sum_.size());
    for (std::size_t k = 0; k < sum_.size(); ++k) mean_[k] = sum_[k] / static_cast<float>(heard_);
    const double split = AicOnset(mean_);
    const auto at = static_cast<std::int64_t>(std::ceil(split));
    const std::int64_t soon = Ms(kLeadSoonMs, rate_);
    if (at < Ms(kLeadQuietMs, rate_) || n - at < soon) return std::nullopt;
    // The average's energy (of its differences) per sample over [from, to),
    // and how much of the impacts' own energy there it keeps: near 1 where
    // they agree, near 1 / heard where they are the room's, which differs
    // each time.
    struct Part {
        double energy = 0, kept = 0;
    };
    const auto part = [&](std::int64_t from, std::int64_t to) {
        double s = 0, each = 0;
        for (std::int64_t k = std::max<std::int64_t>(from, 1); k < to; ++k) {
            const auto i = static_cast<std::size_t>(k);
            s += (double{mean_[i]} - mean_[i - 1]) * (double{mean_[i]} - mean_[i - 1]);
            each += power_[i];
        }
        return Part{s / static_cast<double>(std::max<std::int64_t>(to - std::max<std::int64_t>(from, 1), 1)), each > 0 ? s * heard_ / each : 0};
    };
    if (part(at, at + soon).energy < kLeadRise * part(0, at).energy || part(at, n).kept < kLeadKept) return std::nullopt;
    // The split of an average of rises lands half a sample before where
    // they start (over the simulator's garage at 22 kHz as on sounds made
    // by hand).
    return static_cast<double>(n) - split - 0.5;
}

}  // namespace quorvel
