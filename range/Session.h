// A shooting session on a simulated range, with its truth: a calibration
// recording of one shot (1.5 s, as the calibration window records), then a
// string of shots a few seconds apart, the gun's muzzle velocity varying
// shot to shot and the pellet slowing on its way. Neighbours fire on their
// own lanes at random times. Deterministic from the scene's seed.
#pragma once

#include <cstdint>
#include <vector>

#include "Scene.h"

namespace quorvel::range {

struct ShotTruth {
    double muzzle = 0;    // the report's direct sound at the microphone, in samples (fractional)
    double impact = 0;    // the impact's direct sound at the microphone
    double flight = 0;    // seconds between the two: the pellet's flight time
    double velocity = 0;  // the true average velocity over the distance, m/s
    double snrDb = 0;     // the impact's direct sound against everything else over its first 0.5 ms
};

struct NeighbourTruth {
    double report = 0;  // samples, at the microphone
    double impact = 0;
};

struct Recording {
    int rate = 0;
    std::vector<std::uint8_t> samples;  // unsigned 8-bit, silence at 128
    std::vector<ShotTruth> shots;
    std::vector<NeighbourTruth> neighbours;
};

struct Session {
    Recording calibration;
    Recording string;
};

Recording MakeRecording(const Scene& scene, int shots, double seconds, std::uint32_t seed);
Session MakeSession(const Scene& scene, int shots = 25);

}  // namespace quorvel::range
