// The onset arithmetic the onset detector and the suggested volumes share,
// on short stretches of samples already centred on silence: where a new
// sound starts (Maeda's AIC split, refined between samples), how much louder
// a stretch is than the one before, and how closely a sound repeats the
// report (an echo is the whole report again, delayed and weaker). Pure
// functions over spans; nothing here allocates.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace quorvel {

// The 8-bit sample as a distance from the card's centre (127.5), so that
// silence recorded as 127 or as 128 weighs the same.
inline float Centred(std::uint8_t s) { return static_cast<float>(s) - 127.5F; }

// The fractional index in `x` at which a new, louder sound starts: the split
// that best explains `x` as two stretches of different loudness, judged on
// the differences between neighbouring samples (a sudden sound is rich in
// highs; rumble, wind and a room's decaying tail are not). `x` must hold
// background first and the sound's rise after; fewer than 8 samples give
// the middle.
double AicOnset(std::span<const float> x);

// The onset refined by the sound's rise: its envelope (RMS over 0.1 ms)
// from a fifth to three fifths of its peak in the 1.5 ms after `coarse`,
// drawn back in a straight line to the background's level. A thud that
// swells over a millisecond is timed where it starts, not where it becomes
// loud; a crack, within a few hundredths of a millisecond of the split.
// `coarse` (an index in x) is returned when the sound is too faint to fit.
// A crack is drawn back by about the envelope's own width: ShockOnset
// times a clean one better.
double RiseOnset(std::span<const float> x, double coarse, int rate);

// A swell's foot: the start that best explains the samples around `coarse`
// (an index in x) as background, then a sound whose variance grows steadily
// (a pellet trap's thud: band-limited noise swelling over a fraction of a
// millisecond), searched up to 1 ms before `coarse`. Nothing when the sound
// is no swell (one sudden sound explains it as well), or stands less than
// 18 dB above what went before, where the room's own wandering would pass
// for a foot.
std::optional<double> SwellOnset(std::span<const float> x, double coarse, int rate);

// A shock's onset: a muzzle report rises at once, and whatever the
// converter's filter does to a jump is symmetric about it, so the jump's
// middle (half the height of its first swing, between samples) is where it
// arrived. The envelope fit above draws a jump back by the width of its own
// window instead. Nothing when the sound near `coarse` (an index in x) is
// no jump out of quiet: a swell, or a jump the background drowns.
std::optional<double> ShockOnset(std::span<const float> x, double coarse, int rate);

// Mean square of x[begin, end), clamped to the span; 0 for an empty stretch.
double MeanSquare(std::span<const float> x, std::int64_t begin, std::int64_t end);

// The largest normalised correlation of `report` with `other` at lags
// 0..2*maxLag (other must hold report.size() + 2*maxLag samples, the
// report's onset aligned at lag maxLag): 1 for the same sound at any level.
double Likeness(std::span<const float> report, std::span<const float> other, int maxLag);

// How uncertain an onset is, in samples: the rise to the first peak blurred
// by the background against the peak, never below the rounding of a sample.
double OnsetSigma(double riseSamples, double backgroundRms, double peak);

}  // namespace quorvel
