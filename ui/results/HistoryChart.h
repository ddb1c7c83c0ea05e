// picHistory: the velocity history of the string. Points are kept in the
// chart's own units (100 per shot across, velocity up) with the scale they
// were drawn with, as a picture keeps what was drawn on it; a new scale
// shows at the next drawing. Dense strings are drawn one stroke per pixel
// column, so a redraw costs the same for 30 shots or 10000.
#pragma once

#include <vector>

#include <QLabel>
#include <QWidget>

namespace quorvel {

class HistoryChart final : public QWidget {
    Q_OBJECT
public:
    explicit HistoryChart(QWidget* parent = nullptr);

    void SetScale(double scaleWidth, double scaleHeight);
    double ScaleWidth() const { return scaleWidth_; }
    double ScaleHeight() const { return scaleHeight_; }
    // DrawArray's drawing: every velocity of slots 0..last.
    void Draw(const std::vector<double>& velocities, int last, double velocityMin);
    void Clear();
    int PointCount() const { return static_cast<int>(points_.size()); }
    // A point's position in pixels, as last drawn.
    QPointF PixelOf(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Point {
        double x;  // chart units across
        double y;  // chart units down from the top
    };
    std::vector<Point> points_;
    double drawnWidth_ = 100;
    double drawnHeight_ = 1;
    double scaleWidth_ = 100;
    double scaleHeight_ = 1;
};

}  // namespace quorvel
