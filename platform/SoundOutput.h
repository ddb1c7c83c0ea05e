// Playing 8-bit mono sound on the sound server's default output: a whole
// file at once (the caller waits until it has ended) or a stream fed chunk
// by chunk. Tests use the fake (fakes/), which keeps what it was given.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Plays the samples of a WAVE file written by the program; returns when
    // the sound has ended (or `abort` says to stop), letting `yield` run the
    // event loop meanwhile. Returns an empty string, or why it could not play.
    virtual std::string PlayFile(const std::string& path, int rate, const std::function<void()>& yield,
                                 const std::function<bool()>& abort) = 0;
    // Streaming: open, then write chunks while there is room, then close.
    virtual std::string Open(int rate) = 0;
    virtual std::size_t Room() = 0;
    virtual void Write(std::span<const std::uint8_t> chunk) = 0;
    // The stream ends: what was written still plays, then the device closes.
    virtual void Finish() = 0;
    // Stops at once, dropping what was not played yet.
    virtual void Close() = 0;
    // Samples the sound server has played since Open: where the listener is.
    virtual std::int64_t Played() = 0;
    // Whether the stream is still open and sounding (after Finish, until
    // what was written has played).
    virtual bool Sounding() = 0;
};

std::unique_ptr<SoundOutput> MakeQtSoundOutput();

}  // namespace quorvel
