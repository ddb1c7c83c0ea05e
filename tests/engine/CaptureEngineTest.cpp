#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "CaptureEngine.h"
#include "Clock.h"
#include "FakeRecordingDevice.h"

using namespace quorvel;

namespace {

class CountingWaker final : public HandOverWaker {
public:
    void Wake() noexcept override { ++wakes; }
    int wakes = 0;
};

// Remembers which blocks it was handed, and can freeze on one of them.
class Recorder final : public BlockConsumer {
public:
    bool OnBlock(const SampleArray& ring, int block) override
    {
        blocks.push_back(block);
        firstSamples.push_back(ring[static_cast<std::size_t>(BlockStart(block))]);
        return block == freezeOn;
    }
    std::vector<int> blocks;
    std::vector<int> firstSamples;
    int freezeOn = -1;
};

std::vector<std::uint8_t> BlockOfValue(std::uint8_t v) { return std::vector<std::uint8_t>(kBlockSize, v); }

struct Rig {
    FakeRecordingDevice device;
    CountingWaker waker;
    CaptureEngine engine{device, waker};
    Recorder recorder;
};

}  // namespace

TEST(CaptureRing, BlockNumbersWrapAndTheRingUnrollsInTimeOrder)
{
    const std::pair<int, int> wraps[] = {{6, 1}, {7, 2}, {0, 5}, {-1, 4}, {1, 1}, {3, 3}, {5, 5}};
    for (const auto& [in, out] : wraps) {
        auto b = static_cast<std::int16_t>(in);
        EXPECT_EQ(WrapBlock(b), out) << in;
        EXPECT_EQ(b, out);
    }

    SampleArray ring;
    for (int b = 1; b <= 5; ++b) std::fill_n(ring.begin() + BlockStart(b), kBlockSize, static_cast<std::uint8_t>(b));
    ring[kRingSamples] = 99;
    SampleArray wave;
    wave.fill(0);
    UnrollRing(ring, 3, false, wave);
    EXPECT_EQ(wave[0], 0) << "nothing is copied before data arrived";
    // Current block -> the blocks in the order they were recorded.
    const std::pair<int, std::array<int, 5>> orders[] = {{5, {1, 2, 3, 4, 5}}, {1, {2, 3, 4, 5, 1}}, {3, {4, 5, 1, 2, 3}}};
    for (const auto& [current, order] : orders) {
        UnrollRing(ring, current, true, wave);
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(wave[static_cast<std::size_t>(k * kBlockSize)], order[static_cast<std::size_t>(k)]) << current;
            EXPECT_EQ(wave[static_cast<std::size_t>(k * kBlockSize + kBlockSize - 1)], order[static_cast<std::size_t>(k)]);
        }
        EXPECT_EQ(wave[kRingSamples], 0) << "the spare byte is not written";
    }
}

TEST(CaptureEngine, KeepsTwoBlocksQueuedAndHandsThemOverInTurn)
{
    Rig r;
    EXPECT_FALSE(r.device.Deliver(BlockOfValue(1))) << "a device that is not open records nothing";
    class Ignore final : public BlockDoneListener {
        void BlockDone() noexcept override {}
    } ignore;
    FakeRecordingDevice idle;
    idle.Open(0, 96000, ignore);
    std::array<std::uint8_t, 10> block{};
    idle.Queue(block);
    EXPECT_FALSE(idle.Deliver(BlockOfValue(1))) << "nor one that was not started";
    ASSERT_EQ(r.engine.DoStart(3, 44100), 0);
    EXPECT_EQ(r.device.openedDevice, 3);
    EXPECT_EQ(r.device.openedRate, 44100);
    EXPECT_TRUE(r.device.Started());
    EXPECT_EQ(r.device.QueuedCount(), 2);
    EXPECT_EQ(r.device.Queued(0), r.engine.Ring().data() + BlockStart(1));
    EXPECT_EQ(r.device.Queued(1), r.engine.Ring().data() + BlockStart(2));
    EXPECT_EQ(r.engine.Ring()[kRingSamples], kSilence);
    EXPECT_FALSE(r.engine.HandOver(r.recorder)) << "nothing has arrived yet";

    for (int k = 0; k < 12; ++k) {
        ASSERT_TRUE(r.device.Deliver(BlockOfValue(static_cast<std::uint8_t>(10 + k))));
        EXPECT_EQ(r.waker.wakes, k + 1);
        ASSERT_TRUE(r.engine.HandOver(r.recorder));
        EXPECT_FALSE(r.engine.HandOver(r.recorder)) << "one report, one block";
        // The device holds the two blocks after the one just handed over.
        const int handed = k % 5 + 1;
        EXPECT_EQ(r.device.Queued(0), r.engine.Ring().data() + BlockStart(Wrapped(handed + 1)));
        EXPECT_EQ(r.device.Queued(1), r.engine.Ring().data() + BlockStart(Wrapped(handed + 2)));
        EXPECT_EQ(r.engine.CurrentBlock(), Wrapped(handed + 1));
        EXPECT_EQ(r.engine.LastHandedBlock(), handed);
    }
    EXPECT_EQ(r.recorder.blocks, (std::vector<int>{1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2}));
    EXPECT_EQ(r.recorder.firstSamples[11], 21);
    EXPECT_TRUE(r.engine.DataArrived());
    EXPECT_EQ(r.device.overruns, 1);
}

