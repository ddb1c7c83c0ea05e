#include "Render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Tail.h"

namespace quorvel::range {

namespace {

// The power of the 8-bit card's rounding, in full-scale units (a step is 1/128).
constexpr double kRoundingPower = 1.0 / (128.0 * 128.0 * 12.0);

// The smallest whole multiple of the card's rate at or above 176.4 kHz.
int Oversampling(int rate) { return std::max(1, (176400 + rate - 1) / std::max(rate, 1)); }

}  // namespace

Renderer::Renderer(const Scene& scene, const Vec3& mic, double seconds, double gain, std::uint32_t seed)
    : scene_(scene), mic_(mic), gain_(gain), factor_(Oversampling(scene.rate)), internalRate_(scene.rate * factor_),
      filter_(factor_), rng_(seed)
{
    const auto out = static_cast<std::size_t>(std::max(0.0, seconds) * scene.rate);
    internal_.assign(out * static_cast<std::size_t>(factor_), 0.0F);
    busy_.assign(internal_.size() / kBusyBlock + 1, false);
    tails_.assign(out, 0.0F);
}

std::int64_t Renderer::Arrival(double seconds) const { return std::llround(seconds * internalRate_); }

const std::vector<float>& Renderer::Softened(const Wave& wave, int soft)
{
    // Each soft bounce is a one-pole lowpass at the scene's cutoff.
    if (softened_.empty()) softened_.push_back(wave.samples);
    const double a = std::exp(-2 * std::numbers::pi * scene_.softCutoffHz / internalRate_);
    while (static_cast<int>(softened_.size()) <= soft) {
        std::vector<float> next = softened_.back();
        double y = 0;
        for (float& s : next) {
            y = a * y + (1 - a) * s;
            s = static_cast<float>(y);
        }
        softened_.push_back(std::move(next));
    }
    return softened_[static_cast<std::size_t>(soft)];
}

double Renderer::Add(const Vec3& source, const Wave& wave, double emit)
{
    softened_.clear();
    const auto n = static_cast<std::int64_t>(internal_.size());
    const std::vector<Path> paths = Paths(scene_, source, mic_);
    for (const Path& path : paths) {
        const std::vector<float>& s = Softened(wave, path.soft);
        const std::int64_t start = Arrival(emit + path.seconds) - wave.onset;
        const auto g = static_cast<float>(gain_ * path.gain);
        for (std::int64_t k = std::max<std::int64_t>(0, -start); k < static_cast<std::int64_t>(s.size()) && start + k < n; ++k) {
            internal_[static_cast<std::size_t>(start + k)] += g * s[static_cast<std::size_t>(k)];
        }
        for (std::int64_t b = std::max<std::int64_t>(0, start) / static_cast<std::int64_t>(kBusyBlock);
             b * static_cast<std::int64_t>(kBusyBlock) < std::min(n, start + static_cast<std::int64_t>(s.size())); ++b) {
            busy_[static_cast<std::size_t>(b)] = true;
        }
    }
    const double onset = static_cast<double>(Arrival(emit + paths.front().seconds)) / factor_;
    TailShape shape;
    shape.rt60 = scene_.rt60;
    shape.buildMs = std::sqrt(scene_.size.x * scene_.size.y * scene_.size.z);
    shape.energy = wave.energy * gain_ * gain_ * TailEnergyRatio(scene_);
    AddTail(tails_, std::max(0.0, onset), wave, internalRate_, shape, scene_.rate, rng_);
    return onset;
}

void Renderer::Mix()
{
    mix_ = tails_;
    filter_.Decimate(internal_, busy_, kBusyBlock, mix_);
    // Background: half rumble, half hiss, at the scene's level.
    std::normal_distribution<double> white(0, 1);
    const double rms = std::pow(10.0, scene_.noiseDbfs / 20);
    const double a = std::exp(-2 * std::numbers::pi * 200.0 / scene_.rate);
    const double rumbleGain = std::sqrt((1 - a * a) / ((1 - a) * (1 - a)));
    double rumble = 0;
    for (float& s : mix_) {
        rumble = a * rumble + (1 - a) * white(rng_);
        s += static_cast<float>(rms * std::sqrt(0.5) * (rumble * rumbleGain + white(rng_)));
    }
}

double Renderer::LocalSnrDb(const Vec3& source, const Wave& wave, double emit) const
{
    const Path direct = Paths(scene_, source, mic_).front();
    const std::int64_t start = Arrival(emit + direct.seconds) - wave.onset;
    const double g = gain_ * direct.gain;
    auto directSound = [&](std::int64_t i) {
        const std::int64_t k = i - start;
        return k >= 0 && k < static_cast<std::int64_t>(wave.samples.size()) ? g * wave.samples[static_cast<std::size_t>(k)] : 0.0;
    };
    const auto first = static_cast<std::int64_t>(std::ceil(static_cast<double>(start + wave.onset) / factor_));
    const std::int64_t count = std::max(1, scene_.rate / 2000);
    double signal = 0, rest = 0;
    for (std::int64_t o = first; o < first + count && o < static_cast<std::int64_t>(mix_.size()); ++o) {
        const double d = filter_.At(directSound, o * factor_);
        const double other = mix_[static_cast<std::size_t>(o)] - d;
        signal += d * d;
        // The card's rounding to 8 bits is part of everything else too.
        rest += other * other + kRoundingPower;
    }
    return 10 * std::log10(std::max(signal, 1e-30) / std::max(rest, 1e-30));
}

std::vector<std::uint8_t> Renderer::Card()
{
    BlockDc(mix_, scene_.rate, 25);
    return EightBit(mix_);
}

}  // namespace quorvel::range
