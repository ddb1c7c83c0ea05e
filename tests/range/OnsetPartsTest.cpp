// The onset method's parts on sounds made by hand: where the AIC split and
// the rise fit put an onset, what counts as the same report, what the echo
// map takes for an echo.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "EchoMap.h"
#include "ImpactSignature.h"
#include "OnsetPicker.h"
#include "OnsetTuning.h"
#include "RangeRig.h"
#include "SoundCard.h"
#include "Sounds.h"
#include "Whitener.h"

using namespace range_test;

namespace {

// Background noise, then from `onset` (fractional) a sound of `peak` whose
// envelope rises over `riseSamples` (0: at once) and rings at a fifth of
// the rate; 8-bit rounding as the card gives it.
std::vector<float> Sound(std::size_t n, double onset, double peak, double riseSamples, double noise, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> white(0, noise);
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) - onset;
        double v = white(rng);
        if (t >= 0) {
            const double envelope = riseSamples > 0 ? std::min(1.0, t / riseSamples) : 1.0;
            v += peak * envelope * std::cos(2 * std::numbers::pi * t / 5) * std::exp(-t / 200);
        }
        x[i] = static_cast<float>(std::round(v));
    }
    return x;
}

// A report's jump at `onset` (fractional), decaying, as the card's
// anti-alias filter delivers it (its ringing before the jump included),
// after `wiggle` (a sound half a millisecond earlier, of that share of the
// jump), on `swell` (a slow rise to that share of the jump, from a quarter
// millisecond before it), after `lull` (a slow swing of that share, over
// the 0.4 ms up to just before it) and in noise; 8-bit rounding.
std::vector<float> Jump(double onset, double height, double wiggle, double swell, double lull, double noise, std::uint32_t seed)
{
    const AntiAlias filter(4);
    auto pressure = [&](std::int64_t fine) {
        const double t = static_cast<double>(fine) / 4 - onset;
        const double w = t + 48, l = t + 42;
        return (t >= 0 ? height * std::exp(-t / 30) : 0.0) + (w >= 0 && w < 8 ? wiggle * height * std::sin(w * 0.8) : 0.0) +
               swell * height * std::clamp((t + 24) / 48, 0.0, 1.0) +
               (l >= 0 && l < 40 ? lull * height * std::sin(std::numbers::pi * l / 40) : 0.0);
    };
    std::mt19937 rng(seed);
    std::normal_distribution<double> white(0, noise);
    std::vector<float> x(320);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(std::round(filter.At(pressure, static_cast<std::int64_t>(4 * i)) + white(rng)));
    return x;
}

// Noise through a resonance at `hz` (a report's colour, when its ringing is
// what it holds most), or with `hz` 0 a tone at `tone`; `level` rms.
std::vector<float> Coloured(std::size_t n, double hz, double tone, double level, std::uint32_t seed)
{
    constexpr double rate = 48000;
    std::mt19937 rng(seed);
    std::normal_distribution<double> white(0, 1);
    const double r = 0.97, c = 2 * r * std::cos(2 * std::numbers::pi * hz / rate);
    std::vector<double> y(n);
    double y1 = 0, y2 = 0, power = 0;
    for (std::size_t i = 0; i < n; ++i) {
        y[i] = hz > 0 ? white(rng) + c * y1 - r * r * y2 : std::sin(2 * std::numbers::pi * tone * static_cast<double>(i) / rate);
        y2 = y1;
        y1 = y[i];
        power += y[i] * y[i];
    }
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>(level * y[i] / std::sqrt(power / static_cast<double>(n)));
    return x;
}

}  // namespace

