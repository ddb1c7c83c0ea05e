#include "LevelSuggestion.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "CaptureRing.h"

namespace quorvel {

namespace {

int Loudness(std::uint8_t s) { return s > kSilence ? s - kSilence : kSilence - s; }

int PeakOf(std::span<const std::uint8_t> samples, std::int64_t begin, std::int64_t end)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    int peak = 0;
    for (std::int64_t i = std::max<std::int64_t>(begin, 0); i < std::min(end, n); ++i) {
        peak = std::max(peak, Loudness(samples[static_cast<std::size_t>(i)]));
    }
    return peak;
}

std::int64_t FirstLouder(std::span<const std::uint8_t> samples, std::int64_t begin, std::int64_t end, int volume)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    for (std::int64_t i = std::max<std::int64_t>(begin, 0); i < std::min(end, n); ++i) {
        if (Loudness(samples[static_cast<std::size_t>(i)]) > volume) return i;
    }
    return -1;
}

// The level a sound has to pass to stand out: twice the typical peak of a
// millisecond of this recording (most of any recording is background).
int SoundThreshold(std::span<const std::uint8_t> samples, std::int64_t chunk)
{
    std::vector<int> peaks;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(samples.size()); i += chunk) {
        peaks.push_back(PeakOf(samples, i, i + chunk));
    }
    std::nth_element(peaks.begin(), peaks.begin() + static_cast<std::ptrdiff_t>(peaks.size() / 2), peaks.end());
    return 2 * peaks[peaks.size() / 2] + 3;
}

// Where a sound's first half-strength sample lies, from `begin`.
std::int64_t HalfStrength(std::span<const std::uint8_t> samples, std::int64_t begin, std::int64_t end, int peak)
{
    const std::int64_t at = FirstLouder(samples, begin, end, peak / 2 - 1);
    return at < 0 ? begin : at;
}

// How long the report lasts: until its quarter-millisecond peaks fall 20 dB
// below its first peak (at least half a millisecond, at most five).
std::int64_t ReportLength(std::span<const std::uint8_t> samples, std::int64_t report, int peak, int sampleRate)
{
    const std::int64_t quarter = std::max<std::int64_t>(2, sampleRate / 4000);
    const std::int64_t shortest = std::max<std::int64_t>(8, sampleRate / 2000);
    const std::int64_t longest = std::max<std::int64_t>(shortest, sampleRate / 200);
    std::int64_t length = shortest;
    while (length < longest && PeakOf(samples, report + length, report + length + quarter) * 10 >= peak) length += quarter;
    return std::min(length, longest);
}

// How closely the sound from `at` repeats the whole report (1 = the same
// sound): an echo is the report again, delayed and weaker; an impact of a
// similar pitch is not, once the report's whole length is compared.
double LikeTheReport(std::span<const std::uint8_t> samples, std::int64_t report, std::int64_t at, std::int64_t length)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    double best = 0;
    for (std::int64_t shift = -2; shift <= 2; ++shift) {
        double xy = 0, xx = 0, yy = 0;
        for (std::int64_t k = 0; k < length; ++k) {
            const std::int64_t i = report + k;
            const std::int64_t j = at + shift + k;
            if (i < 0 || j < 0 || i >= n || j >= n) continue;
            const double x = samples[static_cast<std::size_t>(i)] - double{kSilence};
            const double y = samples[static_cast<std::size_t>(j)] - double{kSilence};
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        if (xx > 0 && yy > 0) best = std::max(best, xy / std::sqrt(xx * yy));
    }
    return best;
}

// How much of a sound's energy over the report's length lies in the second
// half: the report's own decay, which an echo shares and a ringing plate
// does not.
double LateShare(std::span<const std::uint8_t> samples, std::int64_t at, std::int64_t length)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    double early = 0, late = 0;
    for (std::int64_t k = 0; k < length; ++k) {
        const std::int64_t i = at + k;
        if (i < 0 || i >= n) continue;
        const double x = samples[static_cast<std::size_t>(i)] - double{kSilence};
        (k < length / 2 ? early : late) += x * x;
    }
    return early + late > 0 ? late / (early + late) : 0;
}

