// Suggested volumes serve both methods: they find a shot at its onsets in
// clean and difficult recordings, say why when no pair works, advise a
// report that clips with a warning, and take only a copy of the whole
// report for an echo.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "CaptureRing.h"
#include "Clock.h"
#include "Detection.h"
#include "LevelSuggestion.h"
#include "ShotSynth.h"

using namespace quorvel;

namespace {

constexpr std::int64_t kMuzzleMs = 300;

synth::Recording OneShot(int rate, double impactLevel = 0.45)
{
    synth::Recording r;
    r.sampleRate = rate;
    r.seed = static_cast<std::uint32_t>(rate) + 7;
    r.length = std::min<std::int64_t>(kRingSamples, rate * 3 / 2);
    r.shots.push_back({rate * kMuzzleMs / 1000, synth::DelayFor(10, 250, rate), 0.8, impactLevel});
    return r;
}

TriggerWindow WindowAt(int rate, double velocityMin = 50) { return CalcTriggerWindow(10, velocityMin, 400, 1000.0 / rate); }

// What the analysis window finds in these samples with these volumes.
RecordingSearch Search(const std::vector<std::uint8_t>& samples, int rate, int muzzle, int impact)
{
    ManualClock clock;
    clock.ms = 10000;
    const auto detector = MakeDetector(DetectionMethod::Threshold, clock,
                                       {rate, WindowAt(rate), static_cast<std::int16_t>(muzzle), static_cast<std::int16_t>(impact), {}});
    return SearchRecording(*detector, std::span<const std::uint8_t>(samples.data(), std::min<std::size_t>(samples.size(), kRingSamples)),
                           kBlockSize);
}

}  // namespace

TEST(LevelSuggestion, TheSuggestedVolumesFindTheShotAtItsOnsets)
{
    struct Scene {
        const char* name;
        double noise, noiseSd, ringMs, echoMs, echoLevel, riseMs, clickLevel;
    };
    const Scene scenes[] = {
        {"clean", 0.015, 0, 1.2, 0, 0, 0, 0},
        {"long ringing", 0.015, 0, 12, 0, 0, 0, 0},
        {"an echo in the window before the impact", 0.015, 0, 1.2, 30, 0.3, 0, 0},
        {"loud Gaussian background", 0, 0.02, 1.2, 0, 0, 0, 0},
        {"sounds that rise over 0.2 ms", 0, 0.008, 1.2, 0, 0, 0.2, 0},
        {"a click 100 ms before the report", 0.015, 0, 1.2, 0, 0, 0, 0.12},
    };
    for (const int rate : {22050, 44100, 48000, 96000}) {
        for (const Scene& scene : scenes) {
            SCOPED_TRACE(std::string(scene.name) + " at " + std::to_string(rate));
            synth::Recording r = OneShot(rate);
            r.noise = scene.noise;
            r.noiseSd = scene.noiseSd;
            r.ringMs = scene.ringMs;
            r.echoMs = scene.echoMs;
            r.echoLevel = scene.echoLevel;
            r.riseMs = scene.riseMs;
            const std::int64_t muzzle = r.shots[0].muzzleSample;
            const std::int64_t impact = muzzle + r.shots[0].impactDelay;
            if (scene.clickLevel > 0) r.shots.insert(r.shots.begin(), {muzzle - rate / 10, 0, scene.clickLevel, 0});
            const auto samples = synth::SynthesizeEightBit(r);
            const LevelAdvice advice = SuggestLevels(samples, rate, WindowAt(rate));
            ASSERT_TRUE(advice.Good()) << advice.problem;
            EXPECT_EQ(advice.warning, "");
            const RecordingSearch found = Search(samples, rate, advice.muzzleVolume, advice.impactVolume);
            ASSERT_TRUE(found.impactFound);
            const auto early = static_cast<std::int64_t>(3 + 1.5 * scene.riseMs * rate / 1000);
            EXPECT_GE(found.muzzlePos, muzzle);
            EXPECT_LE(found.muzzlePos, muzzle + early);
            EXPECT_GE(found.impactPos, impact);
            EXPECT_LE(found.impactPos, impact + early);
            EXPECT_EQ(found.muzzlePos, advice.muzzleAt);
            EXPECT_EQ(found.impactPos, advice.impactAt);
            // The same background without a shot never triggers.
            synth::Recording quiet = r;
            quiet.shots.clear();
            quiet.seed += 1000;
            EXPECT_FALSE(Search(synth::SynthesizeEightBit(quiet), rate, advice.muzzleVolume, advice.impactVolume).muzzleFound);
            EXPECT_LT(advice.noisePeak, advice.muzzleVolume);
            EXPECT_LT(advice.impactVolume, advice.impactPeak);
        }
    }
}

