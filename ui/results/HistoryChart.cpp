#include "HistoryChart.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

namespace quorvel {

namespace {
const QColor kChartBackground(0, 0, 64);
const QColor kMarker(85, 85, 255);
}  // namespace

HistoryChart::HistoryChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryChart::SetScale(double scaleWidth, double scaleHeight)
{
    scaleWidth_ = scaleWidth;
    scaleHeight_ = scaleHeight;
}

void HistoryChart::Draw(const std::vector<double>& velocities, int last, double velocityMin)
{
    points_.clear();
    drawnWidth_ = scaleWidth_;
    drawnHeight_ = scaleHeight_;
    for (int i = 0; i <= last; ++i) {
        const double v = velocities[static_cast<std::size_t>(i)];
        points_.push_back({static_cast<double>(i) * 100, scaleHeight_ - (v - velocityMin)});
    }
    update();
}

void HistoryChart::Clear()
{
    points_.clear();
    drawnWidth_ = scaleWidth_;
    drawnHeight_ = scaleHeight_;
    update();
}

QPointF HistoryChart::PixelOf(int index) const
{
    const Point& p = points_[static_cast<std::size_t>(index)];
    const double w = drawnWidth_ != 0 ? drawnWidth_ : 1;
    const double h = drawnHeight_ != 0 ? drawnHeight_ : 1;
    return {p.x / w * width(), p.y / h * height()};
}

void HistoryChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kChartBackground);
    if (points_.empty()) return;
    p.setRenderHint(QPainter::Antialiasing);
    // The marker radius is 1/750 of the chart's width.
    const double r = width() / 750.0;
    const QPen line(Qt::white);
    const QPen marker(kMarker);
    const bool dense = static_cast<int>(points_.size()) > width();
    if (!dense) {
        QPointF previous = PixelOf(0);
        for (int i = 0; i < PointCount(); ++i) {
            const QPointF point = PixelOf(i);
            p.setPen(marker);
            p.drawEllipse(point, r, r);
            p.setPen(line);
            p.drawLine(previous, point);
            previous = point;
        }
        return;
    }
    // More shots than columns: per column the line from the lowest to the
    // highest point, which is what the individual lines fill, and its ends.
    QPointF previous = PixelOf(0);
    int column = static_cast<int>(previous.x());
    double low = previous.y();
    double high = low;
    const auto flush = [&] {
        p.setPen(line);
        p.drawLine(QPointF(column + 0.5, low), QPointF(column + 0.5, high));
        p.setPen(marker);
        p.drawEllipse(QPointF(column + 0.5, low), r, r);
        p.drawEllipse(QPointF(column + 0.5, high), r, r);
    };
    for (int i = 1; i < PointCount(); ++i) {
        const QPointF point = PixelOf(i);
        const int c = static_cast<int>(point.x());
        if (c != column) {
            flush();
            column = c;
            low = high = previous.y();  // the line from the previous point ends here
        }
        low = std::min(low, point.y());
        high = std::max(high, point.y());
        previous = point;
    }
    flush();
}

}  // namespace quorvel
