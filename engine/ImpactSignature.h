// What the shooter's own impact sounds like at the microphone: the first
// milliseconds after its onset, averaged over the string's clear impacts. A
// steel plate rings in the same modes every shot and the room returns that
// ring at the same delays, so over its first 20 ms (at most 768 samples: 16 ms
// at 48 kHz, 8 ms at 96 kHz) an impact is one waveform, however much louder
// the report's tail is at its onset. A rise detector has half a millisecond
// to see the impact; matching the signature has 16 to 40 times as much of
// it, and finds plates that do not rise out of an echoing room at all. A
// trap's thud is noise and matches nothing, so it is left to the rise. Owned
// by the onset detector; sized once.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quorvel {

class ImpactSignature {
public:
    explicit ImpactSignature(int rate);
    void Clear();
    // How many impacts it was learnt from.
    int Heard() const { return heard_; }
    // How many samples Find compares at each lag; Learn takes one more.
    std::int64_t Length() const { return static_cast<std::int64_t>(wave_.size()); }
    // Adds the impact whose onset is `onset` samples into x (0 <= onset < 1:
    // x starts at its floor) to the average, aligned on the onset between
    // samples. `sigma` is the onset's uncertainty; every match carries the
    // average's, since it places the learnt onset, not a new one.
    void Learn(std::span<const float> x, double onset, double sigma);

    struct Match {
        double onset = 0;     // in x's samples, as Learn's onset was
        double likeness = 0;  // normalised correlation at the best lag
        double sigma = 0;     // one standard deviation of onset, in samples
    };
    // Where in x (up to x.size() - Length()) the signature's onset falls,
    // taken at the lag where x is most like it: the correlation normalised
    // by both energies, so a loud neighbour's report does not outweigh it.
    std::optional<Match> Find(std::span<const float> x) const;

private:
    std::vector<float> wave_;  // the average, its onset at 0
    std::vector<float> sum_;
    double energy_ = 0;
    double bandwidth_ = 0;  // rms angular frequency, radians per sample
    double sigmaSum_ = 0;
    int heard_ = 0;
};

}  // namespace quorvel
