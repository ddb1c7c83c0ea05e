// The onset detector runs on the capture thread's hand-over: nothing may be
// allocated while it is fed. This file counts every operator new while a
// session with shots, echoes, neighbours and misses is fed block by block.
#include <gtest/gtest.h>

#include "RangeRig.h"
#include "support/AllocationCount.h"

using quorvel::test_support::allocations;
using quorvel::test_support::counting;

using namespace range_test;

namespace {

struct Tally final : OnsetSink {
    // A shot or a miss: a window searched through.
    void Onset(const OnsetEvent& e) override { judged += e.kind == OnsetEventKind::Shot || e.kind == OnsetEventKind::Miss; }
    int judged = 0;
};

}  // namespace

TEST(OnsetDetector, AllocatesNothingWhileFed)
{
    Scene scene = Garage(96000, 34);
    scene.neighboursPerMinute = 30;
    const Session session = MakeSession(scene, 5);
    OnsetDetector detector(SetupAfter(scene, session.calibration));
    detector.Rehearse(session.calibration.samples);
    Tally tally;
    const std::vector<std::uint8_t>& sound = session.string.samples;
    allocations = 0;
    counting = true;
    for (std::size_t at = 0; at < sound.size(); at += kBlockSize) {
        detector.Feed(std::span<const std::uint8_t>(sound).subspan(at, std::min<std::size_t>(kBlockSize, sound.size() - at)), tally);
    }
    detector.Finish(tally);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GE(tally.judged, 4) << "the session must really have had shots in it";
}
