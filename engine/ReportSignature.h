// What the shooter's own report sounds like at the microphone, in a few
// numbers: how wide its first pressure lobe is, how long it lasts and the
// shape of its spectrum over its first milliseconds (the room's early
// reflections included, since the gun and the microphone stay put). Learnt
// from the calibration shot, kept in the settings file as one line of text,
// and used to tell the shooter's report from another gun's, which has its
// own pulse and spectrum. A plain value; the onset detector owns its copy.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr std::array<double, 8> kSignatureBandsHz = {600, 900, 1300, 1900, 2800, 4000, 5700, 8000};

struct ReportSignature {
    int rate = 0;          // the rate it was learnt at; 0 = nothing learnt
    double pulseMs = 0;    // the first lobe's width at half its peak
    double lengthMs = 0;   // until the report has fallen 20 dB below its peak
    double peak = 0;       // distance from silence of its first lobe (0-128)
    std::array<double, kSignatureBandsHz.size()> bandsDb{};  // spectrum against its own mean; bands above the rate's reach are 0

    bool Empty() const { return rate <= 0; }
    // "rate=96000 pulse=0.31 length=3.2 peak=96 bands=0.5,1.2,..."; read
    // back exactly as written, nothing from anything else.
    std::string ToText() const;
    static std::optional<ReportSignature> FromText(std::string_view text);
    bool operator==(const ReportSignature&) const = default;
};

// The signature of the sound starting at `onset` (fractional index) in
// `x`, samples centred on silence; `x` must reach 8 ms past the onset
// (less is taken as silence).
ReportSignature SignatureAt(std::span<const float> x, double onset, int rate);

// How unlike two reports are: 0 for the same gun in the same place, above
// 1 for another gun (another pulse width, another spectrum).
double Mismatch(const ReportSignature& a, const ReportSignature& b);

// The report of a calibration recording whose muzzle report starts near
// `muzzleOnset` (within a millisecond, as the suggested muzzle volume fires):
// empty when there is no sound there.
ReportSignature LearnReport(std::span<const std::uint8_t> samples, int rate, std::int64_t muzzleOnset);

}  // namespace quorvel

namespace quorvel {

// Where the loudest sound in x[from, to) starts: the AIC split over the two
// milliseconds before its first half-strength sample and a quarter after.
double LoudestOnset(std::span<const float> x, std::int64_t from, std::int64_t to, int rate);

}  // namespace quorvel