// An echo is the whole report again, later and weaker: the same waveform
// and the same decay over the report's length.
bool IsEcho(std::span<const std::uint8_t> samples, std::int64_t report, std::int64_t at, std::int64_t length)
{
    return LikeTheReport(samples, report, at, length) >= 0.7 &&
           LateShare(samples, at, length) <= 2 * LateShare(samples, report, length) + 0.1;
}

// Background varies from shot to shot and from minute to minute: the
// suggestion keeps this much above the loudest seen.
int Margin(int level) { return std::max(6, level / 2); }

// The report: the first sound within an impact window before the first
// strong sound (the first report, or an impact louder than it) that reaches
// a sixth of the loudest; a cocking click or a breath before it is
// background. Its onset is where it first stands out of the background in
// the millisecond before; -1 when there is none.
std::int64_t ReportOnset(std::span<const std::uint8_t> samples, const TriggerWindow& window, std::int64_t ms)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    const auto loudest = std::max_element(samples.begin(), samples.end(), [](std::uint8_t a, std::uint8_t b) {
        return Loudness(a) < Loudness(b);
    });
    const int threshold = SoundThreshold(samples, ms);
    const std::int64_t strong = FirstLouder(samples, 0, n, Loudness(*loudest) / 2 - 1);
    const std::int64_t report =
        FirstLouder(samples, strong - window.end - 2 * ms, strong + 1, std::max(threshold, Loudness(*loudest) / 6));
    return report < 0 ? -1 : FirstLouder(samples, report - ms, report + 1, threshold);
}

// The background is every other sound except what the hold-off and the
// impact window cover. Later shots of a string are no background: each
// sound at least half as loud as the report takes its window out too (no
// muzzle volume below the report could keep such a sound out anyway).
void MeasureBackground(std::span<const std::uint8_t> samples, std::int64_t first, std::int64_t covered, std::int64_t ms,
                       LevelAdvice& advice)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    if (first < 0) {
        advice.noisePeak = PeakOf(samples, 0, n);
        return;
    }
    advice.muzzlePeak = PeakOf(samples, first, first + 2 * ms);
    advice.noisePeak = PeakOf(samples, 0, first - ms);
    std::int64_t from = first + covered + 1;
    while (from < n) {
        const std::int64_t next = FirstLouder(samples, from, n, advice.muzzlePeak / 2);
        advice.noisePeak = std::max(advice.noisePeak, PeakOf(samples, from, next < 0 ? n : next - ms));
        from = next < 0 ? n : next + covered + 1;
    }
}

struct ImpactSearch {
    std::int64_t opens, closes, chunk, reportAt, reportLength;
};

// In the window, the loudest sound that rises well above the
// quarter-milliseconds before it and is not an echo of the report: where
// its quarter-millisecond begins, or -1.
std::int64_t LoudestRise(std::span<const std::uint8_t> samples, std::int64_t muzzle, const ImpactSearch& w, const LevelAdvice& advice)
{
    const std::int64_t grid = std::max(muzzle + 1, w.opens - 4 * w.chunk);
    std::vector<int> peaks;
    for (std::int64_t at = grid; at <= w.closes; at += w.chunk) peaks.push_back(PeakOf(samples, at, std::min(at + w.chunk, w.closes + 1)));
    std::int64_t impactChunk = -1;
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const std::int64_t start = grid + static_cast<std::int64_t>(k) * w.chunk;
        if (start + w.chunk <= w.opens) continue;
        int before = 0;
        for (std::size_t b = k >= 4 ? k - 4 : 0; b < k; ++b) before = std::max(before, peaks[b]);
        const bool rises = peaks[k] * 10 >= std::max(before, 1) * 18 && peaks[k] > advice.noisePeak + 2;
        if (!rises || (impactChunk >= 0 && peaks[k] <= peaks[static_cast<std::size_t>(impactChunk)])) continue;
        const std::int64_t onset = HalfStrength(samples, start, start + w.chunk, peaks[k]);
        if (peaks[k] >= advice.muzzlePeak || !IsEcho(samples, w.reportAt, onset, w.reportLength)) {
            impactChunk = static_cast<std::int64_t>(k);
        }
    }
    return impactChunk < 0 ? -1 : grid + impactChunk * w.chunk;
}

