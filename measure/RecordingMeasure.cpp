#include "RecordingMeasure.h"

#include <cstdio>

namespace quorvel {

std::string PlaceText(std::int64_t samples, int rate)
{
    const long long tenths = rate > 0 ? samples * 10 / rate : 0;
    const long long seconds = tenths / 10;
    char text[40];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", seconds / 3600, seconds / 60 % 60, seconds % 60, tenths % 10);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", seconds / 60, seconds % 60, tenths % 10);
    }
    return text;
}

TriggerWindow WindowOf(const Settings& record, double sampleTimeMs)
{
    return CalcTriggerWindow(record.distance, record.VelocityMin, record.VelocityMax, sampleTimeMs);
}

DetectionSetup DetectionSetupOf(const Settings& record, std::int32_t rate, const std::string& learnt)
{
    return {rate, WindowOf(record, SampleTimeMsFor(rate)), record.MuzzleVolume, record.ImpactVolume, learnt};
}

DetectionSetup MeasureSetup::Detection() const
{
    return {record.frequency, window, record.MuzzleVolume, record.ImpactVolume, record.learnt};
}

MeasureSetup SetupFor(const LoadedSettings& loaded, int sampleRate)
{
    MeasureSetup f{loaded.record, loaded.panel, loaded.units, 0, {}};
    f.record.frequency = sampleRate;
    f.sampleTimeMs = SampleTimeMsFor(sampleRate);
    TakeWindowFields(f.panel, f.record);
    f.window = WindowOf(f.record, f.sampleTimeMs);
    return f;
}

RecordingMeasure::RecordingMeasure(AudioStream& stream, const MeasureSetup& setup, double startDays,
                                   MeasureListener& listener)
    : stream_(stream), setup_(setup), startDays_(startDays), listener_(listener),
      detector_(MakeDetector(setup.Method(), clock_, setup.Detection()))
{
    SetClockTo(0);
}

RecordingMeasure::~RecordingMeasure() { Finish(false); }

void RecordingMeasure::SetClockTo(std::int64_t samples)
{
    // The hold-off runs on the time the sound took.
    clock_.ms = static_cast<double>(samples) * 1000 / setup_.record.frequency;
    clock_.days = startDays_ + static_cast<double>(samples) / setup_.record.frequency / 86400;
}

bool RecordingMeasure::Step(int blocks)
{
    for (int n = 0; n < blocks && !ended_; ++n) {
        const std::size_t count = stream_.Read(block_);
        if (count == 0) {
            ended_ = true;
            break;
        }
        samplesRead_ += static_cast<std::int64_t>(count);
        // Processing time as live: a block is scanned once it has all arrived.
        SetClockTo((samplesRead_ + kBlockSize - 1) / kBlockSize * kBlockSize);
        detector_->Scan(std::span<const std::uint8_t>(block_.data(), count), *this);
        if (count < block_.size()) ended_ = true;
    }
    return !ended_;
}

void RecordingMeasure::Finish(bool runOut)
{
    if (finished_) return;
    finished_ = true;
    if (runOut) detector_->Finish(*this);
}

void RecordingMeasure::Detected(const Detection& d)
{
    if (d.kind == Detection::Kind::Muzzle || d.kind == Detection::Kind::OtherGun) return;
    const double days = startDays_ + d.muzzle / setup_.record.frequency / 86400;
    listener_.Measured(MeasureDetection(d, setup_.Method(), setup_.record, setup_.sampleTimeMs, days));
}

}  // namespace quorvel
