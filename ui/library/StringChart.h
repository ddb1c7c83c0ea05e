// Velocity against shot number for one string or several overlaid, scaled
// to the data (not to the velocity limits a shooter set for measuring).
// One string shows its average line, a ±1 SD band and its plateau shaded;
// excluded shots are drawn hollow. The same drawing goes on screen, into
// the PDF report and into a PNG.
#pragma once

#include <climits>
#include <vector>

#include <QColor>
#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QWidget>

#include "StringFigures.h"

namespace quorvel {

struct ChartSeries {
    QString name;
    QColor colour;
    StringFigures figures;
};

class StringChart final : public QWidget {
    Q_OBJECT
public:
    explicit StringChart(QWidget* parent = nullptr);

    void SetSeries(std::vector<ChartSeries> series, const QString& speedUnit);
    const std::vector<ChartSeries>& Series() const { return series_; }
    // Draws into any painter: the window, a report page, an image.
    void Paint(QPainter& painter, const QRectF& area) const;
    QImage Image(const QSize& size) const;  // `size` in points; the image has twice the pixels
    // The chart as a picture that stands on its own: a title above, the
    // figures below, a margin all round.
    QImage Image(const QSize& size, const QString& title, const QStringList& figures) const;

    // The velocity range drawn, after the margins (for tests and readers).
    std::pair<double, double> VelocityRange() const;

    static QColor Colour(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the plot stands in the picture and what its edges mean.
    struct ChartFrame {
        QRectF area;
        QRectF plot;
        int first = INT32_MAX;  // shot numbers shown
        int last = INT32_MIN;
        double low = 0;  // velocities at the bottom and top
        double high = 1;
        double Left() const { return first - 0.5; }
        double Right() const { return last + 0.5; }
        double X(double n) const { return plot.left() + (n - Left()) / (Right() - Left()) * plot.width(); }
        double Y(double v) const { return plot.bottom() - (v - low) / (high - low) * plot.height(); }
    };
    void PaintAxes(QPainter& p, const ChartFrame& frame, const QFontMetricsF& fm) const;
    static void PaintBands(QPainter& p, const ChartFrame& frame, const StringFigures& figures);
    static void PaintSeries(QPainter& p, const ChartFrame& frame, const ChartSeries& series, bool alone);

    std::vector<ChartSeries> series_;
    QString unit_;
};

}  // namespace quorvel
