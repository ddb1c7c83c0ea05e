#include "ReportSignature.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "OnsetPicker.h"
#include "OnsetTuning.h"

namespace quorvel {

using onset::Ms;

namespace {

// Bands this far below the loudest are left out of a comparison; the rest
// may differ by this much (root mean square) between shots of one gun.
constexpr double kBandRangeDb = 15;
constexpr double kBandToleranceDb = 6;

float At(std::span<const float> x, std::int64_t i)
{
    return i >= 0 && i < static_cast<std::int64_t>(x.size()) ? x[static_cast<std::size_t>(i)] : 0.0F;
}

// Where x crosses `level` between i-1 and i.
double Crossing(std::span<const float> x, std::int64_t i, double level, double sign)
{
    const double a = sign * At(x, i - 1), b = sign * At(x, i);
    return b != a ? static_cast<double>(i - 1) + std::clamp((level - a) / (b - a), 0.0, 1.0) : static_cast<double>(i);
}

double PulseMs(std::span<const float> x, std::int64_t o, int rate, double& peak)
{
    // The first lobe's width at half its peak: steep on both sides, so it
    // does not hang on where a ringing tail happens to touch zero.
    std::int64_t kp = o;
    for (std::int64_t i = o; i <= o + Ms(0.5, rate); ++i) {
        if (std::abs(At(x, i)) > std::abs(At(x, kp))) kp = i;
    }
    const double sign = At(x, kp) < 0 ? -1 : 1;
    peak = std::abs(At(x, kp));
    std::int64_t rise = kp;
    while (rise > o - 2 && sign * At(x, rise - 1) >= peak / 2) --rise;
    std::int64_t fall = kp;
    while (fall < kp + Ms(3, rate) && sign * At(x, fall) >= peak / 2) ++fall;
    return Crossing(x, fall, peak / 2, sign) - Crossing(x, rise, peak / 2, sign);
}

double LengthMs(std::span<const float> x, std::int64_t o, int rate)
{
    const std::int64_t block = Ms(0.25, rate);
    double loudest = 0;
    std::int64_t length = Ms(6, rate);
    for (std::int64_t b = o; b < o + Ms(8, rate); b += block) {
        const double e = MeanSquare(x, b, b + block);
        if (e > loudest) loudest = e;
        else if (e < loudest / 100) {
            length = b - o;
            break;
        }
    }
    return std::clamp(static_cast<double>(length) * 1000 / rate, 0.5, 6.0);
}

void Bands(std::span<const float> x, std::int64_t o, int rate, ReportSignature& s)
{
    // A window flat over the onset and the 3 ms after it, tapered over
    // 0.3 ms at each end, so that a sample's shift in the onset changes
    // nothing.
    const std::int64_t taper = Ms(0.3, rate);
    const std::int64_t begin = o - taper - Ms(0.1, rate);
    const std::int64_t n = Ms(3.1, rate) + 2 * taper;
    double mean = 0;
    int valid = 0;
    for (std::size_t b = 0; b < kSignatureBandsHz.size(); ++b) {
        s.bandsDb[b] = 0;
        if (kSignatureBandsHz[b] > 0.42 * rate) continue;
        // Goertzel over the window.
        const double w = 2 * std::cos(2 * std::numbers::pi * kSignatureBandsHz[b] / rate);
        double s1 = 0, s2 = 0;
        for (std::int64_t k = 0; k < n; ++k) {
            const std::int64_t edge = std::min(k, n - 1 - k);
            const double shape = edge >= taper ? 1 : 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(edge) / static_cast<double>(taper));
            const double s0 = shape * At(x, begin + k) + w * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
    const double power = s1 * s1 + s2 * s2 - w * s1 * s2;
        s.bandsDb[b] = 10 * std::log10(std::max(power, 1e-9));
        mean += s.bandsDb[b];
        ++valid;
    }
    if (valid == 0) return;
    mean /= valid;
    for (std::size_t b = 0; b < kSignatureBandsHz.size(); ++b) {
        if (kSignatureBandsHz[b] <= 0.42 * rate) s.bandsDb[b] -= mean;
    }
}

}  // namespace

ReportSignature SignatureAt(std::span<const float> x, double onset, int rate)
{
    ReportSignature s;
    if (rate <= 0 || !std::isfinite(onset)) return s;
    const auto o = static_cast<std::int64_t>(std::floor(onset));
    s.rate = rate;
    s.pulseMs = PulseMs(x, o, rate, s.peak) * 1000 / rate;
    s.lengthMs = LengthMs(x, o, rate);
    Bands(x, o, rate, s);
    return s;
}

double Mismatch(const ReportSignature& a, const ReportSignature& b)
{
    if (a.Empty() || b.Empty()) return 0;
    // Only the bands where either report is strong: the others are mostly
    // background and rounding, and differ from shot to shot.
    const double reach = 0.42 * std::min(a.rate, b.rate);
    double loudest = -1e9;
    for (std::size_t k = 0; k < kSignatureBandsHz.size(); ++k) {
        if (kSignatureBandsHz[k] <= reach) loudest = std::max({loudest, a.bandsDb[k], b.bandsDb[k]});
    }
    auto used = [&](std::size_t k) {
        return kSignatureBandsHz[k] <= reach && std::max(a.bandsDb[k], b.bandsDb[k]) >= loudest - kBandRangeDb;
    };
    double meanA = 0, meanB = 0;
    int n = 0;
    for (std::size_t k = 0; k < kSignatureBandsHz.size(); ++k) {
        if (!used(k)) continue;
        meanA += a.bandsDb[k];
        meanB += b.bandsDb[k];
        ++n;
    }
    double squares = 0;
    for (std::size_t k = 0; k < kSignatureBandsHz.size() && n > 0; ++k) {
        if (!used(k)) continue;
        const double d = (a.bandsDb[k] - meanA / n) - (b.bandsDb[k] - meanB / n);
        squares += d * d;
    }
    const double bands = n > 1 ? std::sqrt(squares / n) / kBandToleranceDb : 0;
    // A quarter of the pulse's width, and most of a sample, since its
    // half-peak points are read between samples.
    const double tolerance = 0.25 * std::min(a.pulseMs, b.pulseMs) + 700.0 / std::min(a.rate, b.rate);
    const double pulse = std::abs(a.pulseMs - b.pulseMs) / tolerance;
    return std::max(bands, pulse);
}

double LoudestOnset(std::span<const float> x, std::int64_t from, std::int64_t to, int rate)
{
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, static_cast<std::int64_t>(x.size()));
    float loudest = 0;
    for (std::int64_t i = from; i < to; ++i) loudest = std::max(loudest, std::abs(x[static_cast<std::size_t>(i)]));
    std::int64_t half = from;
    while (half < to && std::abs(x[static_cast<std::size_t>(half)]) < loudest / 2) ++half;
    const std::int64_t begin = std::max<std::int64_t>(0, half - Ms(2, rate));
    const std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(x.size()), half + Ms(0.25, rate) + 1);
    if (end <= begin) return static_cast<double>(half);
    return static_cast<double>(begin) + AicOnset(x.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

ReportSignature LearnReport(std::span<const std::uint8_t> samples, int rate, std::int64_t muzzleOnset)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    if (rate <= 0 || muzzleOnset < 0 || muzzleOnset >= n) return {};
    const std::int64_t begin = std::max<std::int64_t>(0, muzzleOnset - Ms(4, rate));
    const std::int64_t end = std::min(n, muzzleOnset + Ms(12, rate));
    std::vector<float> x(static_cast<std::size_t>(end - begin));
    for (std::int64_t i = begin; i < end; ++i) x[static_cast<std::size_t>(i - begin)] = Centred(samples[static_cast<std::size_t>(i)]);
    const std::int64_t at = muzzleOnset - begin;
    const double onset = LoudestOnset(x, at - Ms(1, rate), at + Ms(2, rate), rate);
    const ReportSignature s = SignatureAt(x, onset, rate);
    return s.peak >= 2 ? s : ReportSignature{};
}

