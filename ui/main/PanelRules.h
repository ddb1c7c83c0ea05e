// The settings panel's rules, free of any toolkit: what leaving a field does
// to its text and to the record, which sample rates a device offers, and the
// texts of the rate status and axis labels (a field's own rules are in
// settings/FieldRules.h). The main window only carries
// them out on its controls.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FieldRules.h"
#include "Settings.h"

namespace quorvel {

// A device appears in the list when it records 8-bit mono at any of 11025,
// 22050, 44100 or 96000 Hz; 11025 itself is never offered.
bool DeviceQualifies(std::uint32_t formats);
// The rates of the format bits, highest first, with a device's own rate
// among them when it is none of those (48000 between 96000 and 44100).
std::vector<std::string> OfferedRates(std::uint32_t formats, int nativeRate = 0);
bool Offers96k(std::uint32_t formats);
inline constexpr const char* kNo96kWarning = "96KHz not available\nAccuracy not optimal";

// What to check, after the messages of a failed start: no device at all,
// the chosen one unplugged, or one that would not open.
inline constexpr const char* kNoHardwareAdvice =
    "Check that the sound server (PulseAudio or PipeWire) is running and a microphone is plugged in. Without a "
    "microphone, the line at the bottom of the window measures the demo recording.";
inline constexpr const char* kMissingDeviceAdvice =
    "Plug it in again (Quorvel chooses it as soon as it is back), or choose another device under Settings >> Hardware.";
std::string OpenFailureAdvice(int errorCode, std::int32_t frequency);

// The four lines of the rate status label lclCalls.
std::string RateStatusText(std::int32_t frequency, int drawIntervalMs);

// The old mixer control's scale: a percentage becomes (maximum / 100,
// truncated) x percent, clamped to the range; a level reads back as
// level x 100 / maximum - minimum, half to even.
std::uint32_t MixerLevel(int percent, std::uint32_t minimum, std::uint32_t maximum);
int MixerPercent(std::uint32_t level, std::uint32_t minimum, std::uint32_t maximum);

// The scope's right-hand axis label: the time the whole ring covers.
std::string RingDurationText(double sampleTimeMs);

}  // namespace quorvel
