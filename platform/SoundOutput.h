// Playing 8-bit mono sound on the sound server's default output: a whole
// file at once (the caller waits until it has ended) or a stream fed chunk
// by chunk. Tests use the fake, which keeps what it was given.
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

class FakeSoundOutput final : public SoundOutput {
public:
    std::string PlayFile(const std::string& path, int rate, const std::function<void()>& yield,
                         const std::function<bool()>& abort) override
    {
        playedFiles.push_back(path);
        playedRate = rate;
        for (int turn = 0; turn < playTurns && !abort(); ++turn) yield();
        return failure;
    }
    std::string Open(int rate) override
    {
        openRate = rate;
        written = 0;
        open = failure.empty();
        return failure;
    }
    std::size_t Room() override { return open ? room : 0; }
    void Write(std::span<const std::uint8_t> chunk) override
    {
        chunks.emplace_back(chunk.begin(), chunk.end());
        written += static_cast<std::int64_t>(chunk.size());
    }
    void Finish() override { open = false; }
    void Close() override { open = false; }
    // Plays `lag` samples behind what was written.
    std::int64_t Played() override { return std::max<std::int64_t>(0, written - lag); }
    bool Sounding() override { return open || Played() < written; }

    std::string failure;
    int playTurns = 0;  // turns of the event loop a played file lasts
    std::size_t room = 1 << 20;
    bool open = false;
    int openRate = 0;
    int playedRate = 0;
    std::int64_t written = 0;
    std::int64_t lag = 0;
    std::vector<std::string> playedFiles;
    std::vector<std::vector<std::uint8_t>> chunks;
};

std::unique_ptr<SoundOutput> MakeQtSoundOutput();

}  // namespace quorvel
