// What comes before the impact as the string's signature has it. In a
// small room the walls near the target send the impact's sound back within
// a few milliseconds, several paths at once, and at the microphone that
// cluster can stand out of the report's tail where the direct sound does
// not: the calibration then takes the cluster for the impact, and the whole
// string follows it, every shot the same few milliseconds late. Lined up on
// the signature's onsets, the stretches before it average the room's tail
// away (it comes at the report's time, not the pellet's) while the direct
// sound, a fixed time ahead of its reflections, adds up: where the average
// starts to rise is where the impact really starts. Owned by the onset
// detector; sized once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvel {

class ImpactLead {
public:
    explicit ImpactLead(int rate);
    void Clear();
    // Samples kept before the signature's onset: 4 ms, the extra path of a
    // wall up to about 70 cm behind or beside the target.
    std::int64_t Length() const { return static_cast<std::int64_t>(sum_.size()); }
    int Heard() const { return heard_; }
    // Adds the stretch before one signature onset: x holds Length() + 1
    // samples from floor(onset) - Length(), and `fraction` is the onset's
    // part of a sample past that floor.
    void Add(std::span<const float> x, double fraction);
    // How many samples before the signature's onset the impact starts, once
    // enough impacts show a sound rising there out of an averaged-away room.
    std::optional<double> Earlier() const;

private:
    std::vector<float> sum_;
    std::vector<float> power_;  // each impact's squared differences, summed
    mutable std::vector<float> mean_;
    int rate_;
    int heard_ = 0;
};

}  // namespace quorvel
