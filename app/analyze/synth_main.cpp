// quorvel-synth: writes a synthetic shot recording, for the demo and for
// trying the analyser without a gun.
//   quorvel-synth OUT.wav [--rate R] [--seconds S] [--kind wav8|wav16|wav24|float|flac] [--channels N]
//                 [--shot MUZZLE_MS:VELOCITY] ... [--miss MUZZLE_MS] ... [--distance D]
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "ShotSynth.h"

namespace {

using namespace quorvel::synth;

constexpr const char* kUsage =
    "usage: quorvel-synth OUT [--rate R] [--seconds S] [--kind wav8|wav16|wav24|float|flac] "
    "[--channels N] [--distance D] [--shot MS:VELOCITY]... [--miss MS]...\n"
    "       quorvel-synth --help | --version\n"
    "Writes a recording of generated air-gun shots (muzzle report, impact, background noise).\n"
    "  --shot MS:VELOCITY  a report MS ms in, the pellet crossing the distance at an average of VELOCITY m/s\n"
    "                      (the average over the distance, not the muzzle velocity)\n";

struct Request {
    Recording recording;
    double seconds = 10;
    double distance = 10;
    FileKind kind = FileKind::Wav8;
    int channels = 1;
    std::vector<std::pair<double, double>> shots;  // report at ms, average velocity (0: a miss)
};

// The options after OUT; "" or what is wrong with them.
std::string ReadOptions(int argc, char** argv, Request& q)
{
    if ((argc - 2) % 2 != 0) return std::string("option ") + argv[argc - 1] + " needs a value";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--rate") q.recording.sampleRate = std::atoi(value.c_str());
        else if (key == "--seconds") q.seconds = std::atof(value.c_str());
        else if (key == "--distance") q.distance = std::atof(value.c_str());
        else if (key == "--channels") q.channels = std::atoi(value.c_str());
        else if (key == "--miss") q.shots.emplace_back(std::atof(value.c_str()), 0);
        else if (key == "--shot") {
            const auto colon = value.find(':');
            q.shots.emplace_back(std::atof(value.substr(0, colon).c_str()),
                                 colon == std::string::npos ? 200.0 : std::atof(value.substr(colon + 1).c_str()));
        } else if (key == "--kind") {
            q.kind = value == "wav16" ? FileKind::Wav16 : value == "wav24" ? FileKind::Wav24
                   : value == "float" ? FileKind::WavFloat : value == "flac" ? FileKind::Flac16 : FileKind::Wav8;
        } else {
            return "unknown option " + key;
        }
    }
    if (q.recording.sampleRate < 1000 || q.channels < 1 || q.seconds <= 0) return "rate, channels and seconds must be positive";
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "quorvel-synth " << QUORVEL_VERSION << '\n';
        return 0;
    }
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string outPath = argv[1];
    Request q;
    if (const std::string problem = ReadOptions(argc, argv, q); !problem.empty()) {
        std::cerr << "quorvel-synth: " << problem << '\n';
        return 2;
    }
    Recording& r = q.recording;
    r.length = static_cast<std::int64_t>(q.seconds * r.sampleRate);
    for (const auto& [ms, velocity] : q.shots) {
        Shot shot;
        shot.muzzleSample = std::llround(ms / 1000 * r.sampleRate);
        shot.impactDelay = velocity > 0 ? DelayFor(q.distance, velocity, r.sampleRate) : 0;
        r.shots.push_back(shot);
    }
    const std::string error = WriteSynthesized(outPath, r, q.kind, q.channels);
    if (!error.empty()) {
        std::cerr << "quorvel-synth: " << outPath << ": " << error << '\n';
        return 1;
    }
    return 0;
}
