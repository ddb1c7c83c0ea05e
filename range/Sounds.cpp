#include "Sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::range {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double Uniform(std::mt19937& rng, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

// Adds decaying sinusoids that start at zero on `from` (a struck body moves
// from rest), each scaled by `scale`.
void AddModes(std::vector<double>& out, std::int64_t from, const std::vector<Mode>& modes, double scale, int rate)
{
    for (const Mode& m : modes) {
        const double w = kTwoPi * m.hz / rate;
        const double tau = m.tauMs * rate / 1000;
        for (std::int64_t k = 0; from + k < static_cast<std::int64_t>(out.size()); ++k) {
            const double t = static_cast<double>(k);
            if (t > 8 * tau) break;
            out[static_cast<std::size_t>(from + k)] += scale * m.amp * std::sin(w * t) * std::exp(-t / tau);
        }
    }
}

double EnergyOf(const std::vector<double>& s, int rate)
{
    double e = 0;
    for (double v : s) e += v * v;
    return e / rate;
}

double ModeEnergy(const Mode& m, double scale) { return scale * scale * m.amp * m.amp * m.tauMs / 1000 / 4; }

Wave Finish(std::vector<double>& s, std::int64_t onset, double level, int rate)
{
    // Scaled so the first two milliseconds peak at `level`.
    double peak = 0;
    const auto end = std::min<std::int64_t>(static_cast<std::int64_t>(s.size()), onset + rate / 500);
    for (std::int64_t i = onset; i < end; ++i) peak = std::max(peak, std::abs(s[static_cast<std::size_t>(i)]));
    const double scale = peak > 0 ? level / peak : 0;
    Wave w;
    w.samples.resize(s.size());
    std::transform(s.begin(), s.end(), w.samples.begin(), [scale](double v) { return static_cast<float>(v * scale); });
    w.onset = onset;
    w.energy = EnergyOf(s, rate) * scale * scale;
    return w;
}

// Shares of the energy, from the parts' own energies.
void SetColour(Wave& w, std::vector<Mode> modes, double modeEnergy, double broadEnergy, double broadHz)
{
    const double total = std::max(modeEnergy + broadEnergy, 1e-30);
    for (Mode& m : modes) m.amp = m.amp / total;
    w.colour = std::move(modes);
    w.broadband = broadEnergy / total;
    w.broadbandHz = broadHz;
}

}  // namespace

Gun MakeGun(double pulseMs, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Gun g;
    g.pulseMs = pulseMs;
    g.decay = Uniform(rng, 1.0, 2.0);
    for (int k = 0; k < 3; ++k) g.action.push_back({Uniform(rng, 1200, 5500), Uniform(rng, 0.8, 4), Uniform(rng, 0.06, 0.22)});
    for (int k = 0; k < 2; ++k) g.hammer.push_back({Uniform(rng, 2500, 7000), Uniform(rng, 0.15, 0.5), 1});
    g.clickLevel = Uniform(rng, 0.015, 0.05);
    g.clickLeadMs = Uniform(rng, 2, 8);
    return g;
}

Wave Report(const Gun& g, double level, int rate)
{
    const auto lead = static_cast<std::int64_t>(g.clickLeadMs * rate / 1000);
    const auto pulse = g.pulseMs * rate / 1000;
    const auto length = lead + static_cast<std::int64_t>(rate * 0.03);
    std::vector<double> s(static_cast<std::size_t>(length));
    AddModes(s, 0, g.hammer, g.clickLevel, rate);
    double blast = 0;
    for (std::int64_t k = 0; lead + k < length; ++k) {
        const double u = static_cast<double>(k) / pulse;
        if (u > 12) break;
        const double p = (1 - u) * std::exp(-g.decay * u);
        s[static_cast<std::size_t>(lead + k)] += p;
        blast += p * p;
    }
    blast /= rate;
    AddModes(s, lead, g.action, 1, rate);
    Wave w = Finish(s, lead, level, rate);
    const double scale2 = w.energy / std::max(EnergyOf(s, rate), 1e-30);
    double modes = 0;
    for (const Mode& m : g.action) modes += ModeEnergy(m, 1);
    std::vector<Mode> colour = g.action;
    for (Mode& m : colour) m.amp = ModeEnergy(m, 1);
    SetColour(w, colour, modes * scale2, blast * scale2, 0.5 / (g.pulseMs / 1000));
    return w;
}

Plate MakePlate(std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Plate p;
    double hz = Uniform(rng, 500, 900);
    for (int k = 0; k < 6; ++k) {
        p.modes.push_back({hz, Uniform(rng, 25, 220), Uniform(rng, 0.3, 1.0)});
        hz *= Uniform(rng, 1.35, 1.8);
    }
    p.contactUs = Uniform(rng, 25, 60);
    return p;
}

Wave PlateImpact(const Plate& plate, double level, int rate, std::mt19937& rng)
{
    // Where the pellet lands decides how strongly each mode is struck.
    std::vector<Mode> modes = plate.modes;
    for (Mode& m : modes) m.amp *= Uniform(rng, 0.4, 1.6);
    double longest = 0;
    for (const Mode& m : modes) longest = std::max(longest, m.tauMs);
    const auto length = static_cast<std::int64_t>(std::min(3 * longest, 500.0) * rate / 1000) + 16;
    std::vector<double> s(static_cast<std::size_t>(length));
    const double contact = plate.contactUs * 1e-6 * rate;
    double modePeak = 0;
    for (const Mode& m : modes) modePeak += m.amp;
    for (std::int64_t k = 0; k < static_cast<std::int64_t>(contact); ++k) {
        s[static_cast<std::size_t>(k)] = 0.5 * modePeak * std::sin(std::numbers::pi * static_cast<double>(k) / contact);
    }
    AddModes(s, 0, modes, 1, rate);
    Wave w = Finish(s, 0, level, rate);
    const double scale2 = w.energy / std::max(EnergyOf(s, rate), 1e-30);
    double total = 0;
    for (Mode& m : modes) {
        m.amp = ModeEnergy(m, 1) * scale2;
        total += m.amp;
    }
    SetColour(w, modes, total, 0, 2000);
    return w;
}

Wave TrapImpact(double level, double riseMs, int rate, std::mt19937& rng)
{
    const double rise = std::max(riseMs, 0.01) * rate / 1000;
    const double tau = Uniform(rng, 2, 5) * rate / 1000;
    const double cutoff = Uniform(rng, 1500, 3000);
    const double a = std::exp(-kTwoPi * cutoff / rate);
    const auto length = static_cast<std::int64_t>(rise + 8 * tau);
    std::vector<double> s(static_cast<std::size_t>(length));
    std::normal_distribution<double> white(0, 1);
    double y1 = 0, y2 = 0;
    for (std::int64_t k = 0; k < length; ++k) {
        y1 = a * y1 + (1 - a) * white(rng);
        y2 = a * y2 + (1 - a) * y1;
        const double t = static_cast<double>(k);
        const double envelope = t < rise ? t / rise : std::exp(-(t - rise) / tau);
        s[static_cast<std::size_t>(k)] = envelope * y2;
    }
    Wave w = Finish(s, 0, level, rate);
    SetColour(w, {}, 0, 1, cutoff);
    return w;
}

}  // namespace quorvel::range
