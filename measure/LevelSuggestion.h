// Suggested trigger volumes from one recorded shot. The muzzle volume must
// stay above the loudest background sound anywhere, yet fire early on the
// report's rise; the impact volume must stay above whatever is still
// sounding in the impact window before the impact (the report's ringing, its
// echoes, the background) and below the impact's own peak. When no such pair
// exists the advice says why, in the shooter's words. A report that clips
// still gets volumes, with a warning; a sound is an echo only when it
// repeats the whole report.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "TriggerWindow.h"

namespace quorvel {

struct LevelAdvice {
    std::string problem;  // empty when the volumes are good
    std::string warning;  // good volumes that come with advice (a report that clips)
    int muzzleVolume = 0;
    int impactVolume = 0;
    // Distances from silence (0-128) of the loudest background sound, the
    // report and the impact.
    int noisePeak = 0;
    int muzzlePeak = 0;
    int impactPeak = 0;
    // Where the suggested volumes fire, from the first sample.
    std::int64_t muzzleAt = -1;
    std::int64_t impactAt = -1;

    bool Good() const { return problem.empty(); }
};

// `window` is the impact window at the recording's own rate (samples after
// the muzzle, from the velocity limits).
LevelAdvice SuggestLevels(std::span<const std::uint8_t> samples, int sampleRate, const TriggerWindow& window);

inline constexpr const char* kProblemClipping =
    "the recording clips (samples at 0 or 255): lower the microphone level";
inline constexpr const char* kWarningClipping =
    "the report clips (samples at 0 or 255): these volumes work, but lower the microphone level";
inline constexpr const char* kProblemBackground = "the background is as loud as the shot";
inline constexpr const char* kProblemNoImpact = "no second sound in the impact window for these velocity limits";
inline constexpr const char* kProblemRinging = "the impact is not louder than the muzzle's ringing at that moment";

}  // namespace quorvel
