#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/wait.h>

#include "Analyzer.h"
#include "CaptureRing.h"
#include "ShotSynth.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

const char* const kSettings =
    "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\nRetainedVelocity=90\n"
    "[calibration]\nMuzzleVolume=60\nImpactVolume=30\nMicVolume=3\noffset=0\nFreezeIFdetected=1\nunits=0\n"
    "[hardware]\nfrequency=96000\ndeviceNum=0\ndatafilename=shots.txt\n";

fs::path Dir()
{
    // One folder per test: CTest runs the tests of this file side by side.
    const fs::path d = fs::path(::testing::TempDir()) / "quorvel-analyzer" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(d);
    return d;
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
    std::vector<std::map<std::string, std::string>> lines;
};

// Our own JSON lines: flat objects of strings and numbers.
std::map<std::string, std::string> ParseLine(const std::string& line)
{
    std::map<std::string, std::string> fields;
    std::size_t i = 1;
    while (i < line.size() && line[i] == '"') {
        const std::size_t keyEnd = line.find('"', i + 1);
        const std::string key = line.substr(i + 1, keyEnd - i - 1);
        std::size_t v = keyEnd + 2;
        std::string value;
        if (line[v] == '"') {
            const std::size_t end = line.find('"', v + 1);
            value = line.substr(v + 1, end - v - 1);
            v = end + 1;
        } else {
            const std::size_t end = line.find_first_of(",}", v);
            value = line.substr(v, end - v);
            v = end;
        }
        fields[key] = value;
        i = v + 1;
    }
    return fields;
}

RunResult Analyze(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    RunResult r;
    r.status = RunAnalyzer(args, (Dir() / "no-default.ini").string(), out, err);
    r.out = out.str();
    r.err = err.str();
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) r.lines.push_back(ParseLine(line));
    return r;
}

std::int64_t Int(const std::map<std::string, std::string>& m, const std::string& key) { return std::stoll(m.at(key)); }
double Real(const std::map<std::string, std::string>& m, const std::string& key) { return std::strtod(m.at(key).c_str(), nullptr); }

// The velocity the program must report for a count, written out the way it computes it.
double Average(std::int64_t samples, int rate) { return 10 / (static_cast<double>(samples) * (1.0 / rate * 1000) / 1000); }

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
    const std::string error = synth::WriteRecording(p.string(), synth::Synthesize(r), rate, kind, channels);
    EXPECT_EQ(error, "");
    return p;
}

}  // namespace

TEST(Analyzer, MeasuresEveryShotExactlyAtEveryRateAndFormat)
{
    const fs::path settings = Write("settings.ini", kSettings);
    struct Format {
        synth::FileKind kind;
        int channels;
        const char* name;
    };
    const Format formats[] = {{synth::FileKind::Wav8, 1, "u8"}, {synth::FileKind::Wav16, 2, "s16-stereo"},
                              {synth::FileKind::Flac16, 1, "flac"}, {synth::FileKind::WavFloat, 2, "float-stereo"}};
    for (int rate : {22050, 44100, 48000, 96000}) {
        for (const Format& f : formats) {
            const std::string name = std::to_string(rate) + "-" + f.name + ".wav";
            const fs::path file = MakeRecording(name, rate, f.kind, f.channels);
            const RunResult live = Analyze({"--settings", settings.string(), file.string()});
            ASSERT_EQ(live.status, 0) << live.err;
            const std::vector<Expected> plan = Plan(rate);
            ASSERT_EQ(live.lines.size(), plan.size()) << name << "\n" << live.out;
            int shotNumber = 0;
            for (std::size_t k = 0; k < plan.size(); ++k) {
                const auto& line = live.lines[k];
                SCOPED_TRACE(name + " event " + std::to_string(k));
                EXPECT_EQ(line.at("file"), file.string());
                EXPECT_EQ(Int(line, "muzzle_sample"), plan[k].muzzle);
                if (plan[k].delay == 0) {
                    EXPECT_EQ(line.at("event"), "miss");
                    EXPECT_EQ(line.at("reason"), "no impact");
                    continue;
                }
                ASSERT_EQ(line.at("event"), "shot");
                EXPECT_EQ(Int(line, "shot"), ++shotNumber);
                EXPECT_EQ(Int(line, "impact_sample"), plan[k].muzzle + plan[k].delay);
                EXPECT_EQ(Int(line, "samples"), plan[k].delay);
                const double avg = Average(plan[k].delay, rate);
                EXPECT_EQ(Real(line, "avg_velocity"), avg);
                const double muzzle = ((100.0 - 90) / 2 / 100 + 1) * avg + 0;
                EXPECT_EQ(Real(line, "muzzle_velocity"), muzzle);
                EXPECT_EQ(Real(line, "energy"), std::pow(muzzle, 2) * 0.5 * 0.547 / 1000);
                EXPECT_EQ(line.at("speed_unit"), "m/s");
                EXPECT_EQ(line.at("energy_unit"), "J");
            }

            const RunResult analysis = Analyze({"--mode", "analysis", "--settings", settings.string(), file.string()});
            ASSERT_EQ(analysis.lines.size(), 1u);
            EXPECT_EQ(analysis.lines[0].at("event"), "shot");
            EXPECT_EQ(Int(analysis.lines[0], "muzzle_sample"), plan[0].muzzle);
            EXPECT_EQ(Int(analysis.lines[0], "samples"), plan[0].delay);
            EXPECT_EQ(Int(analysis.lines[0], "shot"), 1);
        }
    }
}