TEST(CaptureEngine, AFrozenBlockIsNotQueuedAgainAndLaterReportsAreDropped)
{
    Rig r;
    r.recorder.freezeOn = 3;
    ASSERT_EQ(r.engine.DoStart(0, 96000), 0);
    for (int k = 0; k < 3; ++k) {
        r.device.Deliver(BlockOfValue(50));
        EXPECT_TRUE(r.engine.HandOver(r.recorder)) << "a block that froze was still handed over";
    }
    EXPECT_EQ(r.engine.CurrentBlock(), 3) << "a freeze leaves the current block where it is";
    EXPECT_EQ(r.device.QueuedCount(), 1) << "block 5 was not queued";

    r.engine.SetStopProcessing(true);
    r.engine.DoStop();
    EXPECT_FALSE(r.device.IsOpen());
    EXPECT_EQ(r.device.closeCount, 1);
    while (r.engine.HandOver(r.recorder)) {
    }
    EXPECT_EQ(r.recorder.blocks.size(), 3u) << "the block the reset gave back is taken but not processed";

    // After a plain stop, blocks handed back unfinished are not scanned either.
    ASSERT_EQ(r.engine.DoStart(0, 96000), 0);
    EXPECT_FALSE(r.engine.StopProcessing());
    r.device.Deliver(BlockOfValue(60));
    r.engine.DoStop();
    int taken = 0;
    while (r.engine.HandOver(r.recorder)) ++taken;
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(r.recorder.blocks.size(), 3u);
}

TEST(CaptureEngine, AConsumerThatRunsTheEventLoopCannotTakeTheNextBlockEarly)
{
    // A message box during a block lets the next report through; that block
    // must wait until this one is queued again.
    struct Nested final : BlockConsumer {
        explicit Nested(Rig& rig) : r(rig) {}
        bool OnBlock(const SampleArray&, int block) override
        {
            blocks.push_back(block);
            if (blocks.size() == 1) {
                r.device.Deliver(BlockOfValue(1));
                nestedTook = r.engine.HandOver(*this);
            }
            return false;
        }
        Rig& r;
        std::vector<int> blocks;
        bool nestedTook = true;
    };
    Rig r;
    Nested consumer(r);
    ASSERT_EQ(r.engine.DoStart(0, 96000), 0);
    r.device.Deliver(BlockOfValue(1));
    EXPECT_TRUE(r.engine.HandOver(consumer));
    EXPECT_FALSE(consumer.nestedTook);
    EXPECT_TRUE(r.engine.HandOver(consumer));
    EXPECT_EQ(consumer.blocks, (std::vector<int>{1, 2}));
    EXPECT_EQ(r.engine.CurrentBlock(), 3);
}

TEST(CaptureEngine, OpenFailureAndRepeatedStartStop)
{
    Rig r;
    r.engine.DoStop();  // nothing open: harmless
    EXPECT_EQ(r.device.closeCount, 0);
    r.device.openResult = 32;
    EXPECT_EQ(r.engine.DoStart(7, 96000), 32);
    EXPECT_FALSE(r.engine.Recording());
    EXPECT_EQ(r.engine.Ring()[500], kSilence);

    r.device.openResult = 0;
    ASSERT_EQ(r.engine.DoStart(0, 96000), 0);
    ASSERT_EQ(r.engine.DoStart(0, 96000), 0);
    EXPECT_EQ(r.device.closeCount, 1) << "a second start closes the open device first";
    EXPECT_TRUE(r.engine.Recording());
    r.device.openResult = 1;
    EXPECT_EQ(r.engine.DoStart(0, 96000), 1);
    EXPECT_FALSE(r.engine.Recording()) << "a start that fails on an open device leaves it closed";
    EXPECT_EQ(r.device.closeCount, 2);
}

TEST(SteadyClock, NowDaysIsTheLocalDateAndTimeSince1899)
{
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    SteadyClock clock;
    const double expected = static_cast<double>(std::time(nullptr)) / 86400 + 25569;  // 1970-01-01 is day 25569
    EXPECT_NEAR(clock.NowDays(), expected, 2.0 / 86400);
    EXPECT_LT(clock.NowMs(), 1000) << "counted from the clock's making";
}
