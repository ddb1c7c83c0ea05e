#include "CaptureRing.h"

#include <algorithm>

namespace quorvel {

std::int16_t WrapBlock(std::int16_t& block)
{
    if (block > kBlockCount) block = static_cast<std::int16_t>(block - kBlockCount);
    if (block < 1) block = static_cast<std::int16_t>(block + kBlockCount);
    return block;
}

void UnrollRing(const SampleArray& ring, int currentBlock, bool dataArrived, SampleArray& waveform)
{
    if (!dataArrived) return;
    const int off = currentBlock * kBlockSize;
    const int tail = kRingSamples - off;
    if (tail > 0) std::copy_n(ring.begin() + off, tail, waveform.begin());
    if (off > 0 && tail < kRingSamples) std::copy_n(ring.begin(), off, waveform.begin() + tail);
}

}  // namespace quorvel
