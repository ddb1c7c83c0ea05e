// quorvel-synth: writes a synthetic shot recording, for the demo and for
// trying the analyser without a gun.
//   quorvel-synth OUT.wav [--rate R] [--seconds S] [--kind wav8|wav16|wav24|float|flac] [--channels N]
//                 [--shot MUZZLE_MS:VELOCITY] ... [--miss MUZZLE_MS] ... [--distance D]
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <string>

#include "ShotSynth.h"

int main(int argc, char** argv)
{
    using namespace quorvel::synth;
    constexpr const char* kUsage =
        "usage: quorvel-synth OUT [--rate R] [--seconds S] [--kind wav8|wav16|wav24|float|flac] "
        "[--channels N] [--distance D] [--shot MS:VELOCITY]... [--miss MS]...\n"
        "       quorvel-synth --help | --version\n"
        "Writes a recording of generated air-gun shots (muzzle report, impact, background noise).\n"
        "  --shot MS:VELOCITY  a report MS ms in, the pellet crossing the distance at an average of VELOCITY m/s\n"
        "                      (the average over the distance, not the muzzle velocity)\n";
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
    Recording r;
    double seconds = 10;
    double distance = 10;
    FileKind kind = FileKind::Wav8;
    int channels = 1;
    struct Pending { double ms; double velocity; };
    std::vector<Pending> pending;
    if ((argc - 2) % 2 != 0) {
        std::cerr << "quorvel-synth: option " << argv[argc - 1] << " needs a value\n";
        return 2;
    }
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--rate") r.sampleRate = std::atoi(value.c_str());
        else if (key == "--seconds") seconds = std::atof(value.c_str());
        else if (key == "--distance") distance = std::atof(value.c_str());
        else if (key == "--channels") channels = std::atoi(value.c_str());
        else if (key == "--miss") pending.push_back({std::atof(value.c_str()), 0});
        else if (key == "--shot") {
            const auto colon = value.find(':');
            pending.push_back({std::atof(value.substr(0, colon).c_str()),
                               colon == std::string::npos ? 200.0 : std::atof(value.substr(colon + 1).c_str())});
        } else if (key == "--kind") {
            kind = value == "wav16" ? FileKind::Wav16 : value == "wav24" ? FileKind::Wav24
                 : value == "float" ? FileKind::WavFloat : value == "flac" ? FileKind::Flac16 : FileKind::Wav8;
        } else {
            std::cerr << "quorvel-synth: unknown option " << key << '\n';
            return 2;
        }
    }
    if (r.sampleRate < 1000 || channels < 1 || seconds <= 0) {
        std::cerr << "quorvel-synth: rate, channels and seconds must be positive\n";
        return 2;
    }
    r.length = static_cast<std::int64_t>(seconds * r.sampleRate);
    for (const Pending& p : pending) {
        Shot shot;
        shot.muzzleSample = std::llround(p.ms / 1000 * r.sampleRate);
        shot.impactDelay = p.velocity > 0 ? DelayFor(distance, p.velocity, r.sampleRate) : 0;
        r.shots.push_back(shot);
    }
    const std::string error = WriteSynthesized(outPath, r, kind, channels);
    if (!error.empty()) {
        std::cerr << "quorvel-synth: " << outPath << ": " << error << '\n';
        return 1;
    }
    return 0;
}
