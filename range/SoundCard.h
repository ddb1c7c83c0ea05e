// What a sound card does to the pressure at its input: a linear-phase
// anti-alias filter while decimating from the simulator's internal rate (a
// sharp onset shows a little ringing before it, as from a delta-sigma
// converter), DC blocking, its gain, clipping at full scale and unsigned
// 8-bit samples centred on 128.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel::range {

class AntiAlias {
public:
    explicit AntiAlias(int factor);
    // out[n] = filtered in[n * factor], the filter centred (no delay). Only
    // the blocks of `in` marked busy (blockSize input samples each) are
    // filtered; the rest of `out` is left as it is.
    void Decimate(const std::vector<float>& in, const std::vector<bool>& busy, std::size_t blockSize,
                  std::vector<float>& out) const;
    // The filtered value at input index `centre` of a sound given as a
    // function of the input index.
    template <class Sound>
    double At(Sound sound, std::int64_t centre) const
    {
        double acc = 0;
        for (int k = -half_; k <= half_; ++k) acc += double{taps_[static_cast<std::size_t>(k + half_)]} * sound(centre - k);
        return acc;
    }
    int Factor() const { return factor_; }
    int HalfLength() const { return half_; }

private:
    int factor_;
    int half_;
    std::vector<float> taps_;  // 2 * half_ + 1
};

// A first-order high-pass at `hz`, in place.
void BlockDc(std::vector<float>& sound, int rate, double hz);

// 128 + 128 x, rounded, clipped to 0..255.
std::vector<std::uint8_t> EightBit(const std::vector<float>& sound);

}  // namespace quorvel::range
