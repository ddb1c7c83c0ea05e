#include "ScopeSweep.h"

#include "CaptureRing.h"
#include "NumberText.h"

namespace quorvel {

void ScopeSweep::Start(double nowMs)
{
    // Every recording sweeps from the left edge.
    drawStartTime_ = RoundToInt32(nowMs);
    drawFrom_ = 0;
    cursorX_ = 0;
}

SweepStretch ScopeSweep::Next(double nowMs, double sampleTimeMs)
{
    SweepStretch s;
    const std::int32_t elapsed = RoundToInt32(nowMs - drawStartTime_);
    std::int32_t to = RoundToInt32((elapsed - kScopeLagMs) * (1 / sampleTimeMs));
    if (to < 0) return s;
    if (to >= kRingSamples) {
        // Past the right edge: start again at the left; the rest of the old
        // sweep is not drawn.
        to = to - kRingSamples + 1;
        drawFrom_ = 0;
        drawStartTime_ = RoundToInt32(nowMs - kScopeLagMs);
    }
    if (drawFrom_ > kRingSamples) drawFrom_ = 0;
    s.draw = true;
    s.from = drawFrom_;
    s.to = to;
    s.oldCursor = cursorX_;
    return s;
}

void ScopeSweep::Drawn(const SweepStretch& stretch)
{
    cursorX_ = stretch.to;
    drawFrom_ = stretch.to;
}

std::int32_t ScopeStep(int widthPixels)
{
    if (widthPixels <= 0) return 1;
    const std::int32_t step = RoundToInt32(static_cast<double>(kRingSamples) / widthPixels);
    return step < 1 ? 1 : step;
}

}  // namespace quorvel
