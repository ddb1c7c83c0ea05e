// The five capture blocks the recording device fills in turn.
// Two blocks are always queued at the device; the other three keep the most
// recent complete sound for the scope, the detector and a freeze. Sizes never
// change with the sample rate: a block is 28800 samples (300 ms at 96 kHz).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel {

inline constexpr int kBlockCount = 5;
inline constexpr int kBlockSize = 28800;                       // 144000 / 5
inline constexpr int kRingSamples = kBlockCount * kBlockSize;  // 144000
inline constexpr std::size_t kRingBytes = kRingSamples + 1;    // one spare byte, never recorded
inline constexpr std::uint8_t kSilence = 127;

// A ring or a waveform: 144001 unsigned 8-bit samples, 127 is silence.
using SampleArray = std::array<std::uint8_t, kRingBytes>;

// Brings a block number back into 1..5 (6 -> 1, 0 -> 5), stores it and returns it.
std::int16_t WrapBlock(std::int16_t& block);
inline std::int16_t Wrapped(int block)
{
    auto b = static_cast<std::int16_t>(block);
    return WrapBlock(b);
}

// First ring index of block n (1..5).
inline constexpr int BlockStart(int block) { return (block - 1) * kBlockSize; }

inline std::span<std::uint8_t> BlockOf(SampleArray& samples, int block)
{
    return std::span<std::uint8_t>(samples.data() + BlockStart(block), kBlockSize);
}
inline std::span<const std::uint8_t> BlockOf(const SampleArray& samples, int block)
{
    return std::span<const std::uint8_t>(samples.data() + BlockStart(block), kBlockSize);
}

// Copies the ring into a waveform in time order: the block after
// `currentBlock` first, block `currentBlock` last. Nothing happens while no
// data has arrived. The waveform's spare last byte is left as it is.
void UnrollRing(const SampleArray& ring, int currentBlock, bool dataArrived, SampleArray& waveform);

}  // namespace quorvel
