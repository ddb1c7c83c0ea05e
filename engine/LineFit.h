// A straight line fitted to samples by least squares from running sums, so
// that one sample more costs one Add: the level and slope a slow wander of
// the background (a rumble, a swell) draws, and the spread about it.
#pragma once

#include <algorithm>

namespace quorvel {

struct LineFit {
    double s0 = 0, s1 = 0, s2 = 0, sx = 0, sxi = 0, sxx = 0;

    // The sample v at position u (counted from any fixed origin).
    void Add(double u, double v) { s0 += 1, s1 += u, s2 += u * u, sx += v, sxi += v * u, sxx += v * v; }
    double Slope() const
    {
        const double det = s0 * s2 - s1 * s1;
        return det > 0 ? (s0 * sxi - s1 * sx) / det : 0.0;
    }
    // The line's value at u = 0.
    double Level() const { return (sx - Slope() * s1) / s0; }
    double Mean() const { return sx / s0; }
    // Mean square about the line, and about the mean.
    double Residual() const { return std::max((sxx - Level() * sx - Slope() * sxi) / s0, 0.0); }
    double Spread() const { return std::max(sxx / s0 - Mean() * Mean(), 0.0); }
};

}  // namespace quorvel
