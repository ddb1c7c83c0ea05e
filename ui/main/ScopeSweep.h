// Where the realtime scope draws next. The trace follows the recording a
// fixed 300 ms behind, so the samples it draws have surely arrived; it sweeps
// left to right over the ring (x = ring index) and starts again at the left.
#pragma once

#include <cstdint>

namespace quorvel {

inline constexpr double kScopeLagMs = 1.5 / 5 * 1000;

struct SweepStretch {
    bool draw = false;
    std::int32_t from = 0;       // first ring index to draw
    std::int32_t to = 0;         // the new cursor
    std::int32_t oldCursor = 0;  // where the cursor line was
};

class ScopeSweep {
public:
    // Recording started at `nowMs`.
    void Start(double nowMs);
    // The stretch for a timer tick at `nowMs`; Drawn() must follow when it is drawn.
    SweepStretch Next(double nowMs, double sampleTimeMs);
    void Drawn(const SweepStretch& stretch);

    std::int32_t DrawStartTime() const { return drawStartTime_; }
    std::int32_t DrawFrom() const { return drawFrom_; }
    std::int32_t CursorX() const { return cursorX_; }

private:
    std::int32_t drawStartTime_ = 0;
    std::int32_t drawFrom_ = 0;
    std::int32_t cursorX_ = 0;
};

// Samples per screen column: the ring's 144000 over the picture's width in
// pixels, half to even.
std::int32_t ScopeStep(int widthPixels);

}  // namespace quorvel
