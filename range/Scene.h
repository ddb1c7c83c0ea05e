// What a simulated shooting range is made of: the room or the open field
// around the firing line, where gun, target and microphone stand, the gun and
// its pellet, the target, the neighbours and the sound card. A scene is a
// plain value; the catalogue names the fixed set `make range` measures, and
// the tests build their own. Owned by whoever makes a session from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::range {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

enum class Target { Plate, Trap };

// Surfaces, in this order: behind the gun (x = 0), behind the target
// (x = size.x), the two sides (y = 0, y = size.y), floor, ceiling.
enum Wall : std::size_t { kBehindGun, kBackstop, kSideNear, kSideFar, kFloor, kCeiling, kWalls };

struct Scene {
    std::string name;
    std::string kind;              // what the report groups by: "garage", "hall", "outdoor", ...
    Vec3 size{8, 4, 2.6};          // the room (outdoors: the stretch the ground and backstop span)
    std::array<double, kWalls> reflection{};  // pressure reflection coefficient, 0 = no surface
    std::array<bool, kWalls> soft{};          // soaks up highs: each bounce lowpasses the sound
    double softCutoffHz = 2500;
    int maxOrder = 3;              // image sources up to this many bounces
    double rt60 = 0;               // seconds; 0 = no diffuse tail (open field)
    double tailScale = 1;          // energy of the diffuse tail against Sabine's estimate

    Vec3 gun{1, 2, 1.2};           // the muzzle; the target stands `distance` further along x
    double distance = 10;          // metres from muzzle to target
    double micSide = 0.6;          // microphone beside the line of fire, at half the distance
    double micHeight = 1.0;
    double temperature = 15;       // degrees Celsius

    double velocity = 240;         // the gun's mean muzzle velocity, m/s
    double velocitySd = 0.008;     // its shot-to-shot spread, a fraction of the mean
    double drag = 0.0105;          // per metre: v(x) = v0 exp(-drag x)
    double reportMs = 0.3;         // the Friedlander pulse's positive phase
    std::uint32_t gunSeed = 1;     // picks the action's ringing and the hammer's click

    Target target = Target::Plate;
    double impactDb = -10;         // the impact's peak against the report's, both at 1 m
    double impactSpreadDb = 3;     // shot-to-shot spread of the impact's level
    double trapRiseMs = 0.5;       // a pellet trap's thud takes this long to rise

    double neighboursPerMinute = 0;
    double neighbourLane = 2.5;    // metres between lanes
    double neighbourDb = -3;       // their guns against ours, at 1 m
    bool neighboursInWindows = false;  // also place some inside our impact windows

    double noiseDbfs = -48;        // background noise at the card
    double reportPeak = 0.7;       // the report's direct sound at the card, 1 = full scale (above 1 clips)
    int rate = 96000;
    double spacingS = 3;           // mean time between shots
    std::uint32_t seed = 1;
};

// Speed of sound in air at `celsius`.
double SpeedOfSound(double celsius);

// The fixed set of scenes `make range` measures: garages, halls, outdoor
// ranges with and without neighbours, plates and traps, every rate, some
// harder than a real range.
std::vector<Scene> Catalogue();

}  // namespace quorvel::range
