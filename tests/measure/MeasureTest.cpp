#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sndfile.h>

#include "support/TempFolder.h"
#include "Analyzer.h"
#include "AudioFileReader.h"
#include "RecordingMeasure.h"
#include "RecordingStart.h"
#include "ShotSynth.h"
#include "support/Files.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

fs::path Dir()
{
    // One folder per test: CTest runs the tests of this file side by side.
    return test_support::FolderFor(std::string("measure-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

}  // namespace

namespace {

struct Collected final : MeasureListener {
    void Measured(const MeasuredShot& e) override { events.push_back(e); }
    std::vector<MeasuredShot> events;
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
// time; a stop between steps keeps what was measured.
TEST(RecordingMeasure, StreamsALongRecordingAndKeepsItsTimes)
{
    const int rate = 22050;
    synth::Recording r;
    r.sampleRate = rate;
    r.length = std::int64_t{rate} * 600;  // ten minutes
    for (int k = 0; k < 40; ++k) r.shots.push_back({std::int64_t{rate} * (5 + 14 * k), k == 17 ? 0 : synth::DelayFor(10, 200 + k, rate), 0.8, 0.45});
    const fs::path plain = Dir() / "plain.wav";
    ASSERT_EQ(synth::WriteRecording(plain.string(), synth::Synthesize(r), rate, synth::FileKind::Wav16), "");

    auto opened = AudioStream::Open(plain.string());
    ASSERT_TRUE(opened) << opened.Error();
    std::unique_ptr<AudioStream> stream = std::move(*opened);
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
        const MeasuredShot& e = all.events[k];
        EXPECT_EQ(e.muzzle, r.shots[k].muzzleSample);
        EXPECT_EQ(e.outcome, k == 17 ? ShotOutcome::NoImpact : ShotOutcome::Shot);
        EXPECT_NEAR((e.timeDays - start.days) * 86400, 5 + 14.0 * static_cast<double>(k), 1e-3);
        if (e.IsShot()) {
            EXPECT_EQ(e.result.Samples, r.shots[k].impactDelay);
        }
    }

    // Stopped after a minute: only the shots of that minute, nothing after.
    stream = std::move(*AudioStream::Open(plain.string()));
    Collected some;
    {
        RecordingMeasure stopped(*stream, setup, 0, some);
        while (stopped.SamplesRead() < std::int64_t{rate} * 60) stopped.Step(1);
    }
    EXPECT_EQ(some.events.size(), 4u);
}

// A broadcast WAVE says when it began: a recorder's own start time wins
// over the file's date.
TEST(RecordingStart, TheRecordersOwnStartTimeWins)
{
    const int rate = 22050;
    synth::Recording r;
    r.sampleRate = rate;
    r.length = std::int64_t{rate} * 10;
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
    const auto stream = std::move(*AudioStream::Open(bwf.string()));
    const RecordingStart field = StartOf(bwf.string(), *stream);
    EXPECT_TRUE(field.fromFile);
    EXPECT_EQ(field.days, *LocalDaysFromText("2026:06:14 09.30.05"));
    EXPECT_NEAR(field.days, 46187 + (9 * 3600 + 30 * 60 + 5) / 86400.0, 1e-9);
    for (const char* bad : {"", "yesterday", "2026-13-01 10:00", "14/06", "2026-06-14"}) EXPECT_FALSE(LocalDaysFromText(bad)) << bad;
}
