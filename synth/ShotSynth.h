// Realistic synthetic shot recordings with known answers, for the tests, the
// benchmarks and the demo: a muzzle report (a sharp crack that rings and
// decays), an impact a chosen number of samples later, background noise, and
// misses. Each sound starts at full strength on its first sample, so the
// sample at which a trigger must fire is known exactly.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace quorvel::synth {

struct Shot {
    std::int64_t muzzleSample = 0;
    std::int64_t impactDelay = 0;  // samples after the muzzle; 0 = a miss, no impact
    double muzzleLevel = 0.8;      // peak of the report, 1 = full scale
    double impactLevel = 0.45;
};

struct Recording {
    int sampleRate = 96000;
    std::int64_t length = 0;   // samples
    double noise = 0.015;      // background noise peak, 1 = full scale
    std::uint32_t seed = 1;
    std::vector<Shot> shots;
    double ringMs = 1.2;    // how long every report rings (its time constant)
    double echoMs = 0;      // each report echoes this long after it; 0 = no echo
    double echoLevel = 0;
    double riseMs = 0;      // every sound rises to its peak over this long; 0 = at once
    double noiseSd = 0;     // Gaussian background noise added, 1 = full scale
};

// The recording made a piece at a time, in order, so that hours of it need
// no more memory than one piece; the pieces join into exactly the samples
// Synthesize gives.
class SynthStream {
public:
    explicit SynthStream(const Recording& recording);
    // The next samples; fewer (0 at the end) when the recording ends.
    std::size_t Next(std::span<std::int16_t> out);

private:
    struct Burst {
        std::int64_t at;
        double level, hz, tauMs;
    };
    double BurstAt(std::size_t index, std::int64_t k) const;

    Recording r_;
    std::mt19937 rng_;
    std::mt19937 gauss_;
    std::normal_distribution<double> normal_;  // keeps the second value of each pair across pieces
    std::vector<Burst> bursts_;
    std::vector<double> scratch_;
    std::int64_t position_ = 0;
};

// The recording as 16-bit samples.
std::vector<std::int16_t> Synthesize(const Recording& recording);

// The same as the program's 8-bit samples ((s16 >> 8) + 128).
std::vector<std::uint8_t> SynthesizeEightBit(const Recording& recording);

enum class FileKind { Wav8, Wav16, Wav24, WavFloat, Flac16 };

// Writes mono samples to a file; with more channels the first carries the
// recording and the others something different, to prove only the first is
// used. Returns an empty string, or the reason it failed.
std::string WriteRecording(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate,
                           FileKind kind, int channels = 1);

// Writes the recording a piece at a time (a two-hour recording in a few
// megabytes of memory); "" or why it could not.
std::string WriteSynthesized(const std::string& path, const Recording& recording, FileKind kind, int channels = 1);

// Samples for a muzzle-to-impact time: delay = round(distance / velocity x rate).
std::int64_t DelayFor(double distance, double velocity, int sampleRate);

}  // namespace quorvel::synth
