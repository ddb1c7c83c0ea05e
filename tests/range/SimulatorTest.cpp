// The simulator's truth has to be right before anything is judged by it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "RangeRig.h"
#include "Room.h"
#include "SoundCard.h"

using namespace range_test;

namespace {

int LoudestBetween(const std::vector<std::uint8_t>& s, double from, double to)
{
    int loudest = 0;
    for (auto i = static_cast<std::int64_t>(std::max(0.0, from)); i < static_cast<std::int64_t>(to); ++i) {
        loudest = std::max(loudest, std::abs(s[static_cast<std::size_t>(i)] - 128));
    }
    return loudest;
}

}  // namespace

// With the microphone on the plane that bisects the line of fire, the time
// between the two direct sounds is the pellet's flight (d / v within the
// drag model's limits), and each direct sound starts where the truth says.
TEST(Simulator, TheIntervalBetweenTheDirectSoundsIsTheFlightTime)
{
    Scene cold = Field(22050, 4);
    cold.temperature = -5;
    struct Row {
        const char* name;
        Scene scene;
    };
    const Row rows[] = {{"field, 96 kHz", Field(96000, 3)}, {"field, 22 kHz, -5 C", cold}, {"garage, 44.1 kHz", Garage(44100, 5)}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Scene& s = row.scene;
        const Recording rec = MakeRecording(s, 4, 7, 11);
        ASSERT_EQ(rec.shots.size(), 4u);
        for (const ShotTruth& t : rec.shots) {
            EXPECT_NEAR(t.impact - t.muzzle, t.flight * s.rate, 1e-6);
            EXPECT_NEAR(t.velocity * t.flight, s.distance, 1e-9);
            // The average velocity of a pellet slowing as exp(-k x) from a
            // muzzle velocity within four of its standard deviations.
            const double slowest = s.distance * s.drag / std::expm1(s.drag * s.distance) * s.velocity * (1 - 4 * s.velocitySd);
            const double fastest = s.distance * s.drag / std::expm1(s.drag * s.distance) * s.velocity * (1 + 4 * s.velocitySd);
            EXPECT_GT(t.velocity, slowest);
            EXPECT_LT(t.velocity, fastest);
            const double quarterMs = s.rate / 4000.0;
            EXPECT_LT(LoudestBetween(rec.samples, t.muzzle - quarterMs, t.muzzle - 2) * 4, LoudestBetween(rec.samples, t.muzzle, t.muzzle + quarterMs));
        }
    }
}

// The impact's local signal-to-noise ratio counts the room against it: a
// louder diffuse tail lowers it, an open field keeps it high.
TEST(Simulator, TheImpactsSignalToNoiseRatioFallsWithALouderTail)
{
    auto meanSnr = [](const Scene& s) {
        const Recording rec = MakeRecording(s, 4, 7, 21);
        double sum = 0;
        for (const ShotTruth& t : rec.shots) sum += t.snrDb;
        return sum / static_cast<double>(rec.shots.size());
    };
    Scene dry = Garage(48000, 8);
    Scene wet = dry;
    wet.rt60 = 1.5;
    wet.tailScale = 4;
    const double field = meanSnr(Field(48000, 8));
    EXPECT_GT(field, 15);
    EXPECT_GT(meanSnr(dry), meanSnr(wet) + 3);
}

// The card: silence at 128, full scale clipped at 0 and 255.
TEST(Simulator, TheCardGivesUnsignedEightBitsCentredOn128)
{
    const std::vector<float> sound = {0.0F, 0.5F / 128, -0.6F / 128, 1.5F, -1.5F, 127.0F / 128, -1.0F};
    const std::vector<std::uint8_t> expected = {128, 129, 127, 255, 0, 255, 0};
    EXPECT_EQ(EightBit(sound), expected);

    Scene quiet = Field(44100, 9);
    quiet.noiseDbfs = -120;
    const Recording silence = MakeRecording(quiet, 0, 0.5, 1);
    ASSERT_EQ(silence.samples.size(), 22050u);
    EXPECT_TRUE(std::all_of(silence.samples.begin(), silence.samples.end(), [](std::uint8_t s) { return s == 128; }));

    Scene loud = Field(44100, 9);
    loud.reportPeak = 3;
    const Recording clipped = MakeRecording(loud, 1, 1, 2);
    EXPECT_EQ(*std::max_element(clipped.samples.begin(), clipped.samples.end()), 255);
}

// Image sources: a reflection arrives as late and as weak as the mirrored
// path says, and a wall that is not there returns nothing.
TEST(Simulator, ReflectionsFollowTheMirroredPaths)
{
    Scene s = Field(48000, 1);
    s.reflection = {0, 0, 0, 0, 0.5, 0};  // ground only
    const Vec3 source{2, 20, 1.3}, mic{7, 20.6, 1.1};
    const std::vector<Path> ground = Paths(s, source, mic);
    ASSERT_EQ(ground.size(), 2u);
    const double c = SpeedOfSound(s.temperature);
    const double direct = std::hypot(5.0, 0.6, 0.2), mirrored = std::hypot(5.0, 0.6, 2.4);
    EXPECT_NEAR(ground[0].seconds, direct / c, 1e-12);
    EXPECT_NEAR(ground[1].seconds, mirrored / c, 1e-12);
    EXPECT_NEAR(ground[1].gain, 0.5 / mirrored, 1e-12);
    EXPECT_EQ(ground[1].soft, 1);
    s.reflection[kFloor] = 0;
    EXPECT_EQ(Paths(s, source, mic).size(), 1u);
    s.reflection = {0.9, 0.9, 0.9, 0.9, 0.9, 0.9};
    s.size = {10, 10, 10};
    s.maxOrder = 2;
    EXPECT_EQ(Paths(s, {2, 2, 2}, {5, 5, 5}).size(), 1u + 6u + 18u) << "a shoebox has 6 first and 18 second bounces";
}
