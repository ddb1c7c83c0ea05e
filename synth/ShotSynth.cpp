#include "ShotSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include <sndfile.h>

namespace quorvel::synth {

namespace {

// A crack that rings at `hz` and dies away with time constant `tauMs`; the
// first sample is the peak.
void AddBurst(std::vector<double>& out, std::int64_t at, double level, double hz, double tauMs, double riseMs, int rate,
              std::mt19937& rng)
{
    const double riseSamples = riseMs * rate / 1000.0;
    if (at < 0 || at >= static_cast<std::int64_t>(out.size())) return;
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    const double tauSamples = tauMs * rate / 1000.0;
    const auto length = static_cast<std::int64_t>(tauSamples * 12);
    for (std::int64_t k = 0; k < length && at + k < static_cast<std::int64_t>(out.size()); ++k) {
        const double rising = riseSamples > 0 ? std::min(1.0, (static_cast<double>(k) + 1) / riseSamples) : 1.0;
        const double envelope = rising * level * std::exp(-static_cast<double>(k) / tauSamples);
        const double tone = std::cos(2 * std::numbers::pi * hz * static_cast<double>(k) / rate);
        const double rough = k == 0 ? 0.0 : 0.25 * jitter(rng);
        out[static_cast<std::size_t>(at + k)] += envelope * (k == 0 ? 1.0 : 0.75 * tone + rough);
    }
}

}  // namespace

std::vector<std::int16_t> Synthesize(const Recording& r)
{
    std::mt19937 rng(r.seed);
    std::uniform_real_distribution<double> noise(-r.noise, r.noise);
    std::vector<double> sound(static_cast<std::size_t>(std::max<std::int64_t>(r.length, 0)));
    for (double& s : sound) s = noise(rng);
    if (r.noiseSd > 0) {
        std::normal_distribution<double> gauss(0, r.noiseSd);
        for (double& s : sound) s += gauss(rng);
    }
    for (const Shot& shot : r.shots) {
        AddBurst(sound, shot.muzzleSample, shot.muzzleLevel, 2900.0, r.ringMs, r.riseMs, r.sampleRate, rng);
        if (r.echoMs > 0) {
            const auto echoAt = shot.muzzleSample + std::llround(r.echoMs * r.sampleRate / 1000);
            AddBurst(sound, echoAt, r.echoLevel, 2900.0, r.ringMs, r.riseMs, r.sampleRate, rng);
        }
        if (shot.impactDelay > 0) {
            AddBurst(sound, shot.muzzleSample + shot.impactDelay, shot.impactLevel, 1700.0, 0.8, r.riseMs, r.sampleRate, rng);
        }
    }
    std::vector<std::int16_t> out(sound.size());
    std::transform(sound.begin(), sound.end(), out.begin(), [](double s) {
        return static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 32767.0 / 32768.0) * 32768.0));
    });
    return out;
}

std::vector<std::uint8_t> SynthesizeEightBit(const Recording& recording)
{
    const auto s16 = Synthesize(recording);
    std::vector<std::uint8_t> out(s16.size());
    std::transform(s16.begin(), s16.end(), out.begin(), [](std::int16_t s) { return static_cast<std::uint8_t>((s >> 8) + 128); });
    return out;
}

std::string WriteRecording(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate,
                           FileKind kind, int channels)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    switch (kind) {
    case FileKind::Wav8: info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8; break;
    case FileKind::Wav16: info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16; break;
    case FileKind::Wav24: info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24; break;
    case FileKind::WavFloat: info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT; break;
    case FileKind::Flac16: info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16; break;
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return sf_strerror(nullptr);
    std::vector<std::int16_t> frames(samples.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        frames[i * static_cast<std::size_t>(channels)] = samples[i];
        for (int c = 1; c < channels; ++c) {
            // Loud where the first channel is quiet: a reader that mixes or
            // picks the wrong channel finds different triggers.
            frames[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>((i / 500) % 2 == 0 ? 30000 : -30000);
        }
    }
    const auto written = sf_writef_short(file, frames.data(), static_cast<sf_count_t>(samples.size()));
    std::string error;
    if (written != static_cast<sf_count_t>(samples.size())) error = sf_strerror(file);
    sf_close(file);
    return error;
}

std::int64_t DelayFor(double distance, double velocity, int sampleRate)
{
    return std::llround(distance / velocity * sampleRate);
}

}  // namespace quorvel::synth
