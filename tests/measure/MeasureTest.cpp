#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sndfile.h>

#include "Analyzer.h"
#include "AudioFileReader.h"
#include "LevelSuggestion.h"
#include "RecordingMeasure.h"
#include "RecordingStart.h"
#include "ShotSynth.h"
#include "support/Files.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

fs::path Dir()
{
    const fs::path d = fs::path(::testing::TempDir()) / "quorvel-measure" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(d);
    return d;
}

constexpr std::int64_t kMuzzleMs = 300;

// One shot 10 m away at 250 m/s, in a recording as long as the analysis window shows.
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
WaveformSearch Search(const std::vector<std::uint8_t>& samples, int rate, int muzzle, int impact)
{
    SampleArray waveform;
    waveform.fill(kSilence);
    std::copy_n(samples.begin(), std::min<std::size_t>(samples.size(), kRingSamples), waveform.begin());
    const TriggerWindow w = WindowAt(rate);
    DetectionState state;
    state.WindowStart = w.start;
    state.WindowEnd = w.end;
    FakeClock clock;
    clock.ms = 10000;
    return SearchWaveform(state, waveform, static_cast<std::int16_t>(muzzle), static_cast<std::int16_t>(impact), clock);
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
            const WaveformSearch found = Search(samples, rate, advice.muzzleVolume, advice.impactVolume);
            ASSERT_TRUE(found.impactFound);
            // On the rise: within three samples of a sound at full strength at
            // once; a rising one at the first swing that passes the volume.
            const auto early = static_cast<std::int64_t>(3 + 1.5 * scene.riseMs * rate / 1000);
            EXPECT_GE(found.muzzlePos, muzzle);
            EXPECT_LE(found.muzzlePos, muzzle + early);
            EXPECT_GE(found.impactPos, impact);
            EXPECT_LE(found.impactPos, impact + early);
            EXPECT_EQ(found.muzzlePos, advice.muzzleAt);
            EXPECT_EQ(found.impactPos, advice.impactAt);
            EXPECT_LT(advice.noisePeak, advice.muzzleVolume);
            EXPECT_LT(advice.impactVolume, advice.impactPeak);

            // The same background without a shot never triggers.
            synth::Recording quiet = r;
            quiet.shots.clear();
            quiet.seed += 1000;
            EXPECT_FALSE(Search(synth::SynthesizeEightBit(quiet), rate, advice.muzzleVolume, advice.impactVolume).muzzleFound);
        }
    }
}

