#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <sstream>

#include "support/TempFolder.h"
#include "Analyzer.h"
#include "CaptureRing.h"
#include "NumberText.h"
#include "ShotSynth.h"
#include "support/Files.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

const std::string kSettings =
    "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\nRetainedVelocity=90\n"
    "[calibration]\nMuzzleVolume=60\nImpactVolume=30\nMicVolume=3\noffset=0\nFreezeIFdetected=1\nunits=0\n"
    "[hardware]\nfrequency=96000\ndeviceNum=0\ndatafilename=shots.txt\n";

fs::path Dir()
{
    // One folder per test: CTest runs the tests of this file side by side.
    return test_support::FolderFor(std::string("analyzer-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

fs::path Write(const std::string& name, const std::string& bytes)
{
    const fs::path p = Dir() / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

struct RunResult {
    int status = 0;
    std::string out;
    std::string err;
};

RunResult Analyze(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunAnalyzer(args, (Dir() / "no-default.ini").string(), out, err);
    return {status, out.str(), err.str()};
}

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

struct Expected {
    std::int64_t muzzle;
    std::int64_t delay;  // 0 = miss
};

// Shots at least 1.5 s apart (the hold-off), one across a block boundary,
// one across the ring's end, and a miss.
std::vector<Expected> Plan(int rate)
{
    const auto at = [rate](double seconds) { return static_cast<std::int64_t>(seconds * rate); };
    const auto boundaryAfter = [](std::int64_t sample, std::int64_t every) { return (sample / every + 1) * every; };
    std::vector<Expected> plan;
    plan.push_back({at(0.4), synth::DelayFor(10, 182.3, rate)});
    plan.push_back({boundaryAfter(plan.back().muzzle + at(1.5), kBlockSize) - 5, synth::DelayFor(10, 251.7, rate)});
    plan.push_back({boundaryAfter(plan.back().muzzle + at(1.5), kRingSamples) - 2, synth::DelayFor(10, 64.0, rate)});
    plan.push_back({plan.back().muzzle + at(1.6), 0});
    plan.push_back({plan.back().muzzle + at(1.6), synth::DelayFor(10, 399.0, rate)});
    return plan;
}

fs::path MakeRecording(const std::string& name, int rate, synth::FileKind kind, int channels)
{
    synth::Recording r;
    r.sampleRate = rate;
    r.seed = static_cast<std::uint32_t>(rate);
    for (const Expected& e : Plan(rate)) r.shots.push_back({e.muzzle, e.delay, 0.8, 0.45});
    r.length = r.shots.back().muzzleSample + rate;
    const fs::path p = Dir() / name;
    EXPECT_EQ(synth::WriteRecording(p.string(), synth::Synthesize(r), rate, kind, channels), "");
    return p;
}

}  // namespace

TEST(Analyzer, MeasuresEveryShotExactlyAtEveryRateAndFormat)
{
    const fs::path settings = Write("settings.ini", kSettings);
    const std::tuple<synth::FileKind, int, const char*> formats[] = {{synth::FileKind::Wav8, 1, "u8"},
                                                                     {synth::FileKind::Wav16, 2, "s16-stereo"},
                                                                     {synth::FileKind::Flac16, 1, "flac"},
                                                                     {synth::FileKind::WavFloat, 2, "float-stereo"}};
    for (int rate : {22050, 44100, 48000, 96000}) {
        for (const auto& [kind, channels, format] : formats) {
            const std::string name = std::to_string(rate) + "-" + format + ".wav";
            const fs::path file = MakeRecording(name, rate, kind, channels);
            // Every line as the program must write it, the velocities computed the way it computes them.
            const std::string head = "{\"file\":\"" + file.string() + "\",";
            std::string expected;
            int shot = 0;
            for (const Expected& e : Plan(rate)) {
                const std::string muzzle = "\"muzzle_sample\":" + std::to_string(e.muzzle);
                if (e.delay == 0) {
                    expected += head + "\"event\":\"miss\",\"reason\":\"no impact\"," + muzzle + "}\n";
                    continue;
                }
                const double avg = 10 / (static_cast<double>(e.delay) * (1.0 / rate * 1000) / 1000);
                const double velocity = ((100.0 - 90) / 2 / 100 + 1) * avg + 0;
                expected += head + "\"event\":\"shot\",\"shot\":" + std::to_string(++shot) + "," + muzzle +
                            ",\"impact_sample\":" + std::to_string(e.muzzle + e.delay) + ",\"samples\":" +
                            std::to_string(e.delay) + ",\"avg_velocity\":" + RoundTripNumber(avg) +
                            ",\"muzzle_velocity\":" + RoundTripNumber(velocity) + ",\"energy\":" +
                            RoundTripNumber(std::pow(velocity, 2) * 0.5 * 0.547 / 1000) +
                            ",\"speed_unit\":\"m/s\",\"energy_unit\":\"J\"}\n";
            }
            const RunResult live = Analyze({"--settings", settings.string(), file.string()});
            EXPECT_EQ(live.status, 0) << live.err;
            EXPECT_EQ(live.out, expected) << name;
            const RunResult analysis = Analyze({"--mode", "analysis", "--settings", settings.string(), file.string()});
            EXPECT_EQ(analysis.out, expected.substr(0, expected.find('\n') + 1)) << name;
        }
    }
}

// Recordings at the edges: what live replay and the analysis search report.
TEST(Analyzer, EdgesOfARecording)
{
    struct Row {
        const char* name;
        std::int64_t length, muzzle, delay;
        int rate;
        const char* settingsChange;  // "" or a replacement for "VelocityMax=400"
        const char* live;            // the live lines after {"file":…,
        const char* analysis;        // the analysis line after {"file":…,
    };
    const Row rows[] = {
        {"miss", 200000, 30000, 0, 96000, "", R"("event":"miss","reason":"no impact","muzzle_sample":30000})",
         R"("event":"muzzle only","muzzle_sample":30000})"},
        // Shorter than the waveform: padded with silence.
        {"quiet", 1000, -1, 0, 48000, "", "", R"("event":"none"})"},
        // The window after a muzzle at 1.19 s runs past the end of the file.
        {"cut-short", 115200, 114240, 0, 96000, "", R"("event":"miss","reason":"no impact","muzzle_sample":114240})",
         R"("event":"muzzle only","muzzle_sample":114240})"},
        // Absurd limits open the window at 0 samples: the muzzle crack is its own "impact".
        {"absurd", 96000, 20000, 4800, 96000, "VelocityMax=1e9",
         R"("event":"miss","reason":"Max. Velocity","muzzle_sample":20000})", R"("event":"muzzle only","muzzle_sample":20000})"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = kSettings;
        if (*row.settingsChange) text.replace(text.find("VelocityMax=400"), 15, row.settingsChange);
        const fs::path settings = Write(std::string(row.name) + ".ini", text);
        synth::Recording r;
        r.length = row.length;
        if (row.muzzle >= 0) r.shots.push_back({row.muzzle, row.delay, 0.8, 0.45});
        const fs::path file = Dir() / (std::string(row.name) + ".wav");
        ASSERT_EQ(synth::WriteRecording(file.string(), synth::Synthesize(r), row.rate, synth::FileKind::Wav8), "");
        const std::string head = "{\"file\":\"" + file.string() + "\",";
        const RunResult live = Analyze({"--settings", settings.string(), file.string()});
        EXPECT_EQ(live.status, 0);
        EXPECT_EQ(live.out, *row.live ? head + row.live + "\n" : "");
        EXPECT_EQ(Analyze({"--mode", "analysis", "--settings", settings.string(), file.string()}).out,
                  head + row.analysis + "\n");
    }
}

TEST(Analyzer, BadFilesAreReportedAndTheOthersStillMeasured)
{
    const fs::path settings = Write("settings.ini", kSettings);
    const fs::path good = MakeRecording("good.wav", 48000, synth::FileKind::Wav16, 1);
    const fs::path bad[] = {Write("empty.wav", ""), Write("notes.wav", "this is not a recording\n"),
                            Write("truncated.wav", test_support::Slurp(good).substr(0, 30)), Dir() / "missing.wav"};
    const RunResult r = Analyze({"--settings", settings.string(), bad[0].string(), good.string(), bad[1].string(),
                                 bad[2].string(), bad[3].string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Lines(r.out), Plan(48000).size()) << "the good file is measured in full";
    std::istringstream errors(r.err);
    std::size_t k = 0;
    for (std::string line; std::getline(errors, line); ++k) {
        ASSERT_LT(k, 4u) << r.err;
        const std::string head = "quorvel-analyze: " + bad[k].string() + ": ";
        EXPECT_EQ(line.rfind(head, 0), 0u) << line;
        EXPECT_GT(line.size(), head.size()) << "a reason is given";
    }
    EXPECT_EQ(k, 4u);
}

TEST(Analyzer, SettingsAndUsageErrors)
{
    const std::string absent = (Dir() / "absent.ini").string();
    const RunResult missing = Analyze({"--settings", absent, "x.wav"});
    EXPECT_EQ(missing.err, "quorvel-analyze: " + absent + " not found !!! Can't continue\n");
    EXPECT_EQ(missing.out, "");
    const RunResult folder = Analyze({"--settings", Dir().string(), "x.wav"});
    EXPECT_NE(folder.err.find("not a file"), std::string::npos) << folder.err;
    EXPECT_EQ(folder.err.find('\n'), folder.err.size() - 1) << "one line";
    EXPECT_NE(Analyze({"x.wav"}).err.find("no-default.ini"), std::string::npos);
    const std::string settings = Write("settings.ini", kSettings).string();
    const std::vector<std::string> usages[] = {{"--settings", absent, "x.wav"}, {"--settings", Dir().string(), "x.wav"},
                                               {"--mode", "sideways", "x.wav"}, {"--bogus"}, {"--settings"},
                                               {"--settings", settings}};
    for (const auto& args : usages) EXPECT_EQ(Analyze(args).status, 2) << args.front() << " " << args.back();
}

TEST(Analyzer, DumpSettingsShowsTheLoadedRecord)
{
    const RunResult r = Analyze({"--dump-settings", "--settings", Write("dump.ini", kSettings).string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "{\"VelocityMin\":50,\"VelocityMax\":400,\"distance\":10,\"pelletmass\":0.547,\"RetainedVelocity\":90,"
              "\"MuzzleVolume\":60,\"ImpactVolume\":30,\"MicVolume\":3,\"offset\":0,\"FreezeIFdetected\":1,"
              "\"freezeIFnoimpact\":0,\"freezeIFmaxexceed\":0,\"AutoSaveBasic\":0,\"AutoSaveExtended\":0,"
              "\"AutoSaveWaveForm\":0,\"units\":0,\"frequency\":96000,\"deviceNum\":0,\"datafilename\":\"shots.txt\","
              "\"SampleTimeMs\":0.010416666666666666,\"WindowStart\":2400,\"WindowEnd\":19200,\"method\":\"threshold\"}\n");
    // --method overrides the file; a method that is none is refused.
    const RunResult onset = Analyze({"--dump-settings", "--method", "onset", "--settings", Write("dump.ini", kSettings).string()});
    EXPECT_NE(onset.out.find("\"method\":\"onset\""), std::string::npos) << onset.out;
    EXPECT_EQ(Analyze({"--method", "loud", "x.wav"}).status, 2);
}

// Batch work: suggested volumes as JSON, and a season's recordings stored
// in a library (one string per file, or one named string), read back with
// the sqlite3 tool.
TEST(Analyzer, SuggestsLevelsAndStoresInALibrary)
{
    const fs::path settings = Write("settings.ini", kSettings);
    const fs::path first = MakeRecording("range day.wav", 48000, synth::FileKind::Wav16, 1);
    const fs::path second = MakeRecording("second.flac", 44100, synth::FileKind::Flac16, 1);
    const fs::path silent = Dir() / "silent.wav";
    synth::Recording quiet;
    quiet.length = 96000;
    ASSERT_EQ(synth::WriteRecording(silent.string(), synth::Synthesize(quiet), 96000, synth::FileKind::Wav8), "");
    const fs::path loud = Dir() / "loud.wav";
    synth::Recording clipping;
    clipping.length = 144000;
    clipping.shots.push_back({20000, 4800, 3.0, 0.45});
    ASSERT_EQ(synth::WriteRecording(loud.string(), synth::Synthesize(clipping), 96000, synth::FileKind::Wav8), "");

    const RunResult levels =
        Analyze({"--settings", settings.string(), "--suggest-levels", first.string(), silent.string(), loud.string()});
    EXPECT_EQ(levels.status, 0) << levels.err;
    std::istringstream lines(levels.out);
    std::string good, bad, clipped;
    std::getline(lines, good);
    std::getline(lines, bad);
    std::getline(lines, clipped);
    // A report that clips still gets volumes, and the advice to lower the level.
    EXPECT_NE(clipped.find("\"muzzle_volume\":"), std::string::npos) << clipped;
    EXPECT_NE(clipped.find("\"warning\":\"the report clips"), std::string::npos) << clipped;
    EXPECT_EQ(good.find("warning"), std::string::npos) << good;
    EXPECT_EQ(good.rfind("{\"file\":\"" + first.string() + "\",\"event\":\"levels\",\"muzzle_volume\":", 0), 0u) << good;
    for (const char* key : {"impact_volume", "noise_peak", "muzzle_peak", "impact_peak"}) {
        EXPECT_NE(good.find(std::string("\"") + key + "\":"), std::string::npos) << key;
    }
    EXPECT_EQ(bad, "{\"file\":\"" + silent.string() + "\",\"event\":\"levels\",\"problem\":\"the background is as loud as the shot\"}");

    const fs::path library = Dir() / "season.sqlite";
    fs::remove(library);
    const auto stored = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"--settings", settings.string(), "--library", library.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult r = Analyze(args);
        EXPECT_EQ(r.status, 0) << r.err;
    };
    stored({first.string(), second.string()});
    EXPECT_EQ(test_support::SqliteQuery(library, "SELECT s.name, count(*), sum(kind = 'shot'), max(number) FROM shots "
                                                 "JOIN strings s ON s.id = string_id GROUP BY string_id ORDER BY s.name"),
              "range day.wav|5|4|4\nsecond.flac|5|4|4\n");
    // Each shot says how it was timed: this file names no method, so threshold, at whole samples.
    EXPECT_EQ(test_support::SqliteQuery(library, "SELECT DISTINCT method, muzzle_onset = round(muzzle_onset), "
                                                 "timing_sd IS NULL FROM shots WHERE kind = 'shot'"),
              "threshold|1|1\n");
    stored({"--string", "June", first.string(), second.string()});
    EXPECT_EQ(test_support::SqliteQuery(library, "SELECT count(*), max(number) FROM shots JOIN strings s ON s.id = string_id "
                                                 "WHERE s.name = 'June'"),
              "10|8\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--library", (Dir() / "no" / "such" / "x.sqlite").string(), first.string()},
                                                 {"--string", "x", first.string()},
                                                 {"--library", library.string(), "--mode", "analysis", first.string()},
                                                 {"--suggest-levels", "--mode", "live", first.string()}}) {
        std::vector<std::string> all = {"--settings", settings.string()};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(Analyze(all).status, 2) << args.front();
    }
}