// The impact volume: a third of the way from what still sounds in the
// window before the impact (the report's ringing, its echoes, the
// background) to the impact's peak.
void SuggestImpact(std::span<const std::uint8_t> samples, int sampleRate, const TriggerWindow& window, std::int64_t muzzle,
                   LevelAdvice& advice)
{
    const auto n = static_cast<std::int64_t>(samples.size());
    const std::int64_t ms = std::max(1, sampleRate / 1000);
    ImpactSearch w;
    w.opens = muzzle + std::max(window.start, 0);
    w.closes = std::min(muzzle + static_cast<std::int64_t>(window.end), n - 1);
    if (w.opens > w.closes) {
        advice.problem = kProblemNoImpact;
        return;
    }
    w.chunk = std::max<std::int64_t>(4, sampleRate / 4000);
    w.reportAt = HalfStrength(samples, muzzle, muzzle + ms, advice.muzzlePeak);
    w.reportLength = ReportLength(samples, w.reportAt, advice.muzzlePeak, sampleRate);
    const std::int64_t found = LoudestRise(samples, muzzle, w, advice);
    if (found < 0) {
        advice.problem = kProblemNoImpact;
        return;
    }
    const std::int64_t rise = std::max(w.opens, found);
    const int ringing = PeakOf(samples, w.opens, rise);
    // Its peak stands above the background (LoudestRise asked that), so
    // only the report's ringing can drown it.
    advice.impactPeak = PeakOf(samples, found, std::min(found + ms, w.closes + 1));
    const int floor = std::max(ringing, advice.noisePeak);
    if (advice.impactPeak <= floor + 2) {
        advice.problem = kProblemRinging;
        return;
    }
    advice.impactVolume = floor + std::max(1, (advice.impactPeak - floor) / 3);
    advice.impactAt = FirstLouder(samples, w.opens, w.closes + 1, advice.impactVolume);
}

}  // namespace

LevelAdvice SuggestLevels(std::span<const std::uint8_t> samples, int sampleRate, const TriggerWindow& window)
{
    LevelAdvice advice;
    const auto n = static_cast<std::int64_t>(samples.size());
    if (n == 0 || sampleRate <= 0) {
        advice.problem = kProblemBackground;
        return advice;
    }
    const bool clips = std::any_of(samples.begin(), samples.end(), [](std::uint8_t s) { return s == 0 || s == 255; });
    const std::int64_t ms = std::max(1, sampleRate / 1000);
    const std::int64_t first = ReportOnset(samples, window, ms);
    MeasureBackground(samples, first, std::max<std::int64_t>(window.end, sampleRate * 9 / 10), ms, advice);
    advice.muzzleVolume = std::min(127, advice.noisePeak + Margin(advice.noisePeak));
    // A report that clips can still be timed (its rise is below full
    // scale); only a background that reaches it leaves nothing to measure.
    if (clips && advice.noisePeak >= 127) {
        advice.problem = kProblemClipping;
        return advice;
    }
    if (clips) advice.warning = kWarningClipping;
    if (first < 0 || advice.muzzlePeak <= advice.muzzleVolume + 2) {
        advice.problem = kProblemBackground;
        return advice;
    }
    // Where the detector would fire: on the report's rise, never before it.
    const std::int64_t muzzle = FirstLouder(samples, 0, n, advice.muzzleVolume);
    if (muzzle < first || muzzle > first + ms) {
        advice.problem = kProblemBackground;
        return advice;
    }
    advice.muzzleAt = muzzle;
    SuggestImpact(samples, sampleRate, window, muzzle, advice);
    return advice;
}

}  // namespace quorvel
