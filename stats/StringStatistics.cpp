#include "StringStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace quorvel {

namespace {

std::string Fixed(double v, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string Shots(int a, int b)
{
    if (a == b) return std::to_string(a) + " shots each";
    return std::to_string(a) + " and " + std::to_string(b) + " shots";
}

std::string Evidence(double p)
{
    if (p < 0.01) return "strong evidence of a difference";
    if (p < 0.05) return "some evidence of a difference";
    return "no evidence of a difference";
}

// An SD this small next to the mean is what summing left behind.
bool NoSpread(double sd, double mean) { return sd <= 1e-9 * std::fabs(mean); }

double Median(std::vector<double> v)
{
    const std::size_t half = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(half), v.end());
    const double upper = v[half];
    if (v.size() % 2 == 1) return upper;
    return (*std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(half)) + upper) / 2;
}

struct Deviations {
    std::vector<double> z;  // |x - median|
    double mean = 0;
};

Deviations FromMedian(std::span<const double> x)
{
    Deviations d;
    const double median = Median(std::vector<double>(x.begin(), x.end()));
    CompensatedSum sum;
    for (double v : x) {
        d.z.push_back(std::fabs(v - median));
        sum.Add(d.z.back());
    }
    d.mean = sum.Value() / static_cast<double>(x.size());
    return d;
}

}  // namespace

void CompensatedSum::Add(double v)
{
    const double t = sum_ + v;
    compensation_ += std::fabs(sum_) >= std::fabs(v) ? (sum_ - t) + v : (v - t) + sum_;
    sum_ = t;
}

Summary Summarize(std::span<const double> v)
{
    Summary s;
    s.count = static_cast<int>(v.size());
    if (v.empty()) return s;
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    s.min = *low;
    s.max = *high;
    if (s.min == s.max) {
        s.mean = s.min;
        return s;
    }
    CompensatedSum sum;
    for (double x : v) sum.Add(x);
    s.mean = std::clamp(sum.Value() / static_cast<double>(v.size()), s.min, s.max);
    CompensatedSum squares;
    for (double x : v) squares.Add((x - s.mean) * (x - s.mean));
    s.sd = std::sqrt(squares.Value() / static_cast<double>(v.size() - 1));
    if (NoSpread(s.sd, s.mean)) s.sd = 0;
    return s;
}

Interval MeanInterval(const Summary& s, double confidence)
{
    if (s.count < 2) return {};
    const boost::math::students_t t(s.count - 1);
    const double half = boost::math::quantile(t, 1 - (1 - confidence) / 2) * s.sd / std::sqrt(s.count);
    return {true, s.mean - half, s.mean + half};
}

Interval SdInterval(const Summary& s, double confidence)
{
    if (s.count < 2) return {};
    const boost::math::chi_squared chi(s.count - 1);
    const double variance = (s.count - 1) * s.sd * s.sd;
    return {true, std::sqrt(variance / boost::math::quantile(chi, 1 - (1 - confidence) / 2)),
            std::sqrt(variance / boost::math::quantile(chi, (1 - confidence) / 2))};
}

std::string PText(double p)
{
    if (!(p >= 0.001)) return "p < 0.001";
    const auto sameSide = [p](double shown) {
        return (shown < 0.05) == (p < 0.05) && (shown < 0.01) == (p < 0.01);
    };
    for (int digits = 2; digits <= 6; ++digits) {
        const int decimals = std::max(1, digits - 1 - static_cast<int>(std::floor(std::log10(p))));
        const std::string text = Fixed(p, decimals);
        if (sameSide(std::strtod(text.c_str(), nullptr))) return "p = " + text;
    }
    return p < 0.01 ? "p < 0.01" : "p < 0.05";
}

