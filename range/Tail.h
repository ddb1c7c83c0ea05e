// The diffuse reverberant tail of one sound: noise coloured like the sound
// (its resonances and its broadband share), whose energy envelope is the
// sound's own energy spread by the room's exponential decay after a short
// build-up. It has no sudden rise anywhere, as a real tail has none; its
// strength comes from the room (Room.h). Added at the card's rate, after the
// anti-alias filter, since nothing in it is sharper than the filter.
#pragma once

#include <random>
#include <vector>

#include "Sounds.h"

namespace quorvel::range {

struct TailShape {
    double rt60 = 1;      // seconds
    double buildMs = 10;  // how long the diffuse field takes to fill
    double energy = 0;    // the tail's whole energy at the microphone
};

// Adds the tail of `wave` (at `waveRate`) whose direct sound reaches the
// microphone at `onset` (samples at `rate`) to `out`.
void AddTail(std::vector<float>& out, double onset, const Wave& wave, int waveRate, const TailShape& shape, int rate,
             std::mt19937& rng);

}  // namespace quorvel::range