// A report that clips is advised with a warning; what cannot work is still
// refused with its reason.
TEST(LevelSuggestion, SaysWhyWhenNoPairOfVolumesWorks)
{
    struct Row {
        const char* name;
        double muzzleLevel, impactLevel, echoLevel, velocityMin, noise;
        bool shot;
        const char* problem;
        const char* warning;
        double riseMs = 0, noiseSd = 0, laterMs = 0, laterLevel = 0;  // a later sound, from the report
    };
    const Row rows[] = {
        {"an echo louder than the impact", 0.8, 0.3, 0.6, 50, 0.015, true, kProblemRinging, ""},
        {"a report that clips", 1.3, 0.45, 0, 50, 0.015, true, "", kWarningClipping},
        {"a background that clips", 1.3, 0.45, 0, 50, 1.2, true, kProblemClipping, ""},
        {"no impact", 0.8, 0, 0, 50, 0.015, true, kProblemNoImpact, ""},
        {"the impact after the window", 0.8, 0.45, 0, 300, 0.015, true, kProblemNoImpact, ""},
        {"background only", 0.8, 0.45, 0, 50, 0.015, false, kProblemBackground, ""},
        // The muzzle volume over a loud background is crossed long after the report began.
        {"a report rising slowly out of a loud background", 0.8, 0.45, 0, 50, 0.015, true, kProblemBackground, "", 6, 0.03},
        // A sound later on louder than the impact is background: no impact stands out.
        {"an impact no louder than the background", 0.8, 0.12, 0, 50, 0.015, true, kProblemNoImpact, "", 0, 0, 1000, 0.3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        synth::Recording r = OneShot(48000, row.impactLevel);
        r.shots[0].muzzleLevel = row.muzzleLevel;
        r.noise = row.noise;
        if (row.impactLevel == 0) r.shots[0].impactDelay = 0;
        r.echoMs = row.echoLevel > 0 ? 30 : 0;
        r.echoLevel = row.echoLevel;
        r.riseMs = row.riseMs;
        r.noiseSd = row.noiseSd;
        if (row.laterLevel > 0) r.shots.push_back({r.shots[0].muzzleSample + static_cast<std::int64_t>(row.laterMs * 48), 0, row.laterLevel, 0});
        if (!row.shot) r.shots.clear();
        const LevelAdvice advice = SuggestLevels(synth::SynthesizeEightBit(r), 48000, WindowAt(48000, row.velocityMin));
        EXPECT_EQ(advice.problem, row.problem);
        EXPECT_EQ(advice.warning, row.warning);
        if (advice.Good()) {
            EXPECT_GT(advice.impactVolume, 0);
        }
    }
}

// An impact ringing at the report's own pitch is no echo: over the report's
// whole length it decays differently, though its first half millisecond is
// the same sound.
TEST(LevelSuggestion, AnImpactOfTheReportsPitchIsNoEcho)
{
    const int rate = 48000;
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(rate * 3 / 2), 128);
    auto ring = [&](std::int64_t at, double level, double tauMs) {
        for (std::int64_t k = 0; at + k < static_cast<std::int64_t>(samples.size()) && k < rate / 10; ++k) {
            const double t = static_cast<double>(k) / rate;
            const double v = level * std::exp(-t * 1000 / tauMs) * std::cos(2 * std::numbers::pi * 2900 * t);
            auto& s = samples[static_cast<std::size_t>(at + k)];
            s = static_cast<std::uint8_t>(std::clamp(std::lround(s + 127 * v), 0L, 255L));
        }
    };
    const std::int64_t muzzle = rate * kMuzzleMs / 1000;
    const std::int64_t impact = muzzle + synth::DelayFor(10, 250, rate);
    ring(muzzle, 0.8, 1.2);
    ring(impact, 0.4, 20);
    const LevelAdvice advice = SuggestLevels(samples, rate, WindowAt(rate));
    ASSERT_TRUE(advice.Good()) << advice.problem;
    EXPECT_NEAR(static_cast<double>(advice.impactAt), static_cast<double>(impact), 3);
}
