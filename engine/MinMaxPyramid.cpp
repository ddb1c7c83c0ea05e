#include "MinMaxPyramid.h"

#include <algorithm>

namespace quorvel {

namespace {
void Widen(MinMaxPyramid::Range& r, const MinMaxPyramid::Range& by)
{
    r.low = std::min(r.low, by.low);
    r.high = std::max(r.high, by.high);
}
}  // namespace

void MinMaxPyramid::Build(const std::uint8_t* samples, int count)
{
    samples_ = samples;
    count_ = count;
    // Each level grows a bucket at a time, so no bucket count is worked out
    // (and none can be one short for a last bucket of a single sample).
    fine_.clear();
    coarse_.clear();
    for (int i = 0; i < count; ++i) {
        const Range one{samples[i], samples[i]};
        if (i % kFine == 0) fine_.push_back(one);
        if (i % kCoarse == 0) coarse_.push_back(one);
        Widen(fine_.back(), one);
        Widen(coarse_.back(), one);
    }
}

MinMaxPyramid::Range MinMaxPyramid::Query(int first, int last) const
{
    Range r;
    first = std::max(first, 0);
    last = std::min(last, count_ - 1);
    int i = first;
    const auto raw = [&](int upTo) {
        for (; i <= last && i < upTo; ++i) Widen(r, Range{samples_[i], samples_[i]});
    };
    raw((first + kFine - 1) / kFine * kFine);
    for (; i % kCoarse != 0 && i + kFine - 1 <= last; i += kFine) Widen(r, fine_[static_cast<std::size_t>(i / kFine)]);
    for (; i + kCoarse - 1 <= last; i += kCoarse) Widen(r, coarse_[static_cast<std::size_t>(i / kCoarse)]);
    for (; i + kFine - 1 <= last; i += kFine) Widen(r, fine_[static_cast<std::size_t>(i / kFine)]);
    raw(last + 1);
    return r;
}

}  // namespace quorvel
