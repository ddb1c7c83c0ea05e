// The analysis window's two pictures. picAll shows the whole waveform with
// the zoom window (shpWindow) and the impact window (shpImpactWnd) on it;
// picAnalyze shows the zoom window's samples, the level lines and the
// trigger markers. Both draw one min/max stroke per pixel column from the
// model's pyramid, so a redraw never walks the 144000 samples and no peak
// is lost; a view zoomed in to a few samples per column draws them all.
#pragma once

#include <array>
#include <functional>

#include <QEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QLabel>
#include <QWidget>

#include "AnalysisModel.h"

namespace quorvel {

class OverviewView final : public QWidget {
    Q_OBJECT
public:
    OverviewView(const AnalysisModel& model, QWidget* parent = nullptr);
    double SampleAt(int pixelX) const { return static_cast<double>(pixelX) * kRingSamples / std::max(width(), 1); }
    // linePlayPointer: the sample being played.
    void SetPlayPointer(int sample, bool visible);
    bool PlayPointerVisible() const { return !linePlayPointer_.isHidden(); }
    int PlayPointerSample() const { return playSample_; }
    std::function<void(QMouseEvent*, QEvent::Type)> onMouse;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseButtonPress); }
    void mouseMoveEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseMove); }
    void mouseReleaseEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseButtonRelease); }

private:
    const AnalysisModel& model_;
    QFrame linePlayPointer_;
    int playSample_ = 0;
};

class ZoomView final : public QWidget {
    Q_OBJECT
public:
    ZoomView(const AnalysisModel& model, QWidget* parent = nullptr);
    // View units: x in samples from the zoom window's left, y 0..255 top to bottom.
    double UnitsY(int pixelY) const { return static_cast<double>(pixelY) * 255 / std::max(height(), 1); }
    int PixelY(double unitsY) const { return static_cast<int>(unitsY * height() / 255); }
    int PixelX(double index) const;
    void SetTrack(bool track) { track_ = track; }
    void SetLevels(int muzzleVolume, int impactVolume);
    // Places the marker labels for the current search, as the views show them.
    void PlaceMarkers(const std::string& muzzle, const std::string& impact, const std::string& fastest,
                      const std::string& slowest);
    std::function<void(QMouseEvent*, QEvent::Type)> onMouse;

    QLabel lblMuzzleTrigger;
    QLabel lblImpactTrigger;
    std::array<QLabel, 2> lblVelocity;
    QLabel lblCoords;
    QLabel lblNoData;
    std::array<QFrame, 5> lineMuzzle;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseButtonPress); }
    void mouseMoveEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseMove); }
    void mouseReleaseEvent(QMouseEvent* event) override { if (onMouse) onMouse(event, QEvent::MouseButtonRelease); }

private:
    void PlaceMarkerLabel(QLabel& label, const std::string& text, int x, int gap, bool preferLeft, int y, int lines);
    bool InView(int index) const;

    const AnalysisModel& model_;
    bool track_ = true;
    int muzzleVolume_ = 0;
    int impactVolume_ = 0;
};

}  // namespace quorvel
