#include "ShotSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include <sndfile.h>

namespace quorvel::synth {

namespace {

// A random number in [-1, 1) for sample `k` of burst `burst`: the same
// whichever block the sample is made in.
double Jitter(std::uint32_t seed, std::size_t burst, std::int64_t k)
{
    std::uint64_t z = (std::uint64_t{seed} << 32) ^ (std::uint64_t{burst} << 48) ^ static_cast<std::uint64_t>(k);
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

}  // namespace

SynthStream::SynthStream(const Recording& r)
    : r_(r), rng_(r.seed), gauss_(r.seed ^ 0x5bd1e995u), normal_(0, r.noiseSd > 0 ? r.noiseSd : 1)
{
    const auto add = [this](std::int64_t at, double level, double hz, double tauMs) {
        if (at >= 0 && at < r_.length && level != 0) bursts_.push_back({at, level, hz, tauMs});
    };
    for (const Shot& shot : r.shots) {
        add(shot.muzzleSample, shot.muzzleLevel, 2900.0, r.ringMs);
        if (r.echoMs > 0) add(shot.muzzleSample + std::llround(r.echoMs * r.sampleRate / 1000), r.echoLevel, 2900.0, r.ringMs);
        if (shot.impactDelay > 0) add(shot.muzzleSample + shot.impactDelay, shot.impactLevel, 1700.0, 0.8);
    }
}

// A crack that rings at its pitch and dies away with its time constant;
// the first sample is the peak.
double SynthStream::BurstAt(std::size_t index, std::int64_t k) const
{
    const Burst& b = bursts_[index];
    const double rate = r_.sampleRate;
    const double riseSamples = r_.riseMs * rate / 1000.0;
    const double tauSamples = b.tauMs * rate / 1000.0;
    const double rising = riseSamples > 0 ? std::min(1.0, (static_cast<double>(k) + 1) / riseSamples) : 1.0;
    const double envelope = rising * b.level * std::exp(-static_cast<double>(k) / tauSamples);
    if (k == 0) return envelope;
    const double tone = std::cos(2 * std::numbers::pi * b.hz * static_cast<double>(k) / rate);
    return envelope * (0.75 * tone + 0.25 * Jitter(r_.seed, index, k));
}

std::size_t SynthStream::Next(std::span<std::int16_t> out)
{
    const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(out.size()), r_.length - position_);
    if (count <= 0) return 0;
    std::uniform_real_distribution<double> noise(-r_.noise, r_.noise);
    std::vector<double>& sound = scratch_;
    sound.assign(static_cast<std::size_t>(count), 0.0);
    for (double& s : sound) s = noise(rng_);
    if (r_.noiseSd > 0) {
        for (double& s : sound) s += normal_(gauss_);
    }
    for (std::size_t b = 0; b < bursts_.size(); ++b) {
        const std::int64_t length = static_cast<std::int64_t>(bursts_[b].tauMs * r_.sampleRate / 1000.0 * 12);
        const std::int64_t from = std::max(bursts_[b].at, position_);
        const std::int64_t to = std::min(bursts_[b].at + length, position_ + count);
        for (std::int64_t i = from; i < to; ++i) sound[static_cast<std::size_t>(i - position_)] += BurstAt(b, i - bursts_[b].at);
    }
    std::transform(sound.begin(), sound.end(), out.begin(), [](double s) {
        return static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 32767.0 / 32768.0) * 32768.0));
    });
    position_ += count;
    return static_cast<std::size_t>(count);
}

std::vector<std::int16_t> Synthesize(const Recording& r)
{
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::max<std::int64_t>(r.length, 0)));
    SynthStream(r).Next(out);
    return out;
}

std::vector<std::uint8_t> SynthesizeEightBit(const Recording& recording)
{
    const auto s16 = Synthesize(recording);
    std::vector<std::uint8_t> out(s16.size());
    std::transform(s16.begin(), s16.end(), out.begin(), [](std::int16_t s) { return static_cast<std::uint8_t>((s >> 8) + 128); });
    return out;
}

namespace {

SNDFILE* OpenForWriting(const std::string& path, int sampleRate, FileKind kind, int channels)
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
    return sf_open(path.c_str(), SFM_WRITE, &info);
}

// Writes mono samples as `channels` channels; false when the file took fewer.
bool WriteFrames(SNDFILE* file, std::span<const std::int16_t> samples, int channels, std::int64_t firstIndex)
{
    std::vector<std::int16_t> frames(samples.size() * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        frames[i * static_cast<std::size_t>(channels)] = samples[i];
        for (int c = 1; c < channels; ++c) {
            // Loud where the first channel is quiet: a reader that mixes or
            // picks the wrong channel finds different triggers.
            const auto at = static_cast<std::uint64_t>(firstIndex) + i;
            frames[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>((at / 500) % 2 == 0 ? 30000 : -30000);
        }
    }
    return sf_writef_short(file, frames.data(), static_cast<sf_count_t>(samples.size())) ==
           static_cast<sf_count_t>(samples.size());
}

}  // namespace

std::string WriteRecording(const std::string& path, const std::vector<std::int16_t>& samples, int sampleRate,
                           FileKind kind, int channels)
{
    SNDFILE* file = OpenForWriting(path, sampleRate, kind, channels);
    if (file == nullptr) return sf_strerror(nullptr);
    std::string error;
    if (!WriteFrames(file, samples, channels, 0)) error = sf_strerror(file);
    sf_close(file);
    return error;
}

std::string WriteSynthesized(const std::string& path, const Recording& recording, FileKind kind, int channels)
{
    SNDFILE* file = OpenForWriting(path, recording.sampleRate, kind, channels);
    if (file == nullptr) return sf_strerror(nullptr);
    SynthStream stream(recording);
    std::vector<std::int16_t> block(65536);
    std::string error;
    std::int64_t written = 0;
    for (std::size_t n = 0; error.empty() && (n = stream.Next(block)) > 0; written += static_cast<std::int64_t>(n)) {
        if (!WriteFrames(file, std::span<const std::int16_t>(block.data(), n), channels, written)) error = sf_strerror(file);
    }
    sf_close(file);
    return error;
}

std::int64_t DelayFor(double distance, double velocity, int sampleRate)
{
    return std::llround(distance / velocity * sampleRate);
}

}  // namespace quorvel::synth
