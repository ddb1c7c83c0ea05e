#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <unistd.h>

#include "support/TempFolder.h"
#include "AudioFileReader.h"
#include "ShotAutosave.h"
#include "ShotDataFile.h"
#include "ShotSynth.h"
#include "WaveFile.h"
#include "support/Files.h"

using namespace quorvel;
using quorvel::test_support::Slurp;
namespace fs = std::filesystem;

namespace {

fs::path Dir()
{
    // One folder per test: CTest runs the tests of this file side by side.
    return test_support::FolderFor(std::string("wave-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

SampleArray Ramp()
{
    SampleArray w;
    for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<std::uint8_t>(i * 7 + i / 300);
    return w;
}

std::uint32_t Le32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

}  // namespace

TEST(WaveFile, WritesTheExactLayoutAndReadsItBackByteForByte)
{
    const SampleArray wave = Ramp();
    const fs::path file = Dir() / "own.wav";
    ASSERT_EQ(WriteWaveFile(file.string(), wave, 44100), "");
    const std::string bytes = Slurp(file);
    ASSERT_EQ(bytes.size(), 144045u);
    EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(36, 4), "RIFFWAVEfmt data");
    // RIFF size, fmt size, PCM mono, rate, bytes per second, block align 1 and 8 bits, data size.
    const std::pair<std::size_t, std::uint32_t> fields[] = {{4, 144036}, {16, 16}, {20, 0x00010001}, {24, 44100},
                                                            {28, 44100}, {32, 0x00080001}, {40, 144000}};
    for (const auto& [at, value] : fields) EXPECT_EQ(Le32(bytes, at), value) << "at " << at;
    EXPECT_EQ(bytes.substr(44), std::string(wave.begin(), wave.end()));
    const auto header16 = BuildWaveHeader(2, 1000, 48000, 16);
    EXPECT_EQ(header16[32], 4);
    EXPECT_EQ(header16[28] | header16[29] << 8 | header16[30] << 16, 192000);

    const auto loaded = ReadWaveFile(file.string());
    ASSERT_TRUE(loaded) << loaded.Error();
    EXPECT_TRUE(loaded->ownLayout);
    EXPECT_EQ(loaded->rate, 44100);
    EXPECT_EQ(loaded->samples, wave);

    // Other programs read it as an ordinary 8-bit mono recording, a piece at a time.
    const auto opened = AudioStream::Open(file.string());
    ASSERT_TRUE(opened) << opened.Error();
    AudioStream* stream = opened->get();
    EXPECT_EQ(stream->SampleRate(), 44100);
    std::vector<std::uint8_t> pieces(200000);
    EXPECT_EQ(stream->Read(std::span(pieces).first(1000)) + stream->Read(std::span(pieces).subspan(1000)), 144000u);
    EXPECT_TRUE(std::equal(wave.begin(), wave.begin() + kRingSamples, pieces.begin()));
    if (std::system("command -v sox >/dev/null 2>&1") == 0) {
        const std::string command = "sox --i -r '" + file.string() + "' > '" + (Dir() / "rate.txt").string() + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(Slurp(Dir() / "rate.txt"), "44100\n");
    }
}

TEST(WaveFile, ForeignRecordingsAreConvertedAndBadFilesChangeNothing)
{
    synth::Recording r;
    r.sampleRate = 48000;
    r.length = 90000;
    r.shots.push_back({1000, 2400, 0.8, 0.45});
    const fs::path stereo = Dir() / "stereo16.wav";
    ASSERT_EQ(synth::WriteRecording(stereo.string(), synth::Synthesize(r), 48000, synth::FileKind::Wav16, 2), "");
    const auto converted = ReadWaveFile(stereo.string());
    ASSERT_TRUE(converted) << converted.Error();
    EXPECT_FALSE(converted->ownLayout);
    EXPECT_EQ(converted->rate, 48000);
    const auto eightBit = synth::SynthesizeEightBit(r);
    EXPECT_TRUE(std::equal(eightBit.begin(), eightBit.end(), converted->samples.begin()));
    EXPECT_EQ(converted->samples[100000], kSilence) << "a short recording is padded with silence";

    ASSERT_EQ(WriteWaveFile((Dir() / "own.wav").string(), Ramp(), 96000), "");
    const std::string own = Slurp(Dir() / "own.wav");

    // A short 8-bit mono recording from another program, complete: padded with silence.
    const auto shortHeader = BuildWaveHeader(1, 1000, 8000, 8);
    std::string shortFile(shortHeader.begin(), shortHeader.end());
    shortFile.append(1000, static_cast<char>(200));
    std::ofstream(Dir() / "short8.wav", std::ios::binary) << shortFile;
    const auto shortLoaded = ReadWaveFile((Dir() / "short8.wav").string());
    ASSERT_TRUE(shortLoaded) << shortLoaded.Error();
    EXPECT_EQ(shortLoaded->rate, 8000);
    EXPECT_EQ(shortLoaded->samples[999], 200);
    EXPECT_EQ(shortLoaded->samples[1000], kSilence);
    const std::pair<const char*, std::string> bad[] = {
        {"empty.wav", ""},
        {"text.wav", "this is no recording at all\n"},
        {"cut.wav", own.substr(0, 100000)},
        {"cut-foreign.wav", Slurp(stereo).substr(0, 5000)},
    };
    for (const auto& [name, content] : bad) {
        std::ofstream(Dir() / name, std::ios::binary) << content;
        const auto refused = ReadWaveFile((Dir() / name).string());
        EXPECT_FALSE(refused) << name;
        EXPECT_NE(refused.Error().find(name), std::string::npos) << refused.Error();
    }
    EXPECT_FALSE(ReadWaveFile((Dir() / "missing.wav").string()));
    EXPECT_NE(WriteWaveFile((Dir() / "no-folder" / "x.wav").string(), Ramp(), 96000), "");
}

TEST(ShotDataFile, ShortAndExtendedLinesAppendedWhole)
{
    ShotResult shot;
    shot.ShotNumber = 12;
    shot.AvgVelocity = 200.123456;
    shot.Distance = 10;
    shot.PelletMass = 0.547;
    shot.MuzzleLevel = 60;
    shot.ImpactLevel = 30;
    shot.Samples = 4797;
    shot.SampleRate = 96000;
    EXPECT_EQ(ShotDataLine(shot, false, "06.12.2026 13:05:12", '.'), "06.12.2026 13:05:12 , 12 , 200.12346\r\n");
    EXPECT_EQ(ShotDataLine(shot, true, "d", ','), "d , 12 , 200,12346 , 10,00 , 0,5470 , 60 , 30 , 4797 , 96000\r\n");

    EXPECT_EQ(ShotDataPath("shots.txt", "/opt/q"), "/opt/q/shots.txt");
    EXPECT_EQ(ShotDataPath("", "/opt/q"), "/opt/q/shots.txt");
    EXPECT_EQ(ShotDataPath("/data/air.txt", "/opt/q"), "/data/air.txt");
    EXPECT_EQ(WaveformFileName(46362 + (13 * 3600 + 5 * 60 + 9) / 86400.0), "20261206-130509.wav");

    // The autosave: the line, and the waveform even when the line cannot be written.
    const AutosaveTarget target{(Dir() / "data.txt").string(), Dir().string(), false, true};
    fs::remove(target.dataFile);
    const double now = 46362 + (13 * 3600 + 5 * 60 + 9) / 86400.0;
    EXPECT_EQ(AutosaveShot(shot, target, Ramp(), 48000, now), "");
    EXPECT_EQ(AutosaveShot(shot, target, Ramp(), 48000, now), "");
    const std::string lines = Slurp(target.dataFile);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
    EXPECT_NE(lines.find(" , 12 , 200.12346\r\n"), std::string::npos) << lines;
    EXPECT_EQ(Slurp(Dir() / "20261206-130509.wav").size(), 144045u);
    fs::remove(Dir() / "20261206-130509.wav");
    const AutosaveTarget noFolder{(Dir() / "no-folder" / "data.txt").string(), Dir().string(), false, true};
    const std::string failure = AutosaveShot(shot, noFolder, Ramp(), 48000, now);
    EXPECT_NE(failure.find("no-folder/data.txt"), std::string::npos) << failure;
    EXPECT_TRUE(fs::exists(Dir() / "20261206-130509.wav"));

    // A disk that fills during a line (a file size limit here): the bytes that fit are taken back.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit unlimited{};
    ::getrlimit(RLIMIT_FSIZE, &unlimited);
    const auto size = fs::file_size(target.dataFile);
    const rlimit nearlyFull{static_cast<rlim_t>(size + 5), unlimited.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &nearlyFull);
    const std::string full = AppendShotLine(target.dataFile, "a line longer than the room left\r\n");
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_NE(full.find("data.txt"), std::string::npos) << full;
    EXPECT_EQ(fs::file_size(target.dataFile), size);

    // Started with stdin closed (from a launcher), the data file can be descriptor 0.
    const int stdinCopy = ::dup(0);
    ::close(0);
    EXPECT_EQ(AppendShotLine(target.dataFile, "c\r\n"), "");
    ::dup2(stdinCopy, 0);
    ::close(stdinCopy);
}