Verdict CompareSpreads(std::span<const double> a, std::span<const double> b, const std::string& nameB)
{
    Verdict v;
    const Summary sa = Summarize(a);
    const Summary sb = Summarize(b);
    v.words = "too few shots (or no spread) to compare the SDs";
    if (sa.count < 3 || sb.count < 3 || (sa.sd == 0 && sb.sd == 0)) return v;
    const Deviations da = FromMedian(a);
    const Deviations db = FromMedian(b);
    const double n = static_cast<double>(sa.count + sb.count);
    const double grand = (da.mean * sa.count + db.mean * sb.count) / n;
    const double between = sa.count * (da.mean - grand) * (da.mean - grand) + sb.count * (db.mean - grand) * (db.mean - grand);
    CompensatedSum within;
    for (double z : da.z) within.Add((z - da.mean) * (z - da.mean));
    for (double z : db.z) within.Add((z - db.mean) * (z - db.mean));
    const double scale = std::max(std::fabs(sa.mean), std::fabs(sb.mean));
    if (within.Value() <= n * (1e-9 * scale) * (1e-9 * scale)) return v;
    const double f = between / (within.Value() / (n - 2));
    v.p = std::min(1.0, boost::math::cdf(boost::math::complement(boost::math::fisher_f(1, n - 2), f)));
    v.decided = v.p < 0.05;
    v.words = v.decided ? std::string(da.mean < db.mean ? "lower" : "higher") + " SD than " + nameB + ": " + Evidence(v.p) +
                              " (" + PText(v.p) + ")"
                        : Evidence(v.p) + " in the SDs (" + Shots(sa.count, sb.count) + ", " + PText(v.p) + ")";
    return v;
}

Verdict CompareMeans(const Summary& a, const Summary& b, const std::string& nameB, const std::string& unit)
{
    Verdict v;
    if (a.count < 2 || b.count < 2 || (a.sd <= 0 && b.sd <= 0)) {
        v.words = "too few shots (or no spread) to compare the averages";
        return v;
    }
    const double qa = a.sd * a.sd / a.count;
    const double qb = b.sd * b.sd / b.count;
    const double t = (a.mean - b.mean) / std::sqrt(qa + qb);
    const double df = (qa + qb) * (qa + qb) / (qa * qa / (a.count - 1) + qb * qb / (b.count - 1));
    v.p = std::min(1.0, 2 * boost::math::cdf(boost::math::complement(boost::math::students_t(df), std::fabs(t))));
    v.decided = v.p < 0.05;
    v.words = v.decided ? std::string(a.mean > b.mean ? "faster" : "slower") + " than " + nameB + " by " +
                              Fixed(std::fabs(a.mean - b.mean), 1) + " " + unit + ": " + Evidence(v.p) + " (" + PText(v.p) + ")"
                        : Evidence(v.p) + " in the averages (" + Shots(a.count, b.count) + ", " + PText(v.p) + ")";
    return v;
}
Plateau LongestPlateau(std::span<const double> v, std::span<const bool> counted, double limit)
{
    // A window over the counted shots, widened on the right and narrowed on
    // the left as soon as its spread exceeds the limit; the extremes come
    // from two monotonic queues, so each shot is looked at a few times.
    // No run has a negative spread: without this the queues would run dry.
    if (!(limit >= 0)) return {};
    std::vector<int> index;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i >= counted.size() || counted[i]) index.push_back(static_cast<int>(i));
    }
    Plateau best;
    std::deque<int> lows, highs;  // positions in `index`
    int left = 0;
    int bestLength = 0;
    for (int right = 0; right < static_cast<int>(index.size()); ++right) {
        const double x = v[static_cast<std::size_t>(index[static_cast<std::size_t>(right)])];
        while (!lows.empty() && v[static_cast<std::size_t>(index[static_cast<std::size_t>(lows.back())])] >= x) lows.pop_back();
        while (!highs.empty() && v[static_cast<std::size_t>(index[static_cast<std::size_t>(highs.back())])] <= x) highs.pop_back();
        lows.push_back(right);
        highs.push_back(right);
        const auto at = [&](const std::deque<int>& q) { return v[static_cast<std::size_t>(index[static_cast<std::size_t>(q.front())])]; };
        while (at(highs) - at(lows) > limit) {
            ++left;
            if (lows.front() < left) lows.pop_front();
            if (highs.front() < left) highs.pop_front();
        }
        if (right - left + 1 > bestLength) {
            bestLength = right - left + 1;
            best.found = true;
            best.first = index[static_cast<std::size_t>(left)];
            best.last = index[static_cast<std::size_t>(right)];
        }
    }
    if (best.found) {
        std::vector<double> inside;
        for (int k = best.first; k <= best.last; ++k) {
            if (static_cast<std::size_t>(k) >= counted.size() || counted[static_cast<std::size_t>(k)]) inside.push_back(v[static_cast<std::size_t>(k)]);
        }
        best.summary = Summarize(inside);
    }
    return best;
}

}  // namespace quorvel
