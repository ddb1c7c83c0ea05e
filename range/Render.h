// Puts sounds into one recording: each along every path the room offers
// (at the internal rate, so a direct sound's onset lands between the card's
// samples), its diffuse tail, the background noise, then the sound card.
// Also measures an impact's local signal-to-noise ratio: its direct sound
// against everything else in the recording over its first half
// millisecond. Owned by the session while it makes one recording.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "Room.h"
#include "Scene.h"
#include "SoundCard.h"
#include "Sounds.h"

namespace quorvel::range {

class Renderer {
public:
    // `gain`: full-scale units per unit of pressure 1 m from a source.
    Renderer(const Scene& scene, const Vec3& mic, double seconds, double gain, std::uint32_t seed);

    // Adds a sound leaving `source` at `emit` seconds; returns where its
    // direct sound's onset reaches the microphone, in the card's samples.
    double Add(const Vec3& source, const Wave& wave, double emit);

    // Mixes everything (after the anti-alias filter, with tails and the
    // background); call once, then LocalSnrDb and Card.
    void Mix();
    double LocalSnrDb(const Vec3& source, const Wave& wave, double emit) const;
    std::vector<std::uint8_t> Card();

    int InternalRate() const { return internalRate_; }

private:
    const std::vector<float>& Softened(const Wave& wave, int soft);
    std::int64_t Arrival(double seconds) const;

    const Scene& scene_;
    Vec3 mic_;
    double gain_;
    int factor_;
    int internalRate_;
    AntiAlias filter_;
    std::mt19937 rng_;
    std::vector<float> internal_;
    std::vector<bool> busy_;
    std::vector<float> tails_;
    std::vector<float> mix_;
    std::vector<std::vector<float>> softened_;  // the wave being added, lowpassed once per soft bounce
};

inline constexpr std::size_t kBusyBlock = 4096;

}  // namespace quorvel::range
