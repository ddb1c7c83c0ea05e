#include "StringChart.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace quorvel {

namespace {

// A round step for about `ticks` divisions of `span`: 1, 2 or 5 times a power of ten.
double NiceStep(double span, int ticks)
{
    const double raw = span / std::max(ticks, 1);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 5.0}) {
        if (f * power >= raw) return f * power;
    }
    return 10 * power;
}

}  // namespace

StringChart::StringChart(QWidget* parent) : QWidget(parent)
{
    setObjectName("picStrings");
    setMinimumSize(240, 160);
}

QColor StringChart::Colour(int index)
{
    // Told apart also by readers with red-green colour blindness.
    static const QColor kColours[] = {QColor(0, 114, 178), QColor(213, 94, 0),   QColor(0, 158, 115),
                                      QColor(204, 121, 167), QColor(86, 180, 233), QColor(230, 159, 0),
                                      QColor(0, 0, 0)};
    return kColours[static_cast<std::size_t>(index) % std::size(kColours)];
}

void StringChart::SetSeries(std::vector<ChartSeries> series, const QString& speedUnit)
{
    series_ = std::move(series);
    unit_ = speedUnit;
    update();
}

std::pair<double, double> StringChart::VelocityRange() const
{
    double low = INFINITY, high = -INFINITY;
    for (const ChartSeries& s : series_) {
        for (double v : s.figures.velocities) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        if (series_.size() == 1 && s.figures.summary.count > 1) {
            low = std::min(low, s.figures.summary.mean - s.figures.summary.sd);
            high = std::max(high, s.figures.summary.mean + s.figures.summary.sd);
        }
    }
    if (!std::isfinite(low)) return {0, 1};
    // A string of equal shots still gets a readable scale.
    const double margin = std::max((high - low) * 0.08, 0.5);
    return {low - margin, high + margin};
}

void StringChart::Paint(QPainter& p, const QRectF& area) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, Qt::white);
    const QFontMetricsF fm(p.font());
    const double legend = series_.size() > 1 ? fm.height() * 1.4 : 0;
    ChartFrame frame;
    frame.area = area;
    frame.plot = area.adjusted(fm.horizontalAdvance("00000.0") + 10, fm.height() + legend, -12, -(fm.height() * 2 + 6));
    for (const ChartSeries& s : series_) {
        for (int n : s.figures.numbers) {
            frame.first = std::min(frame.first, n);
            frame.last = std::max(frame.last, n);
        }
    }
    if (frame.plot.width() < 10 || frame.plot.height() < 10 || frame.first > frame.last) {
        p.drawText(area, Qt::AlignCenter, series_.empty() ? "Select a string" : "No shots with a velocity");
        p.restore();
        return;
    }
    std::tie(frame.low, frame.high) = VelocityRange();
    // Plateau and SD band under everything else.
    if (series_.size() == 1) PaintBands(p, frame, series_[0].figures);
    PaintAxes(p, frame, fm);
    double legendX = frame.plot.left();
    for (const ChartSeries& s : series_) {
        PaintSeries(p, frame, s, series_.size() == 1);
        if (series_.size() > 1) {
            const QRectF key(legendX, area.top() + fm.height(), 10, 10);
            p.fillRect(key, s.colour);
            p.setPen(Qt::black);
            p.drawText(QPointF(key.right() + 4, key.bottom()), s.name);
            legendX = key.right() + 16 + fm.horizontalAdvance(s.name);
        }
    }
    p.restore();
}

void StringChart::PaintAxes(QPainter& p, const ChartFrame& f, const QFontMetricsF& fm) const
{
    // Round ticks, the velocity's across the plot.
    const QRectF& plot = f.plot;
    p.setPen(QColor(200, 200, 200));
    const double vStep = NiceStep(f.high - f.low, 5);
    for (double v = std::ceil(f.low / vStep) * vStep; v <= f.high; v += vStep) {
        p.drawLine(QPointF(plot.left(), f.Y(v)), QPointF(plot.right(), f.Y(v)));
        p.setPen(Qt::black);
        p.drawText(QRectF(f.area.left(), f.Y(v) - fm.height() / 2, plot.left() - f.area.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'f', vStep < 1 ? 1 : 0));
        p.setPen(QColor(200, 200, 200));
    }
    const double nStep = std::max(1.0, NiceStep(f.Right() - f.Left(), 10));
    p.setPen(Qt::black);
    for (double n = std::ceil(f.first / nStep) * nStep; n <= f.last; n += nStep) {
        p.drawLine(QPointF(f.X(n), plot.bottom()), QPointF(f.X(n), plot.bottom() + 4));
        p.drawText(QRectF(f.X(n) - 30, plot.bottom() + 4, 60, fm.height()), Qt::AlignCenter, QString::number(n));
    }
    p.drawRect(plot);
    p.drawText(QRectF(plot.left(), plot.bottom() + fm.height() + 4, plot.width(), fm.height()), Qt::AlignCenter,
               "shot number");
    p.drawText(QRectF(f.area.left() + 4, f.area.top(), plot.width(), fm.height()), Qt::AlignLeft, unit_);
}

