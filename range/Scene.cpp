#include "Scene.h"

#include <cmath>

namespace quorvel::range {

double SpeedOfSound(double celsius) { return 331.3 * std::sqrt(1 + celsius / 273.15); }

namespace {

// A bare room: concrete or brick walls, a hard floor.
Scene Room(const char* name, const char* kind, Vec3 size, double walls, double rt60)
{
    Scene s;
    s.name = name;
    s.kind = kind;
    s.size = size;
    s.reflection = {walls, walls, walls, walls, 0.92, walls * 0.9};
    s.rt60 = rt60;
    s.maxOrder = 3;
    return s;
}

// Open ground (grass soaks up highs) and a backstop behind the target.
Scene Field(const char* name, const char* kind, double ground, double backstop)
{
    Scene s;
    s.name = name;
    s.kind = kind;
    s.size = {60, 40, 30};
    s.reflection = {0, backstop, 0, 0, ground, 0};
    s.soft = {false, false, false, false, true, false};
    s.softCutoffHz = 1800;
    s.gun = {2, 20, 1.3};
    s.micHeight = 1.1;
    s.maxOrder = 2;
    s.noiseDbfs = -44;
    return s;
}

Scene& Shoot(Scene& s, double distance, double velocity, double sd, int rate, std::uint32_t seed)
{
    s.distance = distance;
    s.velocity = velocity;
    s.velocitySd = sd;
    s.rate = rate;
    s.seed = seed;
    s.gunSeed = seed * 31 + 5;
    return s;
}

std::vector<Scene> Indoor()
{
    std::vector<Scene> all;
    Scene s = Room("garage, plate", "garage", {7, 3.5, 2.5}, 0.85, 0.7);
    s.gun = {0.5, 1.5, 1.2};
    s.impactDb = -2;
    s.micSide = 0.4;
    s.temperature = 5;
    all.push_back(Shoot(s, 6, 210, 0.006, 96000, 11));

    // The hard one: RT60 1.5 s, the microphone 5 m from the gun, a report
    // that clips and a plate ringing well below the room's reverberation.
    s = Room("garage 11 m, clipping, faint plate", "garage", {11, 4, 2.6}, 0.93, 1.5);
    s.gun = {0.4, 1.2, 1.2};
    s.reportPeak = 1.4;
    s.impactDb = -15;
    s.tailScale = 1.5;
    all.push_back(Shoot(s, 10, 240, 0.004, 48000, 12));

    s = Room("garage, pellet trap", "garage", {8, 3.2, 2.4}, 0.85, 0.8);
    s.gun = {0.6, 1.6, 1.1};
    s.target = Target::Trap;
    s.impactDb = -4;
    s.trapRiseMs = 0.8;
    s.reportMs = 0.45;
    all.push_back(Shoot(s, 7, 170, 0.012, 44100, 13));

    s = Room("garage, plate, 22 kHz", "garage", {9, 3.6, 2.5}, 0.88, 0.9);
    s.gun = {0.5, 1.0, 1.3};
    s.micSide = 0.8;
    s.impactDb = -3;
    s.temperature = 28;
    all.push_back(Shoot(s, 8, 180, 0.009, 22050, 14));

    s = Room("hall, plate, neighbours", "hall", {25, 12, 5}, 0.8, 1.0);
    s.soft[kCeiling] = true;
    s.impactDb = -4;
    s.gun = {1, 5, 1.2};
    s.neighboursPerMinute = 8;
    s.neighbourLane = 2;
    s.neighboursInWindows = true;
    s.temperature = 18;
    all.push_back(Shoot(s, 10, 250, 0.005, 96000, 21));

    s = Room("hall, trap, neighbours", "hall", {30, 14, 6}, 0.85, 1.3);
    s.gun = {1, 7, 1.25};
    s.target = Target::Trap;
    s.trapRiseMs = 1.0;
    s.impactDb = -6;
    s.neighboursPerMinute = 12;
    s.neighboursInWindows = true;
    s.reportMs = 0.22;
    all.push_back(Shoot(s, 15, 270, 0.007, 48000, 22));

    s = Room("hall, plate, 22 kHz", "hall", {20, 10, 4.5}, 0.85, 1.4);
    s.gun = {1, 4, 1.2};
    s.impactDb = -5;
    s.neighboursPerMinute = 6;
    s.micSide = 1.0;
    all.push_back(Shoot(s, 10, 230, 0.010, 22050, 23));

    s = Room("hall, very reverberant", "hall", {28, 15, 7}, 0.9, 2.2);
    s.gun = {1.5, 6, 1.3};
    s.tailScale = 2;
    s.impactDb = -12;
    s.neighboursPerMinute = 4;
    s.neighboursInWindows = true;
    all.push_back(Shoot(s, 12, 200, 0.003, 44100, 24));
    return all;
}

std::vector<Scene> Outdoor()
{
    std::vector<Scene> all;
    Scene s = Field("outdoor, grass, plate", "outdoor", 0.45, 0.6);
    s.impactDb = -8;
    all.push_back(Shoot(s, 20, 260, 0.006, 96000, 31));

    s = Field("outdoor, trap, wooden backstop", "outdoor", 0.35, 0.8);
    s.target = Target::Trap;
    s.trapRiseMs = 0.6;
    s.temperature = -2;
    all.push_back(Shoot(s, 10, 190, 0.010, 48000, 32));

    s = Field("outdoor, clipping report", "outdoor", 0.5, 0.7);
    s.reportPeak = 2.0;
    s.impactDb = -6;
    s.temperature = 25;
    all.push_back(Shoot(s, 10, 230, 0.008, 44100, 33));

    s = Field("outdoor, 5 m, 22 kHz", "outdoor", 0.4, 0.7);
    s.micSide = 0.4;
    all.push_back(Shoot(s, 5, 300, 0.006, 22050, 34));

    s = Field("neighbours, plate, busy line", "outdoor+neighbours", 0.45, 0.6);
    s.neighboursPerMinute = 20;
    s.neighbourLane = 1.5;
    s.neighbourDb = 0;
    s.impactDb = -6;
    s.neighboursInWindows = true;
    all.push_back(Shoot(s, 25, 280, 0.005, 96000, 41));

    s = Field("neighbours, trap, 22 kHz", "outdoor+neighbours", 0.4, 0.75);
    s.target = Target::Trap;
    s.trapRiseMs = 0.4;
    s.neighboursPerMinute = 15;
    s.neighbourLane = 2;
    s.neighboursInWindows = true;
    all.push_back(Shoot(s, 10, 200, 0.012, 22050, 42));

    s = Field("neighbours, loud, faint impact", "outdoor+neighbours", 0.5, 0.6);
    s.neighboursPerMinute = 12;
    s.neighbourLane = 1.6;
    s.neighbourDb = 2;
    s.impactDb = -16;
    s.noiseDbfs = -40;
    s.neighboursInWindows = true;
    all.push_back(Shoot(s, 15, 240, 0.007, 48000, 43));
    return all;
}

}  // namespace

std::vector<Scene> Catalogue()
{
    std::vector<Scene> all = Indoor();
    for (Scene& s : Outdoor()) all.push_back(std::move(s));
    return all;
}

}  // namespace quorvel::range
