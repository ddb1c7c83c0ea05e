#include "WaveFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "AudioFileReader.h"
#include "IniFile.h"

namespace quorvel {

namespace {

void Put32(std::uint8_t* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::uint8_t* at, std::uint16_t v)
{
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint32_t Get32(const std::uint8_t* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}
std::uint16_t Get16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

// Our own files: 8-bit PCM mono with the data right after a 44-byte header.
bool IsOwnLayout(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() < kWaveHeaderBytes) return false;
    const std::uint8_t* h = bytes.data();
    return std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVE", 4) == 0 && std::memcmp(h + 12, "fmt ", 4) == 0 &&
           Get32(h + 16) == 16 && Get16(h + 20) == 1 && Get16(h + 22) == 1 && Get16(h + 34) == 8 &&
           std::memcmp(h + 36, "data", 4) == 0;
}

// The data chunk of a RIFF/WAVE file claims more bytes than the file
// holds: the chunks are walked by their headers, never read whole.
bool WaveDataCutShort(std::ifstream& in, std::uint64_t fileSize)
{
    std::array<std::uint8_t, 12> riff{};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(riff.data()), 12) || std::memcmp(riff.data(), "RIFF", 4) != 0 ||
        std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    std::uint64_t at = 12;
    std::array<std::uint8_t, 8> chunk{};
    while (at + 8 <= fileSize && in.seekg(static_cast<std::streamoff>(at)) &&
           in.read(reinterpret_cast<char*>(chunk.data()), 8)) {
        const std::uint32_t size = Get32(chunk.data() + 4);
        if (std::memcmp(chunk.data(), "data", 4) == 0) return at + 8 + size > fileSize;
        at += 8 + size + (size & 1);
    }
    return true;  // no data chunk at all
}

}  // namespace

std::array<std::uint8_t, kWaveHeaderBytes> BuildWaveHeader(std::int32_t channels, std::int32_t samples,
                                                           std::int32_t rate, std::int32_t bits)
{
    std::array<std::uint8_t, kWaveHeaderBytes> h{};
    const auto blockAlign = static_cast<std::uint32_t>(channels * bits / 8);
    std::memcpy(h.data(), "RIFF", 4);
    Put32(h.data() + 4, static_cast<std::uint32_t>(samples) * blockAlign + 36);
    std::memcpy(h.data() + 8, "WAVE", 4);
    std::memcpy(h.data() + 12, "fmt ", 4);
    Put32(h.data() + 16, 16);
    Put16(h.data() + 20, 1);
    Put16(h.data() + 22, static_cast<std::uint16_t>(channels));
    Put32(h.data() + 24, static_cast<std::uint32_t>(rate));
    Put32(h.data() + 28, static_cast<std::uint32_t>(static_cast<std::int64_t>(channels) * bits * rate / 8));
    Put16(h.data() + 32, static_cast<std::uint16_t>(blockAlign));
    Put16(h.data() + 34, static_cast<std::uint16_t>(bits));
    std::memcpy(h.data() + 36, "data", 4);
    Put32(h.data() + 40, static_cast<std::uint32_t>(samples) * blockAlign);
    return h;
}

std::string WriteWaveFile(const std::string& path, const SampleArray& waveform, std::int32_t rate)
{
    const auto header = BuildWaveHeader(1, kRingSamples, rate, 8);
    std::string bytes(header.begin(), header.end());
    bytes.append(waveform.begin(), waveform.end());
    return WriteFileAtomically(path, bytes);
}

Expected<LoadedWaveform> ReadWaveFile(const std::string& path)
{
    const auto fail = [&](const std::string& reason) { return Expected<LoadedWaveform>::Failure(path + ": " + reason); };
    // A FIFO would hold the window until someone writes to it.
    if (const std::string problem = RegularFileProblem(path); !problem.empty()) return fail(problem);
    // Only the first 144001 samples are wanted, however long the recording.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return fail(std::strerror(errno));
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());
    if (fileSize == 0) return fail("the file is empty");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kWaveFileBytes)));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        return fail("the file cannot be read");
    }

    LoadedWaveform w;
    w.samples.fill(kSilence);
    if (IsOwnLayout(bytes)) {
        // The program's own file: the header is skipped and the samples taken
        // byte for byte, as it has always been read.
        // Shorter recordings are fine when their data is all there; ours
        // always say 144000 samples.
        const std::size_t claimed = std::min<std::size_t>(Get32(bytes.data() + 40), kRingSamples);
        if (bytes.size() < kWaveHeaderBytes + claimed) return fail("the recording is cut short (truncated file)");
        std::copy_n(bytes.begin() + kWaveHeaderBytes, std::min(bytes.size() - kWaveHeaderBytes, kRingBytes), w.samples.begin());
        w.rate = static_cast<std::int32_t>(Get32(bytes.data() + 24));
        w.ownLayout = true;
        return w;
    }
    if (WaveDataCutShort(in, fileSize)) return fail("the recording is cut short (truncated file) or not a WAVE recording");
    const auto opened = AudioStream::Open(path);
    if (!opened) return fail("not a recording Quorvel can read (" + opened.Error() + ")");
    AudioStream& stream = **opened;
    if (stream.Read(std::span<std::uint8_t>(w.samples.data(), kRingSamples)) == 0) {
        return fail("not a recording Quorvel can read (" + (stream.Error().empty() ? "the file holds no sound samples" : stream.Error()) + ")");
    }
    w.rate = stream.SampleRate();
    return w;
}

}  // namespace quorvel
