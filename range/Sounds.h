// The sounds of a range as pressure one metre from their source, sampled at
// the simulator's internal rate (well above any sound card's): the gun's
// report (a Friedlander pulse, the action's ringing, the hammer's click a few
// milliseconds before), an impact on a steel plate (a contact pulse exciting
// ringing modes) and one in a pellet trap (a broadband thud that rises
// slowly). Each sound knows where it truly starts and what colour its
// diffuse tail takes. Made by the session, one per event.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace quorvel::range {

struct Mode {
    double hz = 0;
    double tauMs = 0;  // amplitude time constant
    double amp = 0;
};

struct Wave {
    std::vector<float> samples;  // pressure at 1 m, internal rate
    std::int64_t onset = 0;      // the index where the sound truly starts
    double energy = 0;           // sum of squares over the rate
    // The colour of its reverberation: resonances with their share of the
    // energy, and a lowpassed broadband share.
    std::vector<Mode> colour;    // amp = share of the energy
    double broadband = 1;
    double broadbandHz = 2000;
};

// One gun: its pulse, its action, its hammer.
struct Gun {
    double pulseMs = 0.3;
    double decay = 1.5;         // Friedlander's b
    std::vector<Mode> action;   // rings from the report on
    std::vector<Mode> hammer;   // the click before it
    double clickLevel = 0.03;
    double clickLeadMs = 4;
};
Gun MakeGun(double pulseMs, std::uint32_t seed);
Wave Report(const Gun& gun, double level, int rate);

// A plate keeps its modes; where the pellet lands changes how strongly each rings.
struct Plate {
    std::vector<Mode> modes;
    double contactUs = 40;
};
Plate MakePlate(std::uint32_t seed);
Wave PlateImpact(const Plate& plate, double level, int rate, std::mt19937& rng);
Wave TrapImpact(double level, double riseMs, int rate, std::mt19937& rng);

}  // namespace quorvel::range