TEST(Analyzer, AnalysisModeReportsAMuzzleAloneOrNothing)
{
    const fs::path settings = Write("settings.ini", kSettings);
    synth::Recording miss;
    miss.length = 200000;
    miss.shots.push_back({30000, 0, 0.8, 0.45});
    const fs::path missFile = Dir() / "miss.wav";
    ASSERT_EQ(synth::WriteRecording(missFile.string(), synth::Synthesize(miss), 96000, synth::FileKind::Wav8), "");
    synth::Recording quiet;
    quiet.length = 1000;  // shorter than the waveform: padded with silence
    const fs::path quietFile = Dir() / "quiet.wav";
    ASSERT_EQ(synth::WriteRecording(quietFile.string(), synth::Synthesize(quiet), 48000, synth::FileKind::Wav16), "");

    const RunResult r = Analyze({"--mode", "analysis", "--settings", settings.string(), missFile.string(), quietFile.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"file\":\"" + missFile.string() + "\",\"event\":\"muzzle only\",\"muzzle_sample\":30000}\n"
                     "{\"file\":\"" + quietFile.string() + "\",\"event\":\"none\"}\n");
}

TEST(Analyzer, AMuzzleAtTheEndOfAFileIsStillReported)
{
    const fs::path settings = Write("settings.ini", kSettings);
    synth::Recording r;
    r.length = 115200;  // 1.2 s: the window after a muzzle at 1.19 s runs past the end
    r.shots.push_back({114240, 0, 0.8, 0.45});
    const fs::path file = Dir() / "cut-short.wav";
    ASSERT_EQ(synth::WriteRecording(file.string(), synth::Synthesize(r), 96000, synth::FileKind::Wav8), "");
    const RunResult live = Analyze({"--settings", settings.string(), file.string()});
    EXPECT_EQ(live.out, "{\"file\":\"" + file.string() + "\",\"event\":\"miss\",\"reason\":\"no impact\",\"muzzle_sample\":114240}\n");
    const RunResult analysis = Analyze({"--mode", "analysis", "--settings", settings.string(), file.string()});
    EXPECT_EQ(analysis.lines.at(0).at("event"), "muzzle only");
}

TEST(Analyzer, AnImpactOnTheMuzzleSampleIsNeverAShot)
{
    // Absurd limits open the window at 0 samples: the muzzle crack itself is
    // louder than the impact volume. No velocity can come of that.
    std::string absurd = kSettings;
    absurd.replace(absurd.find("VelocityMax=400"), 15, "VelocityMax=1e9");
    const fs::path settings = Write("absurd.ini", absurd);
    synth::Recording r;
    r.length = 96000;
    r.shots.push_back({20000, 4800, 0.8, 0.45});
    const fs::path file = Dir() / "absurd.wav";
    ASSERT_EQ(synth::WriteRecording(file.string(), synth::Synthesize(r), 96000, synth::FileKind::Wav8), "");
    const RunResult live = Analyze({"--settings", settings.string(), file.string()});
    ASSERT_EQ(live.lines.size(), 1u) << live.out;
    EXPECT_EQ(live.lines[0].at("event"), "miss");
    EXPECT_EQ(live.lines[0].at("reason"), "Max. Velocity");
    EXPECT_EQ(Int(live.lines[0], "muzzle_sample"), 20000);
    const RunResult analysis = Analyze({"--mode", "analysis", "--settings", settings.string(), file.string()});
    EXPECT_EQ(analysis.lines.at(0).at("event"), "muzzle only");
    EXPECT_EQ(live.out.find("inf"), std::string::npos);
}

TEST(Analyzer, BadFilesAreReportedAndTheOthersStillMeasured)
{
    const fs::path settings = Write("settings.ini", kSettings);
    const fs::path good = MakeRecording("good.wav", 48000, synth::FileKind::Wav16, 1);
    std::ifstream in(good, std::ios::binary);
    std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path empty = Write("empty.wav", "");
    const fs::path text = Write("notes.wav", "this is not a recording\n");
    const fs::path truncated = Write("truncated.wav", wav.substr(0, 30));
    const fs::path missing = Dir() / "missing.wav";

    const RunResult r = Analyze({"--settings", settings.string(), empty.string(), good.string(), text.string(),
                           truncated.string(), missing.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.lines.size(), Plan(48000).size()) << "the good file is measured in full";
    std::istringstream errors(r.err);
    std::vector<std::string> lines;
    for (std::string line; std::getline(errors, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << r.err;
    const fs::path order[] = {empty, text, truncated, missing};
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(lines[k].rfind("quorvel-analyze: " + order[k].string() + ": ", 0), 0u) << lines[k];
        EXPECT_GT(lines[k].size(), ("quorvel-analyze: " + order[k].string() + ": ").size()) << "a reason is given";
    }
}

TEST(Analyzer, SettingsAndUsageErrors)
{
    const RunResult missing = Analyze({"--settings", (Dir() / "absent.ini").string(), "x.wav"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "quorvel-analyze: " + (Dir() / "absent.ini").string() + " not found !!! Can't continue\n");
    EXPECT_EQ(missing.out, "");

    const RunResult folder = Analyze({"--settings", Dir().string(), "x.wav"});
    EXPECT_EQ(folder.status, 2);
    EXPECT_NE(folder.err.find("not a file"), std::string::npos) << folder.err;
    EXPECT_EQ(folder.err.find('\n'), folder.err.size() - 1) << "one line";

    const RunResult defaultMissing = Analyze({"x.wav"});
    EXPECT_EQ(defaultMissing.status, 2);
    EXPECT_NE(defaultMissing.err.find("no-default.ini"), std::string::npos);

    EXPECT_EQ(Analyze({"--mode", "sideways", "x.wav"}).status, 2);
    EXPECT_EQ(Analyze({"--bogus"}).status, 2);
    EXPECT_EQ(Analyze({"--settings"}).status, 2);
    const fs::path settings = Write("settings.ini", kSettings);
    EXPECT_EQ(Analyze({"--settings", settings.string()}).status, 2) << "no files";
}

TEST(Analyzer, DumpSettingsShowsTheLoadedRecord)
{
    const fs::path settings = Write("dump.ini", kSettings);
    const RunResult r = Analyze({"--dump-settings", "--settings", settings.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "{\"VelocityMin\":50,\"VelocityMax\":400,\"distance\":10,\"pelletmass\":0.547,\"RetainedVelocity\":90,"
              "\"MuzzleVolume\":60,\"ImpactVolume\":30,\"MicVolume\":3,\"offset\":0,\"FreezeIFdetected\":1,"
              "\"freezeIFnoimpact\":0,\"freezeIFmaxexceed\":0,\"AutoSaveBasic\":0,\"AutoSaveExtended\":0,"
              "\"AutoSaveWaveForm\":0,\"units\":0,\"frequency\":96000,\"deviceNum\":0,\"datafilename\":\"shots.txt\","
              "\"SampleTimeMs\":0.010416666666666666,\"WindowStart\":2400,\"WindowEnd\":19200}\n");
}

TEST(AnalyzerCommand, UsesTheSettingsBesideItAndExitsWithStatusTwoOnBadInput)
{
    const fs::path file = MakeRecording("command.wav", 96000, synth::FileKind::Wav8, 1);
    const auto run = [](const std::string& command, std::string* out) {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return -1;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out->append(buffer, n);
        const int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run(std::string(QUORVEL_ANALYZE) + " '" + file.string() + "'", &out), 0);
    EXPECT_NE(out.find("\"event\":\"shot\""), std::string::npos) << out;

    out.clear();
    EXPECT_EQ(run(std::string(QUORVEL_ANALYZE) + " '" + file.string() + "' /nonexistent.wav 2>&1", &out), 2);
    EXPECT_NE(out.find("quorvel-analyze: /nonexistent.wav: "), std::string::npos) << out;
}
