// Reads recordings made by other programs (any WAVE, FLAC, ... that
// libsndfile understands) into the program's own 8-bit samples, a piece at a
// time, so that an hour of sound never has to be held at once and a header
// that claims more than the file holds costs nothing.
// The first channel is used, read as 16-bit and brought to 8 bits as
// (s16 >> 8) + 128, so an 8-bit file comes back byte for byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Expected.h"

namespace quorvel {

inline std::uint8_t EightBitSample(std::int16_t s16) { return static_cast<std::uint8_t>((s16 >> 8) + 128); }

// "" when `path` is a file that can be read to its end; else why not
// (a FIFO would hold the reader until someone writes to it).
std::string RegularFileProblem(const std::string& path);

class AudioStream {
public:
    // std::nullptr with a one-line reason in `error` when it is no recording.
    static Expected<std::unique_ptr<AudioStream>> Open(const std::string& path);
    // The same over bytes in memory, which must outlive the stream.
    static Expected<std::unique_ptr<AudioStream>> OpenBytes(std::span<const std::uint8_t> bytes);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    int SampleRate() const { return rate_; }
    // The length the file holds, in samples; 0 when it does not say.
    std::int64_t Frames() const;
    // The length its header promises: more than Frames() for a WAVE cut off
    // (a recorder stopped, a copy broken off).
    std::int64_t Promised() const { return std::max(promised_, Frames()); }
    // Why the sound ended before the header's promise ("" when it did not):
    // cut off before, or while, it was read. Call once reading is done.
    std::string Shortfall(std::int64_t read) const;
    // When the recorder says the recording began, as "YYYY-MM-DD hh:mm:ss"
    // local time (a broadcast WAVE's origination, or the file's date text);
    // empty when it does not say.
    std::string StartText() const;
    // Fills `out` with the next samples; fewer only at the end of the sound
    // (or where a damaged file stops: Error() then says why).
    std::size_t Read(std::span<std::uint8_t> out);
    const std::string& Error() const { return error_; }

private:
    struct Impl;
    explicit AudioStream(std::unique_ptr<Impl> impl, int rate);
    static Expected<std::unique_ptr<AudioStream>> Opened(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    int rate_ = 0;
    std::int64_t promised_ = 0;
    std::string error_;
};

}  // namespace quorvel