// Fitted to a report, the flattening leaves its tail dull (another stretch
// of the same colour) and anything of another pitch loud; a report too
// short or silent to fit leaves the plain differences. The running sum over the ring gives what flattening
// the stretch itself gives, for any stretch, across the ring's wrap and
// after a fit again further on, and so does flattening a look in place.
TEST(Whitener, FlattensTheReportsColourAndNothingElse)
{
    const std::vector<float> report = Coloured(240, 6000, 0, 40, 1);
    struct Row {
        const char* name;
        std::vector<float> fit;
        std::vector<float> sound;
        double least, most;  // flattened mean square over the differences'
    } rows[] = {
        {"the report's tail", report, Coloured(2048, 6000, 0, 20, 2), 0, 0.2},
        {"a plate ringing lower", report, Coloured(2048, 0, 2000, 20, 3), 1, 1e9},
        {"a plate ringing higher", report, Coloured(2048, 0, 15000, 20, 4), 1, 1e9},
        {"fitted to a few samples", std::vector<float>(report.begin(), report.begin() + 20), Coloured(2048, 6000, 0, 20, 2), 1, 1},
        {"fitted to silence", std::vector<float>(240, 0.0F), Coloured(2048, 0, 6000, 20, 3), 1, 1},
    };
    constexpr std::size_t ringSize = 4096;
    constexpr std::int64_t start = 3000;  // the ring wraps 1096 samples in
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> ring(ringSize, 128);
        std::vector<float> heard(row.sound.size());
        double own = 0;
        for (std::size_t i = 0; i < row.sound.size(); ++i) {
            heard[i] = std::round(row.sound[i]);
            ring[static_cast<std::size_t>(start + static_cast<std::int64_t>(i)) & (ringSize - 1)] = static_cast<std::uint8_t>(128 + heard[i]);
            const double d = heard[i] - (i > 0 ? heard[i - 1] : 0.0F);
            own += d * d;
        }
        const auto end = start + static_cast<std::int64_t>(heard.size());
        Whitener white(ringSize);
        white.Fit(row.fit, start);
        const double ratio = white.MeanSquare(ring, start, end) / (own / static_cast<double>(heard.size()));
        EXPECT_GE(ratio, row.least * 0.999);
        EXPECT_LE(ratio, row.most * 1.001);
        // Fitted again later on, as at every muzzle: the sum starts afresh.
        white.Fit(row.fit, start + 1000);
        const std::span<const double> a = white.Coefficients();
        std::vector<double> flattened(heard.size());
        for (std::size_t i = a.size(); i < heard.size(); ++i) {
            for (std::size_t k = 0; k < a.size(); ++k) flattened[i] += a[k] * Centred(static_cast<std::uint8_t>(128 + heard[i - k]));
        }
        for (const auto& [from, to] : {std::pair<int, int>{1000, 2048}, {1090, 1110}, {1500, 1501}, {1000, 1001}}) {
            double direct = 0;
            for (int i = from; i < to; ++i) direct += flattened[static_cast<std::size_t>(i)] * flattened[static_cast<std::size_t>(i)];
            EXPECT_NEAR(white.MeanSquare(ring, start + from, start + to), direct / (to - from), 1e-6 * (direct + 1)) << from << " to " << to;
        }
        // A look flattened in place, its lead-in dropped, holds the same.
        std::vector<float> look;
        for (std::size_t i = 1000 - Whitener::kOrder; i < 1100; ++i) look.push_back(Centred(static_cast<std::uint8_t>(128 + heard[i])));
        const std::span<const float> out = white.Flatten(look);
        ASSERT_EQ(out.size(), 100U);
        for (std::size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], flattened[1000 + i], 1e-3 * (std::abs(flattened[1000 + i]) + 1)) << i;
        EXPECT_TRUE(white.Flatten(std::span<float>(look.data(), Whitener::kOrder)).empty());
    }
}

