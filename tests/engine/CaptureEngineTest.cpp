#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "CaptureEngine.h"
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

}  // namespace

TEST(WrapBlock, BringsNumbersBackIntoOneToFive)
{
    const std::pair<int, int> cases[] = {{6, 1}, {7, 2}, {0, 5}, {-1, 4}, {1, 1}, {3, 3}, {5, 5}};
    for (const auto& [in, out] : cases) {
        auto b = static_cast<std::int16_t>(in);
        EXPECT_EQ(WrapBlock(b), out) << in;
        EXPECT_EQ(b, out);
    }
}

TEST(UnrollRing, PutsTheBlocksInTimeOrder)
{
    SampleArray ring;
    for (int b = 1; b <= 5; ++b) std::fill_n(ring.begin() + BlockStart(b), kBlockSize, static_cast<std::uint8_t>(b));
    ring[kRingSamples] = 99;

    SampleArray wave;
    wave.fill(0);
    UnrollRing(ring, 3, false, wave);
    EXPECT_EQ(wave[0], 0) << "nothing is copied before data arrived";

    UnrollRing(ring, 5, true, wave);
    for (int b = 1; b <= 5; ++b) EXPECT_EQ(wave[static_cast<std::size_t>(BlockStart(b))], b);
    EXPECT_EQ(wave[kRingSamples], 0) << "the spare byte is not written";

    UnrollRing(ring, 1, true, wave);
    EXPECT_EQ(wave[0], 2);
    EXPECT_EQ(wave[static_cast<std::size_t>(BlockStart(4)) + kBlockSize - 1], 5);
    EXPECT_EQ(wave[static_cast<std::size_t>(BlockStart(5))], 1);

    UnrollRing(ring, 3, true, wave);
    const int order[] = {4, 5, 1, 2, 3};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(wave[static_cast<std::size_t>(k * kBlockSize)], order[k]);
        EXPECT_EQ(wave[static_cast<std::size_t>(k * kBlockSize + kBlockSize - 1)], order[k]);
    }
}

TEST(CaptureEngine, KeepsTwoBlocksQueuedAndHandsThemOverInTurn)
{
    FakeRecordingDevice device;
    CountingWaker waker;
    CaptureEngine engine(device, waker);
    Recorder recorder;

    ASSERT_EQ(engine.DoStart(3, 44100), 0);
    EXPECT_EQ(device.openedDevice, 3);
    EXPECT_EQ(device.openedRate, 44100);
    EXPECT_TRUE(device.Started());
    EXPECT_EQ(device.QueuedCount(), 2);
    EXPECT_EQ(device.Queued(0), engine.Ring().data() + BlockStart(1));
    EXPECT_EQ(device.Queued(1), engine.Ring().data() + BlockStart(2));
    EXPECT_EQ(engine.Ring()[100], kSilence);
    EXPECT_EQ(engine.Ring()[kRingSamples], kSilence);
    EXPECT_FALSE(engine.HandOver(recorder)) << "nothing has arrived yet";

    for (int k = 0; k < 12; ++k) {
        ASSERT_TRUE(device.Deliver(BlockOfValue(static_cast<std::uint8_t>(10 + k))));
        EXPECT_EQ(waker.wakes, k + 1);
        ASSERT_TRUE(engine.HandOver(recorder));
        EXPECT_FALSE(engine.HandOver(recorder)) << "one report, one block";
        EXPECT_EQ(device.QueuedCount(), 2);
        // The device holds the two blocks after the one just handed over.
        const int handed = k % 5 + 1;
        EXPECT_EQ(device.Queued(0), engine.Ring().data() + BlockStart(Wrapped(handed + 1)));
        EXPECT_EQ(device.Queued(1), engine.Ring().data() + BlockStart(Wrapped(handed + 2)));
        EXPECT_EQ(engine.CurrentBlock(), Wrapped(handed + 1));
    }
    EXPECT_EQ(recorder.blocks, (std::vector<int>{1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 1, 2}));
    EXPECT_EQ(recorder.firstSamples[0], 10);
    EXPECT_EQ(recorder.firstSamples[11], 21);
    EXPECT_TRUE(engine.DataArrived());
    EXPECT_EQ(device.overruns, 0);
}

