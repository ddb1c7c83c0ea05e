#include "StringStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <vector>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include "ShotString.h"

namespace quorvel {

namespace {

std::string Fixed(double v, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string PText(double p) { return p < 0.001 ? "p < 0.001" : "p = " + Fixed(p, p < 0.01 ? 3 : 2); }

std::string Shots(const Summary& a, const Summary& b)
{
    if (a.count == b.count) return std::to_string(a.count) + " shots each";
    return std::to_string(a.count) + " and " + std::to_string(b.count) + " shots";
}

std::string Likelihood(double p) { return p < 0.01 ? "very likely" : "likely"; }

}  // namespace

Summary Summarize(std::span<const double> v)
{
    Summary s;
    s.count = static_cast<int>(v.size());
    if (v.empty()) return s;
    const auto [low, high] = std::minmax_element(v.begin(), v.end());
    s.min = *low;
    s.max = *high;
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / static_cast<double>(v.size());
    s.sd = v.size() > 1 ? SampleStdDev(v.data(), static_cast<int>(v.size()) - 1) : 0;
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

Verdict CompareSds(const Summary& a, const Summary& b, const std::string& nameB)
{
    Verdict v;
    if (a.count < 2 || b.count < 2 || a.sd <= 0 || b.sd <= 0) {
        v.words = "too few shots (or no spread) to compare the SDs";
        return v;
    }
    const boost::math::fisher_f f(a.count - 1, b.count - 1);
    const double ratio = a.sd * a.sd / (b.sd * b.sd);
    const double cdf = boost::math::cdf(f, ratio);
    v.p = std::min(1.0, 2 * std::min(cdf, 1 - cdf));
    v.decided = v.p < 0.05;
    v.words = v.decided ? std::string(a.sd < b.sd ? "lower" : "higher") + " SD than " + nameB + ": " + Likelihood(v.p) +
                              ", " + PText(v.p)
                        : Shots(a, b) + " cannot tell these SDs apart (" + PText(v.p) + ")";
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
                              Fixed(std::fabs(a.mean - b.mean), 1) + " " + unit + ": " + Likelihood(v.p) + ", " + PText(v.p)
                        : Shots(a, b) + " cannot tell these averages apart (" + PText(v.p) + ")";
    return v;
}

Plateau LongestPlateau(std::span<const double> v, std::span<const bool> counted, double limit)
{
    // A window over the counted shots, widened on the right and narrowed on
    // the left as soon as its spread exceeds the limit; the extremes come
    // from two monotonic queues, so each shot is looked at a few times.
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
