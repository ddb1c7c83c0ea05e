// Recording must not allocate: this binary counts every operator new while
// the engine records a few hundred blocks with shots, misses and pending
// actions in them. It has its own executable because it replaces the global
// allocator.
#include <gtest/gtest.h>

#include "CaptureEngine.h"
#include "Detection.h"
#include "FakeRecordingDevice.h"
#include "ShotSynth.h"
#include "support/AllocationCount.h"
#include "support/TestSettings.h"

using quorvel::test_support::allocations;
using quorvel::test_support::counting;

using namespace quorvel;

namespace {

class NoWake final : public HandOverWaker {
public:
    void Wake() noexcept override {}
};

// What the measuring session does with each block, minus the window: the
// detection method through its interface, as every caller drives it.
struct Owner final : BlockConsumer, DetectionSink {
    explicit Owner(Detector& d) : detector(d) {}
    bool OnBlock(const SampleArray& ring, int block) override
    {
        detector.Scan(BlockOf(ring, block), *this);
        return false;
    }
    void Detected(const Detection& d) override
    {
        shots += d.kind == Detection::Kind::Shot;
        misses += d.kind == Detection::Kind::Miss;
    }
    Detector& detector;
    int shots = 0, misses = 0;
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
    const double T = 1.0 / 96000 * 1000;
    ManualClock clock;
    FakeRecordingDevice device;
    NoWake waker;
    CaptureEngine engine(device, waker);
    const std::unique_ptr<Detector> detector = MakeDetector(
        DetectionMethod::Threshold, clock, {96000, CalcTriggerWindow(s.distance, s.VelocityMin, s.VelocityMax, T), 60, 30, {}});
    Owner owner(*detector);

    allocations = 0;
    counting = true;
    ASSERT_EQ(engine.DoStart(0, 96000), 0);
    detector->Restart();
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
}