// A report rises at once: the middle of its jump is where it arrived,
// to a fraction of a sample, although the converter rings before it, and
// although a slow swell (a room's rumble) carries it, or a small slow
// swing of another sound dies away just before it. A sound that swells from
// its own start (a slow first swing half the largest or more), or a jump
// that is no jump out of quiet, is left to the rise fit.
TEST(OnsetPicker, TimesAJumpAtItsMiddle)
{
    struct Row {
        const char* name;
        double height, wiggle, swell, lull, noise;
        bool jump;
        double toleranceSamples;
    };
    const Row rows[] = {
        {"report in quiet", 60, 0, 0, 0, 0.3, true, 0.15},
        {"report in noise", 60, 0, 0, 0, 3, true, 0.5},
        {"report on a swell a quarter its height", 60, 0, 0.25, 0, 0.3, true, 0.3},
        // Left to the rise fit: a noise peak could pass for half its height.
        {"report barely above the noise", 12, 0, 0, 0, 2, false, 0},
        {"jump half a millisecond after a sound half its height", 60, 0.5, 0, 0, 0.3, true, 0.3},
        {"jump right after a sound as high as itself", 60, 1, 0, 0, 0.3, false, 0},
        // At the jump the swell is a third of the largest swing: it rides on it.
        {"jump on a swell as high as itself", 60, 0, 1, 0, 0.3, true, 0.3},
        // A plate struck as another sound's slow swing dies away.
        {"jump right after a slow swing 0.4 of its height", 60, 0, 0, 0.4, 0.3, true, 0.3},
        {"jump right after a slow swing 0.7 of its height", 60, 0, 0, 0.7, 0.3, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (std::uint32_t seed = 1; seed <= 5; ++seed) {
            const double onset = 200 + 0.19 * seed;
            const std::vector<float> x = Jump(onset, row.height, row.wiggle, row.swell, row.lull, row.noise, seed);
            // A split a little late, as noise leaves it.
            const std::optional<double> at = ShockOnset(x, onset + 10, 96000);
            ASSERT_EQ(at.has_value(), row.jump) << "seed " << seed;
            if (row.jump) {
                EXPECT_NEAR(*at, onset, row.toleranceSamples) << "seed " << seed;
            }
        }
    }
    EXPECT_EQ(ShockOnset(Sound(320, 200, 60, 40, 1, 1), 205, 96000), std::nullopt) << "a swell";
    // A trap's thud as a 22 kHz card heard it (onset at 30.1): its first
    // swing, slow, is the thud's own start, not a swell a later jump rides on.
    const std::vector<float> thud = {1,  1,  0,  0,  0,  1,  1,  0,  0,  1,  1,  1,   1,   0,   1,   1,   0,  1,  2,  0,
                                     0,  2,  1,  1,  1,  1,  -1, 0,  0,  0,  1,  -1,  -1,  -3,  -4,  -6,  2,  10, 3,  0,
                                     0,  -1, -6, -1, 11, 11, 5,  -6, 2,  8,  8,  11,  -2,  -12, -13, -13, -8, -1, 1,  -1};
    for (double split = 29; split <= 36; ++split) EXPECT_EQ(ShockOnset(thud, split, 22050), std::nullopt) << "a thud split at " << split;
    EXPECT_EQ(ShockOnset(std::vector<float>(40, 0.0F), 20, 96000), std::nullopt) << "too short to judge";
}

// What a flight time needs: the interval between two onsets. A report (a
// crack) and an impact (a crack, or a swell drawn back along its rise) are
// timed alike, whatever the noise under them and where they fall between
// samples.
TEST(OnsetPicker, TimesTwoSoundsAlike)
{
    struct Row {
        const char* name;
        double peak, rise, noise, toleranceSamples;
    };
    const Row rows[] = {
        {"crack in silence", 60, 0, 0.3, 1.0},
        {"crack in noise", 60, 0, 3, 1.5},
        {"faint crack", 15, 0, 3, 2.5},
        {"swell over 40 samples", 60, 40, 1, 10},
        {"swell in noise", 60, 40, 4, 14},
    };
    auto onsetOf = [](const std::vector<float>& x) { return RiseOnset(x, AicOnset(x), 96000); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (std::uint32_t seed = 1; seed <= 5; ++seed) {
            const double reportAt = 200 + 0.17 * seed, impactAt = 200 + 0.29 * seed;
            const double report = onsetOf(Sound(320, reportAt, 70, 0, 0.5, seed + 50));
            const double impact = onsetOf(Sound(320, impactAt, row.peak, row.rise, row.noise, seed));
            EXPECT_NEAR(impact - report, impactAt - reportAt, row.toleranceSamples) << "seed " << seed;
        }
    }
    EXPECT_EQ(AicOnset(std::vector<float>(5, 1.0F)), 2.5);
}

// A pellet trap's thud swells out of the background as band-limited noise:
// its foot is found where its variance starts to grow, close enough for a
// quarter-percent flight time, where the envelope's line lands a third of
// the rise late; a sound loud at once, at its start. A thud too faint to
// show its foot is left alone.
TEST(OnsetPicker, FindsASwellsFoot)
{
    struct Row {
        const char* name;
        double riseMs, peak, noise;
        bool swell;
        double toleranceSamples;
    };
    const Row rows[] = {
        {"thud over 0.6 ms in quiet", 0.6, 60, 0.7, true, 4},
        {"thud over 1 ms in noise", 1.0, 60, 2, true, 12},
        {"thud 12 dB above the noise", 0.6, 12, 3, false, 0},
        {"ring loud at once", 0, 60, 0.7, true, 2.5},
    };
    const int rate = 48000;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        double late = 0;
        for (std::uint32_t seed = 1; seed <= 6; ++seed) {
            std::mt19937 rng(seed);
            const double onset = 240 + 0.3 * seed;
            std::vector<float> x;
            if (row.riseMs > 0) {
                const Wave thud = TrapImpact(row.peak, row.riseMs, rate, rng);
                std::normal_distribution<double> white(0, row.noise);
                x.resize(480);
                for (std::size_t i = 0; i < x.size(); ++i) {
                    const double t = static_cast<double>(i) - onset;
                    const auto k = static_cast<std::size_t>(std::max(0.0, std::floor(t)));
                    x[i] = static_cast<float>(std::round(white(rng) + (t >= 0 && k < thud.samples.size() ? thud.samples[k] : 0.0)));
                }
            } else {
                x = Sound(480, onset, row.peak, 0, row.noise, seed);
            }
            // The split lands part way up the rise.
            const double coarse = onset + row.riseMs * rate / 1000 / 3;
            const std::optional<double> foot = SwellOnset(x, coarse, rate);
            ASSERT_EQ(foot.has_value(), row.swell) << "seed " << seed;
            if (!row.swell) continue;
            EXPECT_NEAR(*foot, onset, row.toleranceSamples) << "seed " << seed;
            late = std::max(late, std::abs(*foot - onset));
        }
        if (row.swell) std::printf("  %s: the worst foot %.1f samples from the truth\n", row.name, late);
    }
}

