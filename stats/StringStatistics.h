// The statistics a shooter compares strings by, as pure functions over the
// velocities of the shots that count: the summary, the 90 % confidence
// intervals of the average and the standard deviation (Student's t and
// chi-square), whether two strings' SDs (F test) and averages (Welch's t
// test) differ, in words, and the longest plateau of a pre-charged gun.
// Used by the results window, the library, its exports and reports.
#pragma once

#include <span>
#include <string>

namespace quorvel {

struct Summary {
    int count = 0;
    double mean = 0;
    double sd = 0;  // sample standard deviation (n - 1)
    double min = 0;
    double max = 0;
    double Es() const { return max - min; }
};
Summary Summarize(std::span<const double> velocities);

// A two-sided interval; not `known` with fewer than two shots.
struct Interval {
    bool known = false;
    double low = 0;
    double high = 0;
};
Interval MeanInterval(const Summary& s, double confidence = 0.90);
Interval SdInterval(const Summary& s, double confidence = 0.90);

// One string against another, in a shooter's words ("A" and "B" are the
// names given), with the two-sided p value behind them.
struct Verdict {
    bool decided = false;  // p below 0.05: the difference is likely real
    double p = 1;
    std::string words;
};
Verdict CompareSds(const Summary& a, const Summary& b, const std::string& nameB);
Verdict CompareMeans(const Summary& a, const Summary& b, const std::string& nameB, const std::string& unit);

// The longest run of consecutive shots (those not counted are passed over)
// whose extreme spread stays within `limit`: positions `first` to `last`
// in the velocities given, `count` shots that count among them.
struct Plateau {
    bool found = false;
    int first = 0;
    int last = 0;
    Summary summary;
};
Plateau LongestPlateau(std::span<const double> velocities, std::span<const bool> counted, double limit);

}  // namespace quorvel