std::string ReportSignature::ToText() const
{
    std::string text;
    char number[32];
    auto add = [&](const char* key, double v) {
        std::snprintf(number, sizeof number, "%.17g", v);
        text += key;
        text += number;
    };
    add("rate=", rate);
    add(" pulse=", pulseMs);
    add(" length=", lengthMs);
    add(" peak=", peak);
    for (std::size_t k = 0; k < bandsDb.size(); ++k) add(k == 0 ? " bands=" : ",", bandsDb[k]);
    return text;
}

std::optional<ReportSignature> ReportSignature::FromText(std::string_view text)
{
    ReportSignature s;
    double values[4 + kSignatureBandsHz.size()];
    const char* keys[] = {"rate=", " pulse=", " length=", " peak=", " bands="};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t k = 0; k < std::size(values); ++k) {
        const std::string_view key = k < 5 ? keys[k] : ",";
        if (static_cast<std::size_t>(end - p) < key.size() || std::string_view(p, key.size()) != key) return std::nullopt;
        p += key.size();
        const auto [next, error] = std::from_chars(p, end, values[k]);
        if (error != std::errc() || !std::isfinite(values[k])) return std::nullopt;
        p = next;
    }
    if (p != end || values[0] < 1 || values[0] > 1e6 || values[0] != std::floor(values[0])) return std::nullopt;
    s.rate = static_cast<int>(values[0]);
    s.pulseMs = values[1];
    s.lengthMs = values[2];
    s.peak = values[3];
    std::copy(values + 4, values + std::size(values), s.bandsDb.begin());
    return s;
}

}  // namespace quorvel
