// Recording must not allocate: this binary counts every operator new while
// the engine records a few hundred blocks with shots, misses and pending
// actions in them. It has its own executable because it replaces the global
// allocator.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "CaptureEngine.h"
#include "FakeRecordingDevice.h"
#include "ShotDetector.h"
#include "ShotSynth.h"
#include "support/TestSettings.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace quorvel;

namespace {

class NoWake final : public HandOverWaker {
public:
    void Wake() noexcept override {}
};

// What the measuring session does with each block, minus the window.
struct Owner final : BlockConsumer {
    Owner(ShotDetector& d, const MeasureContext& c) : detector(d), context(c) {}
    bool OnBlock(const SampleArray& ring, int block) override
    {
        const BlockOutcome o = detector.OnBlock(ring, block, context);
        shots += o.event == BlockEvent::Shot;
        misses += o.event == BlockEvent::NoImpact;
        autosaves += o.autosave;
        labelChars += o.labels.accuracy.View().size() + o.missText.View().size();
        return false;
    }
    ShotDetector& detector;
    const MeasureContext& context;
    int shots = 0, misses = 0, autosaves = 0;
    std::size_t labelChars = 0;
};

}  // namespace

TEST(Recording, AllocatesNothingBetweenStartAndStop)
{
    synth::Recording r;
    r.length = 300L * kBlockSize;
    for (int k = 0; k < 60; ++k) {
        r.shots.push_back({40000 + k * 140000L, k % 7 == 3 ? 0 : 4000 + 37 * k, 0.8, 0.45});
    }
    const std::vector<std::uint8_t> sound = synth::SynthesizeEightBit(r);

    const Settings s = test_support::TenMetres();
    Switches switches;
    switches[Switch::AutoSave] = true;
    const double T = 1.0 / 96000 * 1000;
    const MeasureContext context{s, T, " m/s ", switches};

    FakeClock clock;
    FakeRecordingDevice device;
    NoWake waker;
    CaptureEngine engine(device, waker);
    ShotDetector detector(clock);
    detector.SetWindow(CalcTriggerWindow(s.distance, s.VelocityMin, s.VelocityMax, T));
    Owner owner(detector, context);

    allocations = 0;
    counting = true;
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    detector.ResetForStart();
    for (long k = 0; k < 300; ++k) {
        clock.ms = 10000 + (k + 1) * 300.0;
        device.Deliver(std::span<const std::uint8_t>(sound.data() + k * kBlockSize, kBlockSize));
        while (engine.HandOver(owner)) {
        }
    }
    engine.DoStop();
    engine.UnrollRing();
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GE(owner.shots, 45) << "the recording must really have had shots in it";
    EXPECT_GE(owner.misses, 5);
    EXPECT_GE(owner.autosaves, 40);
    EXPECT_GT(owner.labelChars, 0u);
}
