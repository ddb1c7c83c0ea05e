// What the room does with the shooter's own report: the sound heard after
// each muzzle onset, up to just before that shot's impact, averaged over the
// shots so far. Gun, microphone and walls stay put, so the report's echoes
// come back at the same delays and in the same shape every shot, while an
// impact comes with the pellet's own flight time and the room's diffuse tail
// differs each time (and averages away). A rise that repeats what earlier
// shots heard at that delay is an echo. Owned by the onset detector; sized
// once for its impact window.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvel {

class EchoMap {
public:
    explicit EchoMap(std::size_t length);
    void Clear();
    std::size_t Length() const { return sum_.size(); }
    // One sample heard `delay` samples after a muzzle onset.
    void Add(std::size_t delay, float value)
    {
        if (delay < sum_.size()) {
            sum_[delay] += value;
            count_[delay] += 1;
        }
    }
    // Whether `segment`, heard from `delay` samples after the muzzle onset,
    // repeats what earlier shots heard there (within `maxLag` samples);
    // nothing when no earlier shot was heard that far.
    std::optional<bool> Repeats(std::span<const float> segment, std::int64_t delay, int maxLag) const;

private:
    std::vector<float> sum_;
    std::vector<float> count_;
};

}  // namespace quorvel
