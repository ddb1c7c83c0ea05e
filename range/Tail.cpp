#include "Tail.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::range {

namespace {

// Energy per millisecond of the tail: the sound's energy per millisecond
// convolved with the room's decay (normalised to one).
std::vector<double> Envelope(const Wave& wave, int waveRate, const TailShape& shape)
{
    const int perMs = std::max(1, waveRate / 1000);
    std::vector<double> source((wave.samples.size() + static_cast<std::size_t>(perMs) - 1) / static_cast<std::size_t>(perMs));
    for (std::size_t i = 0; i < wave.samples.size(); ++i) {
        source[i / static_cast<std::size_t>(perMs)] += double{wave.samples[i]} * wave.samples[i] / waveRate;
    }
    const auto decayBins = static_cast<std::size_t>(shape.rt60 * 1000 * 1.2) + 1;
    std::vector<double> room(decayBins);
    double sum = 0;
    for (std::size_t j = 0; j < decayBins; ++j) {
        const double t = static_cast<double>(j) + 0.5;
        room[j] = (1 - std::exp(-t / std::max(shape.buildMs, 0.1))) * std::exp(-2 * 6.91 * t / 1000 / shape.rt60);
        sum += room[j];
    }
    std::vector<double> out(source.size() + decayBins);
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] <= 0) continue;
        for (std::size_t j = 0; j < decayBins; ++j) out[i + j] += source[i] * room[j] / sum;
    }
    const double scale = wave.energy > 0 ? shape.energy / wave.energy : 0;
    for (double& e : out) e *= scale;
    return out;
}

// A two-pole resonance, or a two-pole lowpass for hz <= 0 meaning broadband.
struct Filter {
    double a1 = 0, a2 = 0, b0 = 1;
    double y1 = 0, y2 = 0;
    double Step(double x)
    {
        const double y = b0 * x + a1 * y1 - a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

Filter Resonance(double hz, double bandwidthHz, int rate)
{
    const double r = std::exp(-std::numbers::pi * bandwidthHz / rate);
    return {2 * r * std::cos(2 * std::numbers::pi * hz / rate), r * r, 1};
}

// Unit-power noise of the wave's colour, `length` samples.
std::vector<double> ColouredNoise(const Wave& wave, std::size_t length, int rate, std::mt19937& rng)
{
    std::normal_distribution<double> white(0, 1);
    std::vector<double> noise(length), part(length);
    auto addPart = [&](double share) {
        double power = 0;
        for (double v : part) power += v * v;
        power /= static_cast<double>(std::max<std::size_t>(length, 1));
        if (power <= 0) return;
        const double k = std::sqrt(share / power);
        for (std::size_t i = 0; i < length; ++i) noise[i] += k * part[i];
    };
    for (const Mode& m : wave.colour) {
        if (m.hz >= 0.45 * rate || m.amp <= 0) continue;
        Filter f = Resonance(m.hz, std::max(30.0, 1000 / (std::numbers::pi * m.tauMs)) * 3, rate);
        for (double& v : part) v = f.Step(white(rng));
        addPart(m.amp);
    }
    if (wave.broadband > 0) {
        const double a = std::exp(-2 * std::numbers::pi * std::min(wave.broadbandHz, 0.4 * rate) / rate);
        double y1 = 0, y2 = 0;
        for (double& v : part) {
            y1 = a * y1 + (1 - a) * white(rng);
            y2 = a * y2 + (1 - a) * y1;
            v = y2;
        }
        addPart(wave.broadband);
    }
    return noise;
}

}  // namespace

void AddTail(std::vector<float>& out, double onset, const Wave& wave, int waveRate, const TailShape& shape, int rate,
             std::mt19937& rng)
{
    if (shape.energy <= 0 || shape.rt60 <= 0 || onset >= static_cast<double>(out.size())) return;
    const std::vector<double> energy = Envelope(wave, waveRate, shape);
    const auto first = static_cast<std::int64_t>(std::ceil(onset));
    const auto length = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(energy.size()) * rate / 1000, static_cast<std::int64_t>(out.size()) - first));
    const std::vector<double> noise = ColouredNoise(wave, length, rate, rng);
    for (std::size_t i = 0; i < length; ++i) {
        // Amplitude per sample from the energy per millisecond, between bin centres.
        const double ms = (static_cast<double>(first) + static_cast<double>(i) - onset) * 1000 / rate - 0.5;
        const auto bin = static_cast<std::size_t>(std::max(0.0, ms));
        const double frac = std::clamp(ms - static_cast<double>(bin), 0.0, 1.0);
        const double e0 = energy[std::min(bin, energy.size() - 1)];
        const double e1 = energy[std::min(bin + 1, energy.size() - 1)];
        const double amplitude = std::sqrt(std::max(0.0, e0 + (e1 - e0) * frac) * 1000);
        out[static_cast<std::size_t>(first) + i] += static_cast<float>(amplitude * noise[i]);
    }
}

}  // namespace quorvel::range
