// What the range tests share: scenes built for the tests, a session measured
// the shooter's way with the onset method (calibration shot, suggested
// volumes, learnt report, then the string), and its shots set against the
// truth.
#pragma once

#include <cmath>
#include <vector>

#include "CaptureRing.h"
#include "LevelSuggestion.h"
#include "OnsetDetector.h"
#include "Session.h"

namespace range_test {

using namespace quorvel;
using namespace quorvel::range;

inline Scene Field(int rate, std::uint32_t seed)
{
    Scene s;
    s.name = "field";
    s.size = {60, 40, 30};
    s.reflection = {0, 0.7, 0, 0, 0.45, 0};
    s.soft[kFloor] = true;
    s.maxOrder = 2;
    s.gun = {2, 20, 1.3};
    s.rate = rate;
    s.seed = seed;
    s.gunSeed = seed * 31 + 5;
    s.impactDb = -6;
    s.spacingS = 1.5;
    return s;
}

inline Scene Garage(int rate, std::uint32_t seed)
{
    Scene s = Field(rate, seed);
    s.name = "garage";
    s.size = {8, 3.5, 2.5};
    s.reflection = {0.85, 0.85, 0.85, 0.85, 0.92, 0.8};
    s.soft = {};
    s.maxOrder = 3;
    s.rt60 = 0.6;
    s.gun = {0.5, 1.5, 1.2};
    s.distance = 7;
    s.micSide = 0.4;
    s.impactDb = -2;
    return s;
}

struct Heard final : OnsetSink {
    void Onset(const OnsetEvent& e) override { events.push_back(e); }
    int Count(OnsetEventKind kind) const
    {
        int n = 0;
        for (const OnsetEvent& e : events) n += e.kind == kind;
        return n;
    }
    std::vector<OnsetEvent> events;
};

// The setup the shooter ends up with after the calibration shot.
inline OnsetSetup SetupAfter(const Scene& s, const Recording& calibration)
{
    const TriggerWindow window = CalcTriggerWindow(s.distance, 50, 400, 1000.0 / s.rate);
    const LevelAdvice advice = SuggestLevels(calibration.samples, s.rate, window);
    OnsetSetup setup;
    setup.sampleRate = s.rate;
    setup.windowStart = window.start;
    setup.windowEnd = window.end;
    setup.muzzleVolume = advice.muzzleAt >= 0 ? advice.muzzleVolume : 60;
    setup.impactVolume = advice.Good() ? advice.impactVolume : 30;
    if (advice.muzzleAt >= 0) setup.report = LearnReport(calibration.samples, s.rate, advice.muzzleAt);
    return setup;
}

inline Heard Measure(const OnsetSetup& setup, const Session& session, std::size_t block = kBlockSize)
{
    OnsetDetector detector(setup);
    detector.Rehearse(session.calibration.samples);
    Heard heard;
    const std::vector<std::uint8_t>& sound = session.string.samples;
    for (std::size_t at = 0; at < sound.size(); at += block) {
        detector.Feed(std::span<const std::uint8_t>(sound).subspan(at, std::min(block, sound.size() - at)), heard);
    }
    detector.Finish(heard);
    return heard;
}

// Measured minus true flight time of each true shot, in microseconds; a
// shot not measured is infinite. `falseShots` counts shots of no true shot.
inline std::vector<double> ErrorsUs(const Recording& truth, const Heard& heard, int* falseShots = nullptr)
{
    std::vector<double> errors(truth.shots.size(), INFINITY);
    int unmatched = 0;
    for (const OnsetEvent& e : heard.events) {
        if (e.kind != OnsetEventKind::Shot) continue;
        bool matched = false;
        for (std::size_t k = 0; k < truth.shots.size(); ++k) {
            if (std::abs(e.muzzle - truth.shots[k].muzzle) > 0.003 * truth.rate) continue;
            errors[k] = ((e.impact - e.muzzle) / truth.rate - truth.shots[k].flight) * 1e6;
            matched = true;
        }
        unmatched += !matched;
    }
    if (falseShots != nullptr) *falseShots = unmatched;
    return errors;
}

}  // namespace range_test