TEST(CaptureEngine, AFrozenBlockIsNotQueuedAgainAndLaterReportsAreDropped)
{
    FakeRecordingDevice device;
    CountingWaker waker;
    CaptureEngine engine(device, waker);
    Recorder recorder;
    recorder.freezeOn = 3;
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    for (int k = 0; k < 3; ++k) {
        device.Deliver(BlockOfValue(50));
        engine.HandOver(recorder);
    }
    EXPECT_EQ(engine.CurrentBlock(), 3) << "a freeze leaves the current block where it is";
    EXPECT_EQ(device.QueuedCount(), 1) << "block 5 was not queued";

    engine.SetStopProcessing(true);
    engine.DoStop();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.closeCount, 1);
    // The block the reset gave back is taken but not processed.
    while (engine.HandOver(recorder)) {
    }
    EXPECT_EQ(recorder.blocks.size(), 3u);

    // After a plain stop, blocks handed back unfinished are not scanned either.
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    EXPECT_FALSE(engine.StopProcessing());
    device.Deliver(BlockOfValue(60));
    engine.DoStop();
    int taken = 0;
    while (engine.HandOver(recorder)) ++taken;
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(recorder.blocks.size(), 3u);
}

TEST(CaptureEngine, AConsumerThatRunsTheEventLoopCannotTakeTheNextBlockEarly)
{
    // A message box during a block lets the next report through; that block
    // must wait until this one is queued again.
    class Nested final : public BlockConsumer {
    public:
        Nested(CaptureEngine& engine, FakeRecordingDevice& device) : engine_(engine), device_(device) {}
        bool OnBlock(const SampleArray&, int block) override
        {
            blocks.push_back(block);
            if (blocks.size() == 1) {
                device_.Deliver(BlockOfValue(1));
                nestedTook = engine_.HandOver(*this);
            }
            return false;
        }
        std::vector<int> blocks;
        bool nestedTook = true;

    private:
        CaptureEngine& engine_;
        FakeRecordingDevice& device_;
    };
    FakeRecordingDevice device;
    CountingWaker waker;
    CaptureEngine engine(device, waker);
    Nested consumer(engine, device);
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    device.Deliver(BlockOfValue(1));
    EXPECT_TRUE(engine.HandOver(consumer));
    EXPECT_FALSE(consumer.nestedTook);
    EXPECT_TRUE(engine.HandOver(consumer));
    EXPECT_EQ(consumer.blocks, (std::vector<int>{1, 2}));
    EXPECT_EQ(engine.CurrentBlock(), 3);
}

TEST(CaptureEngine, OpenFailureAndRepeatedStartStop)
{
    FakeRecordingDevice device;
    CountingWaker waker;
    CaptureEngine engine(device, waker);

    engine.DoStop();  // nothing open: harmless
    EXPECT_EQ(device.closeCount, 0);

    device.openResult = 32;
    EXPECT_EQ(engine.DoStart(7, 96000), 32);
    EXPECT_FALSE(engine.Recording());
    EXPECT_EQ(engine.Ring()[500], kSilence);

    device.openResult = 0;
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    EXPECT_EQ(device.closeCount, 1) << "a second start closes the open device first";
    EXPECT_EQ(device.openCount, 3);
    EXPECT_TRUE(engine.Recording());
    engine.DoStop();
    EXPECT_FALSE(engine.Recording());
}

TEST(CaptureEngine, ReportsFromAnotherThreadOnlyWakeTheOwner)
{
    // The device thread fills and reports; the owning thread is woken and
    // hands the blocks over. Every block arrives once, in order.
    class SignalWaker final : public HandOverWaker {
    public:
        void Wake() noexcept override
        {
            std::lock_guard lock(mutex);
            woken = true;
            cv.notify_one();
        }
        std::mutex mutex;
        std::condition_variable cv;
        bool woken = false;
    };
    FakeRecordingDevice device;
    SignalWaker waker;
    CaptureEngine engine(device, waker);
    Recorder recorder;
    ASSERT_EQ(engine.DoStart(0, 96000), 0);

    constexpr int kBlocks = 200;
    std::mutex deviceMutex;  // the fake device's queue is not itself thread-safe
    std::thread producer([&] {
        for (int k = 0; k < kBlocks;) {
            std::unique_lock lock(deviceMutex);
            if (device.QueuedCount() > 0) {
                device.Deliver(BlockOfValue(static_cast<std::uint8_t>(k % 200)));
                ++k;
            }
            lock.unlock();
            std::this_thread::yield();
        }
    });
    int handled = 0;
    while (handled < kBlocks) {
        std::unique_lock lock(waker.mutex);
        waker.cv.wait_for(lock, std::chrono::milliseconds(5), [&] { return waker.woken; });
        waker.woken = false;
        lock.unlock();
        std::lock_guard deviceLock(deviceMutex);
        while (engine.HandOver(recorder)) ++handled;
    }
    producer.join();
    ASSERT_EQ(recorder.firstSamples.size(), static_cast<std::size_t>(kBlocks));
    for (int k = 0; k < kBlocks; ++k) EXPECT_EQ(recorder.firstSamples[static_cast<std::size_t>(k)], k % 200);
}
