// The statistics a shooter compares strings by, as pure functions over the
// velocities of the shots that count: the summary, the 90 % confidence
// intervals of the average and the standard deviation (Student's t and
// chi-square), whether two strings' spreads (Brown-Forsythe) and averages
// (Welch's t test) differ, in words, and the longest plateau of a
// pre-charged gun. The one implementation behind the results window, the
// library, its exports and reports.
#pragma once

#include <span>
#include <string>

namespace quorvel {

// Neumaier's compensated sum: the error of adding 10000 values near 300
// stays far below what the readouts or a spreadsheet could show.
class CompensatedSum {
public:
    void Add(double v);
    double Value() const { return sum_ + compensation_; }

private:
    double sum_ = 0;
    double compensation_ = 0;
};

struct Summary {
    int count = 0;
    double mean = 0;
    double sd = 0;  // sample standard deviation (n - 1)
    double min = 0;
    double max = 0;
    double Es() const { return max - min; }
};
// Equal velocities have exactly their value as mean and no spread; an SD
// below a billionth of the mean is rounding, not spread, and counts as none.
Summary Summarize(std::span<const double> velocities);

// A two-sided interval; not `known` with fewer than two shots.
struct Interval {
    bool known = false;
    double low = 0;
    double high = 0;
};
Interval MeanInterval(const Summary& s, double confidence = 0.90);
Interval SdInterval(const Summary& s, double confidence = 0.90);

// One string against another, in words that say what the test found
// ("strong evidence", "some evidence", "no evidence" of a difference; "A"
// and "B" are the names given), with the two-sided p value behind them.
struct Verdict {
    bool decided = false;  // p below 0.05
    double p = 1;
    std::string words;
};
// Brown-Forsythe: the spreads of the absolute deviations from each
// string's median, so one flyer or a drifting gun does not pass for a
// difference in consistency.
Verdict CompareSpreads(std::span<const double> a, std::span<const double> b, const std::string& nameB);
Verdict CompareMeans(const Summary& a, const Summary& b, const std::string& nameB, const std::string& unit);
// "p = 0.047", with as many digits as it takes never to print a p on the
// other side of 0.05 or 0.01 than it lies.
std::string PText(double p);

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