// The same gun within a dB of level is the same report; a gun whose pulse
// is half as long again, or a third shorter, is another.
TEST(ReportSignature, TellsTheShootersGunFromAnother)
{
    const int rate = 48000;
    auto signature = [&](double pulseMs, double level, std::uint32_t gunSeed) {
        const Wave report = Report(MakeGun(pulseMs, gunSeed), level, rate * 4);
        std::vector<float> x(report.samples.size() / 4);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = 60 * report.samples[i * 4];
        return SignatureAt(x, static_cast<double>(report.onset) / 4, rate);
    };
    // The detector's limit lies between: three times the own reports'
    // typical stray, at least 0.3.
    const ReportSignature ours = signature(0.3, 1, 7);
    EXPECT_LT(Mismatch(ours, signature(0.3, 0.89, 7)), 0.15);
    EXPECT_LT(Mismatch(ours, signature(0.3, 1.12, 7)), 0.15);
    EXPECT_GT(Mismatch(ours, signature(0.45, 1, 8)), 0.5);
    EXPECT_GT(Mismatch(ours, signature(0.2, 1, 9)), 0.5);
    EXPECT_EQ(Mismatch(ours, ReportSignature{}), 0) << "nothing learnt: no judgement";
}

// An echo repeats what earlier shots heard at that delay; an impact there
// is louder or another sound; beyond what was heard there is no judgement.
TEST(EchoMap, KnowsTheRoomsEchoesFromEarlierShots)
{
    const std::vector<float> echo = Sound(120, 10, 20, 0, 0.5, 3);
    EchoMap map(400);
    for (int shot = 0; shot < 3; ++shot) {
        const std::vector<float> heard = Sound(120, 10, 20, 0, 0.5, 10 + static_cast<std::uint32_t>(shot));
        for (std::size_t k = 0; k < 300; ++k) map.Add(k, k >= 100 && k < 220 ? heard[k - 100] : 0.0F);
    }
    std::vector<float> louder = echo;
    for (float& v : louder) v *= 4;
    std::vector<float> other = Sound(120, 10, 20, 0, 0.5, 3);
    for (std::size_t i = 0; i < other.size(); ++i) other[i] = 20 * std::sin(static_cast<float>(i) * 0.9F) * (i > 10);
    EXPECT_EQ(map.Repeats(echo, 100, 2), true);
    EXPECT_EQ(map.Repeats(louder, 100, 2), false);
    EXPECT_EQ(map.Repeats(other, 100, 2), false);
    EXPECT_EQ(map.Repeats(echo, 250, 2), std::nullopt) << "no shot was heard past 300";
    map.Clear();
    EXPECT_EQ(map.Repeats(echo, 100, 2), std::nullopt);
}

