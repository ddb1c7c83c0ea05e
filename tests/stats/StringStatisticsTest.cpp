#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "StringStatistics.h"

using namespace quorvel;

namespace {
Summary Of(double mean, double sd, int n)
{
    Summary s;
    s.count = n;
    s.mean = mean;
    s.sd = sd;
    return s;
}
}  // namespace

// Against published table values: t(0.95; 9) = 1.8331, chi-square(0.95; 9)
// = 16.919 and (0.05; 9) = 3.3251, F(0.975; 9, 9) = 4.026.
TEST(StringStatistics, ConfidenceIntervalsAndTheFTestAgreeWithTheTables)
{
    const Summary s = Summarize(std::vector<double>{250, 252, 254});
    EXPECT_EQ(s.count, 3);
    EXPECT_DOUBLE_EQ(s.mean, 252);
    EXPECT_DOUBLE_EQ(s.sd, 2);
    EXPECT_DOUBLE_EQ(s.Es(), 4);
    const Interval mean = MeanInterval(Of(250, 2, 10));
    EXPECT_NEAR(mean.high - 250, 1.8331 * 2 / std::sqrt(10), 1e-4);
    EXPECT_NEAR(250 - mean.low, 1.8331 * 2 / std::sqrt(10), 1e-4);
    const Interval sd = SdInterval(Of(250, 2, 10));
    EXPECT_NEAR(sd.low, std::sqrt(9 * 4 / 16.919), 1e-3);
    EXPECT_NEAR(sd.high, std::sqrt(9 * 4 / 3.3251), 1e-3);
    // Two shots are the fewest with an interval.
    EXPECT_FALSE(MeanInterval(Of(250, 0, 1)).known);
    EXPECT_FALSE(SdInterval(Of(250, 0, 1)).known);
    EXPECT_TRUE(MeanInterval(Of(250, 2, 2)).known);
    EXPECT_TRUE(SdInterval(Of(250, 2, 2)).known);

    const Verdict edge = CompareSds(Of(250, 1, 10), Of(250, std::sqrt(4.026), 10), "B");
    EXPECT_NEAR(edge.p, 0.05, 1e-3);
    const Verdict lower = CompareSds(Of(250, 1, 10), Of(250, 3, 10), "B");
    EXPECT_TRUE(lower.decided);
    EXPECT_EQ(lower.words.rfind("lower SD than B: very likely, p = 0.00", 0), 0u) << lower.words;
    EXPECT_EQ(CompareSds(Of(250, 1.1, 10), Of(250, 1.2, 10), "B").words.rfind("10 shots each cannot tell these SDs apart (p = ", 0), 0u);
}

// The worked example of Welch's test (two samples of 15): t = -2.46, 24.9 degrees of freedom, p = 0.021.
TEST(StringStatistics, WelchsTestOnAWorkedExample)
{
    const std::vector<double> a = {27.5, 21.0, 19.0, 23.6, 17.0, 17.9, 16.9, 20.1, 21.9, 22.6, 23.1, 19.6, 19.0, 21.7, 21.4};
    const std::vector<double> b = {27.1, 22.0, 20.8, 23.4, 23.4, 23.5, 25.8, 22.0, 24.8, 20.2, 21.9, 22.1, 22.9, 20.5, 24.4};
    const Verdict v = CompareMeans(Summarize(a), Summarize(b), "B", "m/s");
    EXPECT_NEAR(v.p, 0.021, 0.001);
    EXPECT_EQ(v.words, "slower than B by 2.2 m/s: likely, p = 0.02");
    EXPECT_FALSE(CompareMeans(Summarize(a), Summarize(a), "B", "m/s").decided);
    EXPECT_EQ(CompareMeans(Of(250, 0, 1), Of(250, 1, 5), "B", "m/s").words, "too few shots (or no spread) to compare the averages");
}

TEST(StringStatistics, ThePlateauIsTheLongestRunWithinTheSpread)
{
    // Rising, level within 3, falling; the excluded flyer in the level part does not break it.
    const std::vector<double> v = {240, 244, 247, 250, 251, 249, 262, 250, 252, 251, 249, 246, 241};
    std::vector<bool> counted(v.size(), true);
    counted[6] = false;
    const std::vector<bool> all(v.size(), true);
    struct Row {
        const std::vector<bool>& counted;
        double limit;
        int first, last, count;
    };
    const Row rows[] = {{counted, 3, 3, 10, 7}, {all, 3, 7, 10, 4}, {counted, 0, 0, 0, 1}, {counted, 100, 0, 12, 12}};
    for (const Row& r : rows) {
        const std::vector<bool>& c = r.counted;
        const std::unique_ptr<bool[]> flags(new bool[c.size()]);
        for (std::size_t i = 0; i < c.size(); ++i) flags[i] = c[i];
        const Plateau p = LongestPlateau(v, std::span<const bool>(flags.get(), c.size()), r.limit);
        EXPECT_TRUE(p.found);
        EXPECT_EQ(p.first, r.first) << r.limit;
        EXPECT_EQ(p.last, r.last) << r.limit;
        EXPECT_EQ(p.summary.count, r.count) << r.limit;
        EXPECT_LE(p.summary.Es(), r.limit);
    }
    EXPECT_FALSE(LongestPlateau({}, {}, 3).found);
}
