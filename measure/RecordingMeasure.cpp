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

MeasureSetup SetupFor(const LoadedSettings& loaded, int sampleRate)
{
    MeasureSetup f{loaded.record, loaded.panel, loaded.units, 0, {}};
    f.record.frequency = sampleRate;
    f.sampleTimeMs = SampleTimeMsFor(sampleRate);
    f.window = CalcTriggerWindow(f.panel, f.record, f.sampleTimeMs);
    return f;
}

RecordingMeasure::RecordingMeasure(AudioStream& stream, const MeasureSetup& setup, double startDays,
                                   MeasureListener& listener)
    : stream_(stream), setup_(setup), startDays_(startDays), listener_(listener), engine_(device_, waker_),
      detector_(clock_)
{
    detector_.SetWindow(setup.window);
    clock_.ms = 10000;
    clock_.days = startDays;
    engine_.DoStart(setup_.record.deviceNum, setup_.record.frequency);
    detector_.ResetForStart();
}

RecordingMeasure::~RecordingMeasure() { Finish(false); }

void RecordingMeasure::SetClockToBlockEnd()
{
    // As if the program had been running for ten seconds when the sound
    // began; the hold-off then runs on the time the sound took.
    const double seconds = static_cast<double>(fileBlock_ + 1) * kBlockSize / setup_.record.frequency;
    clock_.ms = 10000 + seconds * 1000;
    clock_.days = startDays_ + seconds / 86400;
}

bool RecordingMeasure::Step(int blocks)
{
    for (int n = 0; n < blocks && !ended_; ++n) {
        const std::size_t count = stream_.Read(block_);
        if (count == 0) {
            ended_ = true;
            break;
        }
        ++fileBlock_;
        samplesRead_ += static_cast<std::int64_t>(count);
        SetClockToBlockEnd();
        Deliver(std::span<const std::uint8_t>(block_.data(), count));
        if (count < block_.size()) ended_ = true;
    }
    return !ended_;
}

void RecordingMeasure::Finish(bool runOut)
{
    if (finished_) return;
    finished_ = true;
    block_.fill(kSilence);
    const std::int64_t extra = runOut ? setup_.window.end / kBlockSize + 2 : 0;
    for (std::int64_t n = 0; n < extra && detector_.State().MuzzleArmed; ++n) {
        ++fileBlock_;
        SetClockToBlockEnd();
        Deliver(block_);
    }
    engine_.DoStop();
}

void RecordingMeasure::Deliver(std::span<const std::uint8_t> block)
{
    device_.Deliver(block);
    while (engine_.HandOver(*this)) {
    }
}

std::int64_t RecordingMeasure::FileIndex(std::int32_t ringIndex, int currentBlock) const
{
    // The ring slot of that index was last filled `back` blocks ago.
    const int slot = ringIndex / kBlockSize + 1;
    const int back = (currentBlock - slot + kBlockCount) % kBlockCount;
    return (fileBlock_ - back) * kBlockSize + (ringIndex - BlockStart(slot));
}

void RecordingMeasure::Report(MeasuredKind kind, std::int64_t muzzle, std::int64_t impact, std::string missText)
{
    MeasuredEvent e;
    e.kind = kind;
    e.muzzleSample = muzzle;
    e.impactSample = impact;
    e.missText = std::move(missText);
    e.timeDays = startDays_ + static_cast<double>(muzzle) / setup_.record.frequency / 86400;
    if (kind == MeasuredKind::Shot) {
        e.shot = detector_.LastShot();
        e.shot.ShotTime = e.timeDays;
    }
    listener_.Measured(e);
}

bool RecordingMeasure::OnBlock(const SampleArray& ring, int block)
{
    const MeasureContext context{setup_.record, setup_.sampleTimeMs, setup_.units.SpeedUnit, Switches{}};
    const BlockOutcome o = detector_.OnBlock(ring, block, context);
    switch (o.event) {
    case BlockEvent::None:
        break;
    case BlockEvent::MuzzleSeen:
        openMuzzle_ = FileIndex(o.muzzleLine, block);
        break;
    case BlockEvent::Shot: {
        const std::int64_t impact = FileIndex(o.impactLine, block);
        Report(MeasuredKind::Shot, impact - detector_.LastShot().Samples, impact, {});
        openMuzzle_.reset();
        break;
    }
    case BlockEvent::TooClose:
    case BlockEvent::NoImpact:
        Report(o.event == BlockEvent::TooClose ? MeasuredKind::TooClose : MeasuredKind::NoImpact,
               openMuzzle_.value_or(FileIndex(o.muzzleLine, block)), 0, std::string(o.missText.View()));
        openMuzzle_.reset();
        break;
    }
    return o.freeze;
}

}  // namespace quorvel