// A plate rings in its own modes every shot, wherever the pellet lands:
// learnt from two impacts, a third is found where it starts, to a fraction
// of a sample, even below the noise; as well when it is loud, and more
// surely. Another plate, or a trap's thud (noise, never the same twice), is
// not taken for it.
TEST(ImpactSignature, FindsThePlatesRingAndNothingElse)
{
    constexpr int rate = 48000;
    std::mt19937 rng(5);
    const Plate plate = MakePlate(7);
    // `wave` from its onset on, placed at `at` (between samples) in a band
    // of noise and scaled to `rms` over its first 20 ms.
    auto heard = [&](const Wave& wave, double at, double rms, double noise) {
        std::normal_distribution<double> white(0, noise);
        const auto onset = static_cast<std::size_t>(wave.onset);
        auto value = [&](double t) {
            const auto k = static_cast<std::size_t>(std::floor(t));
            const double f = t - std::floor(t);
            return t < 0 || onset + k + 1 >= wave.samples.size() ? 0.0 : (1 - f) * wave.samples[onset + k] + f * wave.samples[onset + k + 1];
        };
        double e = 0;
        for (int k = 0; k < 960; ++k) e += value(k) * value(k);
        const double g = rms / std::sqrt(e / 960);
        std::vector<float> x(2000);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(std::round(white(rng) + g * value(static_cast<double>(i) - at)));
        return x;
    };
    ImpactSignature signature(rate);
    // Learnt well off the sample, so that a wrong alignment shows.
    for (int shot = 0; shot < 2; ++shot) signature.Learn(heard(PlateImpact(plate, 1, rate, rng), 0.8, 20, 0.5), 0.8, 0.05);
    ASSERT_EQ(signature.Heard(), 2);
    struct Row {
        const char* name;
        Wave wave;
        double rms, noise;
        bool found;
        double within;  // samples
    } rows[] = {
        {"the plate, below the noise", PlateImpact(plate, 1, rate, rng), 8, 12, true, 1},
        {"the plate, loud", PlateImpact(plate, 1, rate, rng), 40, 1, true, 0.25},
        {"another plate", PlateImpact(MakePlate(8), 1, rate, rng), 20, 1, false, 0},
        {"a trap's thud", TrapImpact(1, 0.5, rate, rng), 20, 1, false, 0},
    };
    double loudSigma = 0, faintSigma = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto m = signature.Find(heard(row.wave, 611.4, row.rms, row.noise));
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(m->likeness >= onset::kMatchLikeness, row.found) << m->likeness;
        if (!row.found) continue;
        EXPECT_NEAR(m->onset, 611.4, row.within);
        (row.rms > 20 ? loudSigma : faintSigma) = m->sigma;
        EXPECT_LT(m->sigma, 1.0);
    }
    EXPECT_LT(loudSigma, faintSigma) << "a clearer match is surer";
    EXPECT_FALSE(ImpactSignature(rate).Find(std::vector<float>(2000, 1.0F)).has_value()) << "nothing learnt";
}

// A calibration that learnt another gun's report (someone fired during it):
// the shooter's own reports take its place within a few shots.
TEST(OnsetDetector, LearnsTheShootersReportWhenTheCalibrationHeardAnother)
{
    const Scene scene = Field(48000, 41);
    const Session session = MakeSession(scene, 10);
    OnsetSetup setup = SetupAfter(scene, session.calibration);
    Scene other = scene;
    other.reportMs = 0.5;
    other.gunSeed += 99;
    const Session neighbour = MakeSession(other, 1);
    setup.report = LearnReport(neighbour.calibration.samples, scene.rate, static_cast<std::int64_t>(neighbour.calibration.shots[0].muzzle));
    ASSERT_GT(Mismatch(setup.report, SetupAfter(scene, session.calibration).report), 1);
    Session plain = session;
    plain.calibration.samples.assign(100, 128);
    const std::vector<double> errors = ErrorsUs(session.string, Measure(setup, plain));
    int measured = 0;
    for (std::size_t k = 3; k < errors.size(); ++k) measured += std::abs(errors[k]) < 100;
    EXPECT_GE(measured, 6) << ::testing::PrintToString(errors);
}
