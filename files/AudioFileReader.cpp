#include "AudioFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

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

constexpr sf_count_t kFramesPerRead = 4096;

std::uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

// The samples a WAVE's data chunk says it holds (libsndfile reads what is
// there and says nothing of the rest); 0 for anything else.
std::int64_t WaveDataFrames(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0;
    unsigned char head[12];
    std::int64_t frames = 0;
    unsigned frameBytes = 0;
    if (std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
        unsigned char chunk[8];
        for (int n = 0; n < 64 && std::fread(chunk, 1, 8, f) == 8; ++n) {
            const std::uint32_t size = Le32(chunk + 4);
            if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
                unsigned char fmt[16];
                if (std::fread(fmt, 1, 16, f) != 16) break;
                frameBytes = static_cast<unsigned>(fmt[12] | fmt[13] << 8);  // block align
                std::fseek(f, static_cast<long>(size - 16 + (size & 1)), SEEK_CUR);
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                if (frameBytes > 0 && size != 0xFFFFFFFFu) frames = size / frameBytes;
                break;
            } else if (std::fseek(f, static_cast<long>(size + (size & 1)), SEEK_CUR) != 0) {
                break;
            }
        }
    }
    std::fclose(f);
    return frames;
}

}  // namespace

struct AudioStream::Impl {
    ~Impl()
    {
        if (file != nullptr) sf_close(file);
    }
    SNDFILE* file = nullptr;
    SF_INFO info{};
    MemoryFile memory;
    std::vector<short> buffer;  // kFramesPerRead frames of every channel
};

AudioStream::AudioStream(std::unique_ptr<Impl> impl, int rate) : impl_(std::move(impl)), rate_(rate) {}
AudioStream::~AudioStream() = default;

Expected<std::unique_ptr<AudioStream>> AudioStream::Opened(std::unique_ptr<Impl> impl)
{
    using Opening = Expected<std::unique_ptr<AudioStream>>;
    if (impl->file == nullptr) return Opening::Failure(sf_strerror(nullptr));
    if (impl->info.channels < 1 || impl->info.samplerate < 1) {
        return Opening::Failure("not a usable recording (no channels or no sample rate)");
    }
    sf_command(impl->file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    impl->buffer.resize(static_cast<std::size_t>(kFramesPerRead) * static_cast<std::size_t>(impl->info.channels));
    const int rate = impl->info.samplerate;
    return std::unique_ptr<AudioStream>(new AudioStream(std::move(impl), rate));
}

Expected<std::unique_ptr<AudioStream>> AudioStream::Open(const std::string& path)
{
    auto impl = std::make_unique<Impl>();
    impl->file = sf_open(path.c_str(), SFM_READ, &impl->info);
    auto stream = Opened(std::move(impl));
    if (stream) (*stream)->promised_ = WaveDataFrames(path);
    return stream;
}

std::string RegularFileProblem(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (!S_ISREG(st.st_mode)) return "it is not a regular file (a pipe or a device would never end)";
    return {};
}

std::string AudioStream::Shortfall(std::int64_t read) const
{
    if (!error_.empty() || read >= Promised()) return {};
    return read < Frames() ? "the file was cut off while it was read" : "the file holds less than its header promises";
}

Expected<std::unique_ptr<AudioStream>> AudioStream::OpenBytes(std::span<const std::uint8_t> bytes)
{
    auto impl = std::make_unique<Impl>();
    impl->memory.bytes = bytes;
    static SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    impl->file = sf_open_virtual(&io, SFM_READ, &impl->info, &impl->memory);
    return Opened(std::move(impl));
}

std::int64_t AudioStream::Frames() const
{
    const sf_count_t frames = impl_->info.frames;
    return frames > 0 && frames < SF_COUNT_MAX ? static_cast<std::int64_t>(frames) : 0;
}

std::string AudioStream::StartText() const
{
    // Field recorders write a broadcast extension chunk; its date and time
    // are the recorder's local clock.
    SF_BROADCAST_INFO bext{};
    if (sf_command(impl_->file, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE) {
        const std::string date(bext.origination_date, strnlen(bext.origination_date, sizeof bext.origination_date));
        const std::string time(bext.origination_time, strnlen(bext.origination_time, sizeof bext.origination_time));
        if (!date.empty()) return date + " " + time;
    }
    const char* text = sf_get_string(impl_->file, SF_STR_DATE);
    return text != nullptr ? std::string(text) : std::string();
}

std::size_t AudioStream::Read(std::span<std::uint8_t> out)
{
    const auto channels = static_cast<std::size_t>(impl_->info.channels);
    std::size_t done = 0;
    while (done < out.size()) {
        const sf_count_t want = std::min<sf_count_t>(kFramesPerRead, static_cast<sf_count_t>(out.size() - done));
        const sf_count_t got = sf_readf_short(impl_->file, impl_->buffer.data(), want);
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got; ++f) out[done++] = EightBitSample(impl_->buffer[static_cast<std::size_t>(f) * channels]);
        if (got < want) break;
    }
    if (done < out.size() && error_.empty() && sf_error(impl_->file) != SF_ERR_NO_ERROR) error_ = sf_strerror(impl_->file);
    return done;
}

}  // namespace quorvel
