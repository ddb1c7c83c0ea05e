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
using V = std::vector<double>;
}  // namespace

// Against published table values: t(0.95; 9) = 1.8331, chi-square(0.95; 9)
// = 16.919 and (0.05; 9) = 3.3251.
TEST(StringStatistics, ConfidenceIntervalsAgreeWithTheTables)
{
    const Summary s = Summarize(V{250, 252, 254});
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
}

// Equal velocities have no spread and exactly their value as average,
// however many and however they sum; a string of them compares the same
// whichever constant it holds.
TEST(StringStatistics, ConstantStringsHaveNoSpread)
{
    for (const V& v : {V(2, 251.3), V(12, 251.3), V(10001, 251.3), V(7, 0.1), V{251.3, 251.3 + 1e-12, 251.3}}) {
        const Summary s = Summarize(v);
        EXPECT_EQ(s.sd, 0) << v.size();
        EXPECT_EQ(s.mean, v[0] == v[1] ? v[0] : s.mean) << v.size();
        EXPECT_GE(s.mean, s.min);
        EXPECT_LE(s.mean, s.max);
    }
    const Verdict same = CompareMeans(Summarize(V(2, 251.3)), Summarize(V(12, 251.3)), "B", "m/s");
    EXPECT_FALSE(same.decided);
    EXPECT_EQ(same.words, "too few shots (or no spread) to compare the averages");
    EXPECT_EQ(CompareSpreads(V(6, 250.0), V(6, 251.3), "B").words, "too few shots (or no spread) to compare the SDs");
    const V other = {250.1, 250.9, 249.4, 250.3, 251.0, 249.8};
    EXPECT_EQ(CompareSpreads(V(6, 250.0), other, "B").p, CompareSpreads(V(6, 251.3), other, "B").p);
}

// Welch's t test and Brown-Forsythe against an independent reference
// (SciPy 1.10: ttest_ind(equal_var=False), levene(center='median')), on
// rounded, flyer, drifting and constant strings.
TEST(StringStatistics, TestsAgreeWithAnIndependentReference)
{
    struct Row {
        const char* name;
        V a, b;
        double welch, brownForsythe;
    };
    const V b6 = {250.1, 250.9, 249.4, 250.3, 251.0, 249.8};
    const Row rows[] = {
        {"rounded", {251.3, 251.4, 251.3, 251.2, 251.3, 251.5, 251.1, 251.3}, {250.9, 251.0, 251.2, 250.8, 251.0, 251.1, 250.9},
         0.0004509099686287673, 0.5816504576695247},
        {"flyer", {250.1, 250.4, 249.9, 250.2, 250.0, 250.3, 249.8, 250.1, 250.2, 244.0},
         {250.0, 250.6, 249.5, 250.3, 249.8, 250.5, 249.6, 250.2, 250.4, 249.7}, 0.39280477213888976, 0.5127197300270598},
        {"drift", {248.0, 248.5, 249.0, 249.5, 250.0, 250.5, 251.0, 251.5}, {249.0, 251.0, 250.0, 249.5, 250.5, 250.2, 249.8, 250.1},
         0.5987554044515122, 0.042772621708127866},
        {"flat 250.0", V(6, 250.0), b6, 0.3701366142089136, 0.005052918657797803},
        {"flat 251.3", V(6, 251.3), b6, 0.009046419996808889, 0.005052918657797803},
    };
    for (const Row& r : rows) {
        const Verdict means = CompareMeans(Summarize(r.a), Summarize(r.b), "B", "m/s");
        const Verdict spreads = CompareSpreads(r.a, r.b, "B");
        EXPECT_NEAR(means.p, r.welch, r.welch * 1e-6) << r.name;
        EXPECT_NEAR(spreads.p, r.brownForsythe, r.brownForsythe * 1e-6) << r.name;
        EXPECT_EQ(means.decided, r.welch < 0.05) << r.name;
        EXPECT_EQ(spreads.decided, r.brownForsythe < 0.05) << r.name;
    }
}

// The words say what the test found, and the p printed never lies on the
// other side of 0.05 or 0.01 from the p computed.
TEST(StringStatistics, WordsAndPrintedPAgreeWithTheTest)
{
    struct Row {
        double p;
        const char* text;
    };
    const Row rows[] = {{0.0469, "p = 0.047"}, {0.0503, "p = 0.050"}, {0.04996, "p = 0.04996"}, {0.0099996, "p = 0.0099996"},
                        {0.0100004, "p = 0.010"}, {0.31, "p = 0.31"}, {1, "p = 1.0"}, {0.00099, "p < 0.001"},
                        {0.049999999999, "p < 0.05"}};
    for (const Row& r : rows) EXPECT_EQ(PText(r.p), r.text) << r.p;

    const V a = {27.5, 21.0, 19.0, 23.6, 17.0, 17.9, 16.9, 20.1, 21.9, 22.6, 23.1, 19.6, 19.0, 21.7, 21.4};
    const V b = {27.1, 22.0, 20.8, 23.4, 23.4, 23.5, 25.8, 22.0, 24.8, 20.2, 21.9, 22.1, 22.9, 20.5, 24.4};
    EXPECT_EQ(CompareMeans(Summarize(a), Summarize(b), "B", "m/s").words,
              "slower than B by 2.2 m/s: some evidence of a difference (p = 0.021)");
    EXPECT_EQ(CompareMeans(Summarize(a), Summarize(a), "B", "m/s").words,
              "no evidence of a difference in the averages (15 shots each, p = 1.0)");
    const V steady = {250.0, 250.1, 249.9, 250.0, 250.1, 249.9, 250.0, 250.05};
    const V wild = {245.0, 255.0, 248.0, 252.0, 244.0, 256.0, 250.0, 251.0};
    EXPECT_EQ(CompareSpreads(steady, wild, "B").words.rfind("lower SD than B: strong evidence of a difference (p", 0), 0u);
    EXPECT_EQ(CompareSpreads(wild, steady, "B").words.rfind("higher SD than B", 0), 0u);
    EXPECT_EQ(CompareMeans(Of(250, 0, 1), Of(250, 1, 5), "B", "m/s").words, "too few shots (or no spread) to compare the averages");
    EXPECT_FALSE(CompareSpreads(V{250, 251}, wild, "B").decided);
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
        bool found;
        int first, last, count;
    };
    const Row rows[] = {{counted, 3, true, 3, 10, 7}, {all, 3, true, 7, 10, 4}, {counted, 0, true, 0, 0, 1},
                        {counted, 100, true, 0, 12, 12}, {counted, -1, false, 0, 0, 0}};
    for (const Row& r : rows) {
        const std::vector<bool>& c = r.counted;
        const std::unique_ptr<bool[]> flags(new bool[c.size()]);
        for (std::size_t i = 0; i < c.size(); ++i) flags[i] = c[i];
        const Plateau p = LongestPlateau(v, std::span<const bool>(flags.get(), c.size()), r.limit);
        EXPECT_EQ(p.found, r.found) << r.limit;
        EXPECT_EQ(p.first, r.first) << r.limit;
        EXPECT_EQ(p.last, r.last) << r.limit;
        EXPECT_EQ(p.summary.count, r.count) << r.limit;
        EXPECT_LE(p.summary.Es(), std::max(0.0, r.limit));
    }
    EXPECT_FALSE(LongestPlateau({}, {}, 3).found);
}
