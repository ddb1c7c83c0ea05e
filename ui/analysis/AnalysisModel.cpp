#include "AnalysisModel.h"

#include <cmath>

#include "NumberText.h"

namespace quorvel {

namespace {
constexpr double kHalfHeight = 255 / 2.0;

// A sample as the threshold method gives it (12345), or between samples as
// the onset method times it (12345.37).
std::string SampleText(double position)
{
    if (position == std::floor(position)) return std::to_string(static_cast<long long>(position));
    return FormatPattern(position, "0.00");
}
}

void AnalysisModel::SetWaveform(const SampleArray& waveform, std::int32_t rate, bool present)
{
    waveform_ = waveform;
    rate_ = rate > 0 ? rate : 96000;
    present_ = present;
    placed_ = false;
    pyramid_.Build(waveform_.data(), kRingSamples);
}

void AnalysisModel::Search(DetectionMethod method, const DetectionSetup& setup, Clock& clock, bool dragging)
{
    const TriggerWindow& window = setup.window;
    window_ = window;
    const RecordingSearch before = found_;
    const std::unique_ptr<Detector> detector = MakeDetector(method, clock, setup);
    found_ = SearchRecording(*detector, std::span<const std::uint8_t>(waveform_.data(), kRingSamples), kBlockSize);
    if (dragging) return;
    // Coming back to the window from elsewhere finds the same points: the
    // zoom the shooter chose stays.
    if (placed_ && found_.muzzleFound == before.muzzleFound && found_.muzzlePos == before.muzzlePos &&
        found_.impactFound == before.impactFound && found_.impactPos == before.impactPos) {
        return;
    }
    placed_ = true;
    if (found_.muzzleFound) {
        const double left = std::max(0.0, found_.muzzlePos - 300.0);
        const double right = found_.muzzlePos + window.end + 300;
        SetZoom(left, std::min(right - left, kRingSamples - left));
    } else {
        SetZoom(0, std::min<double>(window.end + 300.0, kRingSamples));
    }
}

void AnalysisModel::SetZoom(double left, double width)
{
    zoomLeft_ = left;
    zoomWidth_ = std::max(width, 1.0);
}

ZoomDrag AnalysisModel::ZoomHitTest(double x) const
{
    const double L = zoomLeft_;
    const double W = zoomWidth_;
    if (x > L - 100 && x <= L + 300) return ZoomDrag::LeftEdge;
    if (x > L + W - 300 && x <= L + W + 100) return ZoomDrag::RightEdge;
    if (x > L + 300 && x <= L + W - 300) return ZoomDrag::Move;
    return ZoomDrag::None;
}

void AnalysisModel::BeginGrab(double x)
{
    if (x >= zoomLeft_ && x <= zoomLeft_ + zoomWidth_) grabOffset_ = std::round(x - zoomLeft_);
}

void AnalysisModel::DragZoom(ZoomDrag kind, double x, double minWidth)
{
    switch (kind) {
    case ZoomDrag::Move:
        zoomLeft_ = x - grabOffset_;
        if (zoomLeft_ < 0) zoomLeft_ = 0;
        if (zoomLeft_ + zoomWidth_ > kRingSamples) zoomLeft_ = kRingSamples - zoomWidth_;
        break;
    case ZoomDrag::LeftEdge:
        if (x > 0 && x < zoomLeft_ + zoomWidth_ - 5) {
            zoomWidth_ = zoomLeft_ + zoomWidth_ - x;
            zoomLeft_ = x;
        }
        break;
    case ZoomDrag::RightEdge:
        if (x > zoomLeft_ + 5 && x < kRingSamples) {
            zoomWidth_ = x - zoomLeft_;
            if (zoomWidth_ <= minWidth) zoomWidth_ = minWidth;
        }
        break;
    case ZoomDrag::None:
        break;
    }
}

void AnalysisModel::Key(char key, double step, double minWidth)
{
    switch (key) {
    case 'd':
    case 'D':
        zoomLeft_ += step;
        if (zoomLeft_ + zoomWidth_ > kRingSamples) zoomLeft_ = kRingSamples - zoomWidth_;
        break;
    case 'a':
    case 'A':
        zoomLeft_ -= step;
        if (zoomLeft_ < 0) zoomLeft_ = 0;
        break;
    case 'w':
    case 'W':
        zoomWidth_ += step;
        if (zoomLeft_ + zoomWidth_ > kRingSamples) zoomWidth_ = kRingSamples - zoomLeft_;
        break;
    case 's':
    case 'S':
        zoomWidth_ -= step;
        if (zoomWidth_ < minWidth) zoomWidth_ = minWidth;
        break;
    default:
        break;
    }
}

int AnalysisModel::LevelFromY(double y) { return static_cast<int>(std::floor(std::fabs(y - kHalfHeight))); }

double AnalysisModel::LevelLineY(int line, int muzzleVolume, int impactVolume)
{
    switch (line) {
    case 1: return kHalfHeight - muzzleVolume;
    case 2: return kHalfHeight + muzzleVolume;
    case 3: return kHalfHeight - impactVolume;
    case 4: return kHalfHeight + impactVolume;
    default: return kHalfHeight;
    }
}

int AnalysisModel::LevelHitTest(double y, int muzzleVolume, int impactVolume)
{
    for (int k = 1; k <= 4; ++k) {
        const double lineY = LevelLineY(k, muzzleVolume, impactVolume);
        if (lineY - 5 < y && y <= lineY + 5) return k;
    }
    return 0;
}

std::string AnalysisModel::MuzzleText() const
{
    return "MuzzleTrigger (" + FormatPattern(found_.muzzlePos * SampleTimeMs(), "0.00") + " ms)   " + kLineBreak +
           "     sample: " + SampleText(found_.muzzlePos);
}

std::string AnalysisModel::ImpactText(double distance, std::string_view speedUnit) const
{
    const double v = distance / ((found_.impactPos - found_.muzzlePos) * SampleTimeMs() / 1000);
    return "ImpactTrigger (" + FormatPattern(found_.impactPos * SampleTimeMs(), "0.00") + " ms)    " + kLineBreak +
           "     sample: " + SampleText(found_.impactPos) + "   " + kLineBreak + "     Velocity: " +
           FormatPattern(v, "0.0") + std::string(speedUnit);
}

std::string AnalysisModel::MaxVelocityText(double velocityMax, std::string_view speedUnit)
{
    return std::string("Max Measured Velocity   ") + kLineBreak + "    " + FormatPattern(velocityMax, "0.0") +
           std::string(speedUnit);
}

std::string AnalysisModel::MinVelocityText(double velocityMin, std::string_view speedUnit)
{
    return std::string("Min Measured Velocity   ") + kLineBreak + "    " + FormatPattern(velocityMin, "0.0") +
           std::string(speedUnit);
}

std::string AnalysisModel::LeftEdgeText() const { return "|<--" + FormatPattern(zoomLeft_ * SampleTimeMs(), "0.00") + " ms"; }

std::string AnalysisModel::RightEdgeText() const
{
    return FormatPattern((zoomLeft_ + zoomWidth_) * SampleTimeMs(), "0.00") + " ms ->|";
}

std::string AnalysisModel::ViewWidthText(double viewSamples) const
{
    return "<----- View Width " + FormatPattern(viewSamples * SampleTimeMs(), "0.00") + " ms | resolution " +
           FormatPattern(SampleTimeMs(), "0.0000") + " ms ----->";
}

std::string AnalysisModel::ViewVelocityText(double distance, double velocityMin, double velocityMax,
                                            std::string_view speedUnit, double viewSamples) const
{
    return "View Velocity (left to right) " + FormatPattern(distance / (viewSamples * SampleTimeMs() / 1000), "0.0") +
           std::string(speedUnit) + "(" + GeneralNumber(velocityMin) + "-" + GeneralNumber(velocityMax) +
           std::string(speedUnit) + ")";
}

std::string AnalysisModel::VolumeText(int first, int last) const
{
    long long sum = 0;
    int peak = 0;
    for (int i = std::max(first, 0); i <= std::min(last, kRingSamples); ++i) {
        const int d = std::abs(127 - waveform_[static_cast<std::size_t>(i)]);
        sum += d;
        peak = std::max(peak, d);
    }
    return FormatPattern(static_cast<double>(sum), "0") + " (Peak:" + std::to_string(peak) + ")";
}

std::string AnalysisModel::LengthText() const
{
    return FormatPattern(kBlockSize * SampleTimeMs() * kBlockCount, "0") + " ms -->|";
}

std::uint8_t AnalysisModel::PeakSample(int start, int count) const
{
    std::uint8_t high = 0;
    std::uint8_t low = 255;
    for (int i = start; i < start + count && i <= kRingSamples; ++i) {
        high = std::max(high, waveform_[static_cast<std::size_t>(i)]);
        low = std::min(low, waveform_[static_cast<std::size_t>(i)]);
    }
    return 127 - low > high - 127 ? low : high;
}

}  // namespace quorvel
