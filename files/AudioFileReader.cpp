#include "AudioFileReader.h"

#include <algorithm>
#include <cstring>

#include <sndfile.h>

namespace quorvel {

namespace {

struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    sf_count_t position = 0;
};

sf_count_t MemLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); }
sf_count_t MemSeek(sf_count_t offset, int whence, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(f->bytes.size());
    sf_count_t target = offset;
    if (whence == SEEK_CUR) target = f->position + offset;
    if (whence == SEEK_END) target = size + offset;
    f->position = std::clamp<sf_count_t>(target, 0, size);
    return f->position;
}
sf_count_t MemRead(void* out, sf_count_t count, void* user)
{
    auto* f = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(f->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - f->position);
    std::memcpy(out, f->bytes.data() + f->position, static_cast<std::size_t>(n));
    f->position += n;
    return n;
}
sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

std::optional<AudioSamples> ReadOpened(SNDFILE* file, const SF_INFO& info, std::string* error)
{
    if (info.channels < 1 || info.samplerate < 1) {
        *error = "not a usable recording (no channels or no sample rate)";
        return std::nullopt;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    AudioSamples out;
    out.sampleRate = info.samplerate;
    if (info.frames > 0 && info.frames < (sf_count_t{1} << 31)) out.samples.reserve(static_cast<std::size_t>(info.frames));
    const auto channels = static_cast<std::size_t>(info.channels);
    constexpr sf_count_t kFramesPerRead = 4096;
    std::vector<short> buffer(static_cast<std::size_t>(kFramesPerRead) * channels);
    for (;;) {
        const sf_count_t got = sf_readf_short(file, buffer.data(), kFramesPerRead);
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got; ++f) out.samples.push_back(EightBitSample(buffer[static_cast<std::size_t>(f) * channels]));
    }
    if (sf_error(file) != SF_ERR_NO_ERROR && out.samples.empty()) {
        *error = sf_strerror(file);
        return std::nullopt;
    }
    if (out.samples.empty()) {
        *error = "the file holds no sound samples";
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<AudioSamples> ReadAudioFile(const std::string& path, std::string* error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        *error = sf_strerror(nullptr);
        return std::nullopt;
    }
    auto result = ReadOpened(file, info, error);
    sf_close(file);
    return result;
}

std::optional<AudioSamples> ReadAudioBytes(std::span<const std::uint8_t> bytes, std::string* error)
{
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    MemoryFile memory{bytes, 0};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (file == nullptr) {
        *error = sf_strerror(nullptr);
        return std::nullopt;
    }
    auto result = ReadOpened(file, info, error);
    sf_close(file);
    return result;
}

}  // namespace quorvel