TEST(LevelSuggestion, SaysWhyWhenNoPairOfVolumesWorks)
{
    struct Row {
        const char* name;
        double muzzleLevel, impactLevel, echoLevel, velocityMin;
        bool shot;
        const char* problem;
        const char* warning = "";
        double riseMs = 0, noiseSd = 0, laterMs = 0, laterLevel = 0;  // a later sound, from the report
    };
    const Row rows[] = {
        {"an echo louder than the impact", 0.8, 0.3, 0.6, 50, true, kProblemRinging},
        {"a report that clips", 1.3, 0.45, 0, 50, true, "", kWarningClipping},
        {"no impact", 0.8, 0, 0, 50, true, kProblemNoImpact},
        {"the impact after the window", 0.8, 0.45, 0, 300, true, kProblemNoImpact},
        {"background only", 0.8, 0.45, 0, 50, false, kProblemBackground},
        // The muzzle volume over a loud background is crossed long after the report began.
        {"a report rising slowly out of a loud background", 0.8, 0.45, 0, 50, true, kProblemBackground, "", 6, 0.03},
        // A sound later on louder than the impact is background: no impact stands out.
        {"an impact no louder than the background", 0.8, 0.12, 0, 50, true, kProblemNoImpact, "", 0, 0, 1000, 0.3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        synth::Recording r = OneShot(48000, row.impactLevel);
        r.shots[0].muzzleLevel = row.muzzleLevel;
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
    }
}

namespace {

struct Collected final : MeasureListener {
    void Measured(const MeasuredEvent& e) override { events.push_back(e); }
    std::vector<MeasuredEvent> events;
};

LoadedSettings Shipped()
{
    LoadedSettings s;
    s.record.distance = 10;
    s.record.RetainedVelocity = 90;
    s.panel.txtInfo[PanelField::Distance] = "10";
    s.panel.txtInfo[PanelField::VelocityMin] = "50";
    s.panel.txtInfo[PanelField::VelocityMax] = "400";
    s.record.MuzzleVolume = 60;
    s.record.ImpactVolume = 30;
    return s;
}

}  // namespace

// A long recording is measured a step at a time, each shot at its place and
// time; a stop between steps keeps what was measured; a recorder's own start
// time wins over the file's date.
TEST(RecordingMeasure, StreamsALongRecordingAndKeepsItsTimes)
{
    const int rate = 22050;
    synth::Recording r;
    r.sampleRate = rate;
    r.length = std::int64_t{rate} * 600;  // ten minutes
    for (int k = 0; k < 40; ++k) r.shots.push_back({std::int64_t{rate} * (5 + 14 * k), k == 17 ? 0 : synth::DelayFor(10, 200 + k, rate), 0.8, 0.45});
    const fs::path plain = Dir() / "plain.wav";
    ASSERT_EQ(synth::WriteRecording(plain.string(), synth::Synthesize(r), rate, synth::FileKind::Wav16), "");

    std::string error;
    auto stream = AudioStream::Open(plain.string(), &error);
    ASSERT_TRUE(stream) << error;
    EXPECT_EQ(stream->Frames(), r.length);
    const RecordingStart start = StartOf(plain.string(), *stream);
    EXPECT_FALSE(start.fromFile);
    const LoadedSettings settings = Shipped();
    const MeasureSetup setup = SetupFor(settings, rate);
    Collected all;
    RecordingMeasure measure(*stream, setup, start.days, all);
    int steps = 0;
    while (measure.Step(8)) ++steps;
    measure.Finish(true);
    EXPECT_GT(steps, 20) << "measured a little at a time";
    EXPECT_EQ(PlaceText(std::int64_t{rate} * 3600, rate), "1:00:00.0");
    EXPECT_EQ(PlaceText(std::int64_t{rate} * 3600 - 1, rate), "59:59.9");
    ASSERT_EQ(all.events.size(), r.shots.size());
    for (std::size_t k = 0; k < r.shots.size(); ++k) {
        const MeasuredEvent& e = all.events[k];
        EXPECT_EQ(e.muzzleSample, r.shots[k].muzzleSample);
        EXPECT_EQ(e.kind, k == 17 ? MeasuredKind::NoImpact : MeasuredKind::Shot);
        EXPECT_NEAR((e.timeDays - start.days) * 86400, 5 + 14.0 * static_cast<double>(k), 1e-3);
        if (e.kind == MeasuredKind::Shot) {
            EXPECT_EQ(e.shot.Samples, r.shots[k].impactDelay);
        }
    }

    // Stopped after a minute: only the shots of that minute, nothing after.
    stream = AudioStream::Open(plain.string(), &error);
    Collected some;
    {
        RecordingMeasure stopped(*stream, setup, 0, some);
        while (stopped.SamplesRead() < std::int64_t{rate} * 60) stopped.Step(1);
    }
    EXPECT_EQ(some.events.size(), 4u);

    // A broadcast WAVE says when it began; that is the string's time.
    const fs::path bwf = Dir() / "field.wav";
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(bwf.string().c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    SF_BROADCAST_INFO bext{};
    std::memcpy(bext.origination_date, "2026-06-14", 10);
    std::memcpy(bext.origination_time, "09:30:05", 8);
    ASSERT_EQ(sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
    const auto samples = synth::Synthesize(r);
    sf_writef_short(file, samples.data(), rate * 10);
    sf_close(file);
    stream = AudioStream::Open(bwf.string(), &error);
    const RecordingStart field = StartOf(bwf.string(), *stream);
    EXPECT_TRUE(field.fromFile);
    EXPECT_EQ(field.days, *LocalDaysFromText("2026:06:14 09.30.05"));
    EXPECT_NEAR(field.days, 46187 + (9 * 3600 + 30 * 60 + 5) / 86400.0, 1e-9);
    for (const char* bad : {"", "yesterday", "2026-13-01 10:00", "14/06", "2026-06-14"}) EXPECT_FALSE(LocalDaysFromText(bad)) << bad;
}
