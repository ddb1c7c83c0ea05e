#include "PanelRules.h"

#include <algorithm>

#include "CaptureRing.h"
#include "LiveRecordingDevice.h"
#include "NumberText.h"

namespace quorvel {

bool DeviceQualifies(std::uint32_t formats) { return (formats & 0x10111u) != 0; }
bool Offers96k(std::uint32_t formats) { return (formats & 0x10000u) != 0; }

std::vector<std::string> OfferedRates(std::uint32_t formats, int nativeRate)
{
    std::vector<std::string> rates;
    const std::pair<std::uint32_t, int> usual[] = {{0x10000u, 96000}, {0x00100u, 44100}, {0x00010u, 22050}};
    bool nativeListed = nativeRate <= 22050;
    for (const auto& [bit, rate] : usual) {
        if (!nativeListed && nativeRate > rate) {
            rates.push_back(std::to_string(nativeRate));
            nativeListed = true;
        }
        nativeListed = nativeListed || nativeRate == rate;
        if (formats & bit) rates.push_back(std::to_string(rate));
    }
    return rates;
}

std::string OpenFailureAdvice(int errorCode, std::int32_t frequency)
{
    if (errorCode == kNoSuchDevice) return "The device is no longer there: choose another under Settings >> Hardware.";
    if (errorCode == kFormatNotSupported) {
        return "The device does not record 8-bit mono at " + std::to_string(frequency) +
               " Hz: choose one of the rates it offers under Settings >> Hardware.";
    }
    return "Check that the sound server (PulseAudio or PipeWire) is running and that no other program holds the "
           "microphone, then press Start again.";
}

std::string RateStatusText(std::int32_t frequency, int drawIntervalMs)
{
    return std::to_string(frequency) + " Hz 8-bit mono." + kLineBreak + "Draw Timer:" + std::to_string(drawIntervalMs) +
           " ms" + kLineBreak + std::to_string(kBlockCount) + " x " + std::to_string(kBlockSize) + " fixed " +
           FormatPattern(1.0 / frequency * kBlockSize * 1000, "0.00") + " ms buffer(s)" + kLineBreak +
           FormatPattern(1.0 / frequency * 1000, "0.0000") + " ms resolution";
}

std::uint32_t MixerLevel(int percent, std::uint32_t minimum, std::uint32_t maximum)
{
    const long long raw = maximum < 101 ? percent : static_cast<long long>(maximum / 100) * percent;
    return static_cast<std::uint32_t>(std::clamp<long long>(raw, minimum, maximum));
}

int MixerPercent(std::uint32_t level, std::uint32_t minimum, std::uint32_t maximum)
{
    if (maximum < 101) return static_cast<int>(level);
    return RoundToInt32(static_cast<double>(level) * 100 / maximum - minimum);
}

std::string RingDurationText(double sampleTimeMs)
{
    return FormatPattern(kBlockSize * sampleTimeMs * kBlockCount, "0") + " ms ->|";
}

}  // namespace quorvel
