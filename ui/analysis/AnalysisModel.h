// What the analysis window knows and says, free of any toolkit: the
// waveform and its rate, the trigger search (the live detector's own block
// scan over the five blocks), the zoom window and how mouse and keys move
// it, and every text the views show. The window only draws it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "CaptureRing.h"
#include "Clock.h"
#include "MinMaxPyramid.h"
#include "Detection.h"
#include "Settings.h"

namespace quorvel {

// How a mouse move over the overview drags the zoom window.
enum class ZoomDrag : std::int16_t { None = 0, LeftEdge = 1, RightEdge = 2, Move = 3 };

class AnalysisModel {
public:
    // A new waveform: `present` is false while nothing was ever recorded.
    void SetWaveform(const SampleArray& waveform, std::int32_t rate, bool present);
    const SampleArray& Waveform() const { return waveform_; }
    bool Present() const { return present_; }
    void MarkPresent() { present_ = true; }
    std::int32_t Rate() const { return rate_; }
    double SampleTimeMs() const { return 1000.0 / rate_; }
    const MinMaxPyramid& Pyramid() const { return pyramid_; }

    // The analysis pass: searches with the method, volumes and window of
    // `setup` and, unless a level line is being dragged or the search found
    // the same points as before, puts the zoom window around what it found.
    // The method starts afresh each time: a live muzzle just before does
    // not hold off the search's first.
    void Search(DetectionMethod method, const DetectionSetup& setup, Clock& clock, bool dragging);
    const RecordingSearch& Found() const { return found_; }
    const TriggerWindow& Window() const { return window_; }

    double ZoomLeft() const { return zoomLeft_; }
    double ZoomWidth() const { return zoomWidth_; }
    void SetZoom(double left, double width);

    ZoomDrag ZoomHitTest(double x) const;
    void BeginGrab(double x);
    // One mouse move of a drag; `minWidth` is a tenth of the zoom view's pixels.
    void DragZoom(ZoomDrag kind, double x, double minWidth);
    // W, A, S, D (either case) by `step` samples; other keys change nothing.
    void Key(char key, double step, double minWidth);

    // A level line at height y of the 255-high zoom view means this volume.
    static int LevelFromY(double y);
    // Which of the four level lines (1..4, lowest first) lies within 5 of y; 0 for none.
    static int LevelHitTest(double y, int muzzleVolume, int impactVolume);
    static double LevelLineY(int line, int muzzleVolume, int impactVolume);

    // The texts, as the views show them.
    std::string MuzzleText() const;
    std::string ImpactText(double distance, std::string_view speedUnit) const;
    static std::string MaxVelocityText(double velocityMax, std::string_view speedUnit);
    static std::string MinVelocityText(double velocityMin, std::string_view speedUnit);
    std::string LeftEdgeText() const;
    std::string RightEdgeText() const;
    std::string ViewWidthText(double viewSamples) const;
    std::string ViewVelocityText(double distance, double velocityMin, double velocityMax, std::string_view speedUnit,
                                 double viewSamples) const;
    std::string VolumeText(int first, int last) const;
    std::string LengthText() const;
    std::uint8_t PeakSample(int start, int count) const;

private:
    SampleArray waveform_{};
    MinMaxPyramid pyramid_;
    std::int32_t rate_ = 96000;
    bool present_ = false;
    RecordingSearch found_;
    TriggerWindow window_;
    double zoomLeft_ = 0;
    double zoomWidth_ = 19500;
    double grabOffset_ = 0;
    bool placed_ = false;  // the zoom window was placed for this waveform
};

}  // namespace quorvel
