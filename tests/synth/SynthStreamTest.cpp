#include <gtest/gtest.h>

#include "ShotSynth.h"

using namespace quorvel;

// A recording made a piece at a time is the very recording made at once,
// whatever the pieces (a two-hour one is written that way).
TEST(SynthStream, PiecesJoinIntoTheWholeRecording)
{
    synth::Recording r;
    r.sampleRate = 48000;
    r.length = 48000;
    r.noiseSd = 0.01;
    r.echoMs = 20;
    r.echoLevel = 0.2;
    r.shots = {{1000, 4000, 0.8, 0.45}, {30000, 0, 0.5, 0}, {47990, 100, 0.6, 0.3}};
    const std::vector<std::int16_t> whole = synth::Synthesize(r);
    for (const std::size_t piece : {1u, 777u, 4096u, 100000u}) {
        synth::SynthStream stream(r);
        std::vector<std::int16_t> joined, buffer(piece);
        while (const std::size_t n = stream.Next(buffer)) joined.insert(joined.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
        EXPECT_EQ(joined, whole) << "pieces of " << piece;
    }
    EXPECT_GT(whole[1000], 24000) << "a report starts at its peak";
    EXPECT_LT(std::abs(whole[999]), 2000);
}
