#include "Session.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "Render.h"
#include "Room.h"
#include "Sounds.h"

namespace quorvel::range {

namespace {

double Uniform(std::mt19937& rng, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
double Db(double db) { return std::pow(10.0, db / 20); }

struct Layout {
    Vec3 gun, target, mic;
};

Layout LayoutOf(const Scene& s)
{
    return {s.gun, {s.gun.x + s.distance, s.gun.y, s.gun.z}, {s.gun.x + s.distance / 2, s.gun.y + s.micSide, s.micHeight}};
}

// Flight time over `d` of a pellet leaving at `v0` and slowing as exp(-k x).
double FlightTime(double d, double v0, double k) { return k > 0 ? std::expm1(k * d) / (k * v0) : d / v0; }

Wave Impact(const Scene& s, const Plate& plate, Target kind, double level, std::mt19937& rng, int rate)
{
    return kind == Target::Plate ? PlateImpact(plate, level, rate, rng) : TrapImpact(level, s.trapRiseMs, rate, rng);
}

// One neighbour's shot: a lane beside ours that fits in the room, a gun
// unlike ours, a target of its own.
struct Neighbour {
    Vec3 gun, target;
    Gun kit;
    Plate plate;
    Target kind;
    double level, flight;
};

Neighbour MakeNeighbour(const Scene& s, std::mt19937& rng)
{
    Neighbour n;
    std::vector<double> lanes;
    for (int j : {-3, -2, -1, 1, 2, 3}) {
        const double y = s.gun.y + j * s.neighbourLane;
        if (y > 0.3 && y < s.size.y - 0.3) lanes.push_back(y);
    }
    const double y = lanes.empty() ? s.gun.y + s.neighbourLane : lanes[rng() % lanes.size()];
    const double reach = std::max(3.0, std::min(Uniform(rng, 8, 25), s.size.x - s.gun.x - 0.5));
    n.gun = {s.gun.x + Uniform(rng, -0.5, 0.5), y, s.gun.z + Uniform(rng, -0.2, 0.2)};
    n.target = {n.gun.x + reach, y, n.gun.z};
    // Another maker's gun: its pulse at least 30 % longer or shorter than ours.
    const double factor = Uniform(rng, 1.3, 2.0);
    const double pulse = (rng() % 2 == 0 && s.reportMs / factor > 0.12) ? s.reportMs / factor : s.reportMs * factor;
    n.kit = MakeGun(pulse, static_cast<std::uint32_t>(rng()));
    n.plate = MakePlate(static_cast<std::uint32_t>(rng()));
    n.kind = rng() % 2 == 0 ? Target::Plate : Target::Trap;
    n.level = Db(s.neighbourDb + Uniform(rng, -3, 3));
    n.flight = FlightTime(reach, Uniform(rng, 150, 300), s.drag);
    return n;
}

// A neighbour firing so that its report reaches the microphone at `arrival` seconds.
NeighbourTruth AddNeighbour(Renderer& r, const Scene& s, const Layout& at, double arrival, std::mt19937& rng)
{
    const Neighbour n = MakeNeighbour(s, rng);
    const double emit = arrival - Distance(n.gun, at.mic) / SpeedOfSound(s.temperature);
    NeighbourTruth truth;
    truth.report = r.Add(n.gun, Report(n.kit, n.level, r.InternalRate()), emit);
    truth.impact = r.Add(n.target, Impact(s, n.plate, n.kind, n.level * Db(s.impactDb), rng, r.InternalRate()), emit + n.flight);
    return truth;
}

}  // namespace

Recording MakeRecording(const Scene& s, int shots, double seconds, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    const Layout at = LayoutOf(s);
    const Gun gun = MakeGun(s.reportMs, s.gunSeed);
    const Plate plate = MakePlate(s.gunSeed + 7);
    // The card's gain puts the report's direct sound at `reportPeak`.
    Renderer r(s, at.mic, seconds, s.reportPeak * Distance(at.gun, at.mic), seed ^ 0x5eedU);
    const int rate = r.InternalRate();
    Recording rec;
    rec.rate = s.rate;
    struct Fired {
        Wave impact;
        double emit;
    };
    std::vector<Fired> fired;
    double t = shots == 1 ? 0.3 : 0.6;
    for (int k = 0; k < shots; ++k) {
        const double v0 = s.velocity * (1 + s.velocitySd * std::normal_distribution<double>(0, 1)(rng));
        const double flight = FlightTime(s.distance, v0, s.drag);
        ShotTruth truth;
        truth.muzzle = r.Add(at.gun, Report(gun, Db(std::normal_distribution<double>(0, 0.5)(rng)), rate), t);
        Wave impact = Impact(s, plate, s.target, Db(s.impactDb + Uniform(rng, -s.impactSpreadDb, s.impactSpreadDb)), rng, rate);
        truth.impact = r.Add(at.target, impact, t + flight);
        truth.flight = (truth.impact - truth.muzzle) / s.rate;
        truth.velocity = s.distance / truth.flight;
        rec.shots.push_back(truth);
        fired.push_back({std::move(impact), t + flight});
        if (s.neighboursInWindows && shots > 1 && k % 4 == 2) {
            // A neighbour's report between our report and shortly after our impact.
            const double arrival = (truth.muzzle + Uniform(rng, 0.3, 1.0) * (truth.impact - truth.muzzle)) / s.rate +
                                   Uniform(rng, 0, 0.01);
            rec.neighbours.push_back(AddNeighbour(r, s, at, arrival, rng));
        }
        t += s.spacingS * Uniform(rng, 0.8, 1.25);
    }
    // Neighbours at random, as a Poisson process over the whole recording.
    if (s.neighboursPerMinute > 0) {
        std::exponential_distribution<double> gap(s.neighboursPerMinute / 60);
        for (double when = gap(rng); when < seconds - 0.5; when += gap(rng)) rec.neighbours.push_back(AddNeighbour(r, s, at, when, rng));
    }
    r.Mix();
    for (std::size_t k = 0; k < fired.size(); ++k) rec.shots[k].snrDb = r.LocalSnrDb(at.target, fired[k].impact, fired[k].emit);
    rec.samples = r.Card();
    std::sort(rec.neighbours.begin(), rec.neighbours.end(), [](auto& a, auto& b) { return a.report < b.report; });
    return rec;
}

Session MakeSession(const Scene& s, int shots)
{
    Session session;
    session.calibration = MakeRecording(s, 1, 1.5, s.seed * 7919U + 1);
    // Enough time for every shot a few seconds apart, and two seconds after.
    const double seconds = 0.6 + shots * s.spacingS * 1.25 + 2;
    session.string = MakeRecording(s, shots, seconds, s.seed * 7919U + 2);
    return session;
}

}  // namespace quorvel::range
