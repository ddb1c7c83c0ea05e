#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "BlockFiller.h"

using namespace quorvel;

namespace {
struct Counter final : BlockDoneListener {
    void BlockDone() noexcept override { ++done; }
    int done = 0;
};
}  // namespace

// Sound keeps its order through the spill; only what the spill cannot hold is lost, and counted.
TEST(BlockFiller, ABurstWaitsForTheNextBlocksInOrder)
{
    std::vector<std::uint8_t> sound(5 * kBlockSize);
    std::iota(sound.begin(), sound.end(), std::uint8_t{0});
    SampleArray ring{};
    Counter counter;
    BlockFiller filler;
    filler.Prepare(&counter);
    filler.SetRunning(true);
    filler.Queue(BlockOf(ring, 1));
    filler.Write(sound.data(), 3 * kBlockSize);  // one block filled, two spilled
    EXPECT_EQ(counter.done, 1);
    EXPECT_EQ(filler.Overruns(), 0);
    filler.Queue(BlockOf(ring, 2));
    filler.Queue(BlockOf(ring, 3));
    filler.Write(sound.data() + 3 * kBlockSize, 10);
    EXPECT_EQ(counter.done, 3);
    EXPECT_TRUE(std::equal(ring.begin(), ring.begin() + 3 * kBlockSize, sound.begin()));
    filler.Write(sound.data() + 3 * kBlockSize + 10, 2 * kBlockSize + 1);  // ten samples spilled, then full
    EXPECT_EQ(filler.Overruns(), 1);
    filler.Queue(BlockOf(ring, 4));
    filler.Write(sound.data(), 0);
    EXPECT_EQ(counter.done, 4);
    EXPECT_TRUE(std::equal(ring.begin() + BlockStart(4), ring.begin() + BlockStart(5), sound.begin() + 3 * kBlockSize));
}