void StringChart::PaintBands(QPainter& p, const ChartFrame& frame, const StringFigures& f)
{
    const QRectF& plot = frame.plot;
    if (f.plateau.found && f.plateau.summary.count > 1) {
        const double a = frame.X(f.numbers[static_cast<std::size_t>(f.plateau.first)] - 0.5);
        const double b = frame.X(f.numbers[static_cast<std::size_t>(f.plateau.last)] + 0.5);
        p.fillRect(QRectF(a, plot.top(), b - a, plot.height()), QColor(255, 236, 179));
    }
    if (f.summary.count > 1) {
        const double top = frame.Y(f.summary.mean + f.summary.sd), bottom = frame.Y(f.summary.mean - f.summary.sd);
        p.fillRect(QRectF(plot.left(), top, plot.width(), bottom - top), QColor(0, 114, 178, 40));
    }
}

void StringChart::PaintSeries(QPainter& p, const ChartFrame& frame, const ChartSeries& s, bool alone)
{
    const StringFigures& f = s.figures;
    const QRectF& plot = frame.plot;
    if (alone && f.summary.count > 0) {
        p.setPen(QPen(s.colour, 1, Qt::DashLine));
        p.drawLine(QPointF(plot.left(), frame.Y(f.summary.mean)), QPointF(plot.right(), frame.Y(f.summary.mean)));
    }
    // The counted shots joined in order; excluded ones stand apart, hollow.
    QPainterPath line;
    bool started = false;
    for (std::size_t k = 0; k < f.numbers.size(); ++k) {
        if (!f.counted[k]) continue;
        const QPointF at(frame.X(f.numbers[k]), frame.Y(f.velocities[k]));
        started ? line.lineTo(at) : line.moveTo(at);
        started = true;
    }
    p.setPen(QPen(s.colour, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    const double r = std::clamp(plot.width() / (frame.Right() - frame.Left()) / 4, 1.5, 4.0);
    for (std::size_t k = 0; k < f.numbers.size(); ++k) {
        const QPointF at(frame.X(f.numbers[k]), frame.Y(f.velocities[k]));
        p.setBrush(f.counted[k] ? QBrush(s.colour) : QBrush(Qt::white));
        p.drawEllipse(at, r, r);
    }
}

QImage StringChart::Image(const QSize& size) const
{
    // Twice the pixels, so lines and text stay sharp in a report or on a slide.
    QImage image(size * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    QPainter painter(&image);
    painter.setFont(font());
    Paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage StringChart::Image(const QSize& size, const QString& title, const QStringList& figures) const
{
    QImage image(size * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    const QFontMetricsF titleMetrics(big), lineMetrics(font());
    const double margin = 16;
    const QRectF inside = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(margin, margin, -margin, -margin);
    painter.setFont(big);
    painter.drawText(QRectF(inside.left(), inside.top(), inside.width(), titleMetrics.height()), Qt::AlignLeft, title);
    painter.setFont(font());
    const double below = lineMetrics.height() * (figures.size() + 0.5);
    const double top = inside.top() + titleMetrics.height() * 1.4;
    Paint(painter, QRectF(inside.left(), top, inside.width(), inside.bottom() - below - top));
    painter.setPen(Qt::black);
    double y = inside.bottom() - lineMetrics.height() * figures.size();
    for (const QString& line : figures) {
        painter.drawText(QRectF(inside.left(), y, inside.width(), lineMetrics.height()), Qt::AlignLeft, line);
        y += lineMetrics.height();
    }
    return image;
}

void StringChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter, rect());
}

}  // namespace quorvel
