// The quietest and loudest sample of any stretch of a waveform, fast: a
// small pyramid of min/max pairs over 16 and 256 samples, built once when a
// waveform arrives, answers a screen column's question without walking all
// its samples. A peak is never lost, whatever the zoom.
#pragma once

#include <cstdint>
#include <vector>

namespace quorvel {

class MinMaxPyramid {
public:
    struct Range {
        std::uint8_t low = 255;
        std::uint8_t high = 0;
    };

    void Build(const std::uint8_t* samples, int count);
    // Samples first..last inclusive (clamped to the waveform).
    Range Query(int first, int last) const;

private:
    static constexpr int kFine = 16;
    static constexpr int kCoarse = 256;
    const std::uint8_t* samples_ = nullptr;
    int count_ = 0;
    std::vector<Range> fine_;
    std::vector<Range> coarse_;
};

}  // namespace quorvel
