#include "WaveformViews.h"

#include "LineControl.h"

#include <cmath>
#include <vector>

#include <QMouseEvent>
#include <QPainter>

namespace quorvel {

namespace {

const QColor kWave(Qt::black);
const QColor kSeparator(224, 224, 224);
const QColor kMuzzle(85, 85, 255);
const QColor kImpact(255, 85, 85);
const QColor kDot(170, 170, 255);
const QColor kLimit(255, 128, 0);

int Row(int sample, int height) { return sample * (height - 1) / 255; }

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

OverviewView::OverviewView(const AnalysisModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    MakeLineControl(linePlayPointer_, this, "linePlayPointer", QColor(0, 160, 0));
    linePlayPointer_.hide();
}

void OverviewView::SetPlayPointer(int sample, bool visible)
{
    playSample_ = sample;
    linePlayPointer_.setGeometry(static_cast<int>(static_cast<double>(sample) * width() / kRingSamples), 0, 2, height());
    linePlayPointer_.setVisible(visible);
}

void OverviewView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const int w = width();
    const int h = height();
    const auto x = [w](double sample) { return sample * w / kRingSamples; };
    if (model_.Present()) {
        // The impact window, then the zoom window, under the trace.
        const RecordingSearch& f = model_.Found();
        const double base = f.muzzleFound ? f.muzzlePos : model_.ZoomLeft();
        p.fillRect(QRectF(x(base + model_.Window().start), 0, x(model_.Window().end - model_.Window().start), h),
                   QColor(255, 128, 0, 60));
        p.setPen(kWave);
        std::vector<QLine> strokes(static_cast<std::size_t>(w));
        for (int c = 0; c < w; ++c) {
            const int first = static_cast<int>(static_cast<long long>(c) * kRingSamples / w);
            const int last = static_cast<int>(static_cast<long long>(c + 1) * kRingSamples / w) - 1;
            const MinMaxPyramid::Range r = model_.Pyramid().Query(first, last);
            strokes[static_cast<std::size_t>(c)] = QLine(c, Row(r.low, h), c, Row(r.high, h));
        }
        p.drawLines(strokes.data(), static_cast<int>(strokes.size()));
        p.setPen(kSeparator);
        for (int b = 1; b <= kBlockCount; ++b) p.drawLine(QPointF(x(b * kBlockSize), 0), QPointF(x(b * kBlockSize), h));
        if (f.muzzleFound) {
            p.setPen(kMuzzle);
            p.drawLine(QPointF(x(f.muzzlePos), 0), QPointF(x(f.muzzlePos), h));
        }
        if (f.impactFound) {
            p.setPen(kImpact);
            p.drawLine(QPointF(x(f.impactPos), 0), QPointF(x(f.impactPos), h));
        }
    }
    p.setPen(QPen(QColor(0, 0, 160), 1));
    p.drawRect(QRectF(x(model_.ZoomLeft()), 0, x(model_.ZoomWidth()), h - 1));
}

ZoomView::ZoomView(const AnalysisModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    const std::array<QColor, 5> lineColours = {QColor(160, 160, 160), kMuzzle, kMuzzle, kImpact, kImpact};
    for (std::size_t k = 0; k < lineMuzzle.size(); ++k) MakeLineControl(lineMuzzle[k], this, QString("lineMuzzle(%1)").arg(k), lineColours[k]);
    const auto label = [this](QLabel& l, const QString& name) {
        l.setParent(this);
        l.setObjectName(name);
        l.setAttribute(Qt::WA_TransparentForMouseEvents);
        l.hide();
    };
    label(lblMuzzleTrigger, "lblMuzzleTrigger");
    label(lblImpactTrigger, "lblImpactTrigger");
    label(lblVelocity[0], "lblVelocity(0)");
    label(lblVelocity[1], "lblVelocity(1)");
    label(lblCoords, "lblCoords");
    label(lblNoData, "lblNoData");
    lblNoData.setText("Waveform data not yet recorded ...");
    lblNoData.setAlignment(Qt::AlignCenter);
    lblNoData.setAutoFillBackground(true);
}

int ZoomView::PixelX(double index) const
{
    const int start = static_cast<int>(std::lround(model_.ZoomLeft()));
    const int end = std::min(static_cast<int>(std::lround(model_.ZoomLeft() + model_.ZoomWidth())), kRingSamples - 1);
    const double span = std::max(end - start, 1);
    return static_cast<int>((index - start) * width() / span);
}

bool ZoomView::InView(int index) const
{
    const int start = static_cast<int>(std::lround(model_.ZoomLeft()));
    const int end = std::min(static_cast<int>(std::lround(model_.ZoomLeft() + model_.ZoomWidth())), kRingSamples - 1);
    return index >= start && index <= end;
}

void ZoomView::SetLevels(int muzzleVolume, int impactVolume)
{
    muzzleVolume_ = muzzleVolume;
    impactVolume_ = impactVolume;
    for (int k = 0; k < 5; ++k) {
        lineMuzzle[static_cast<std::size_t>(k)].setGeometry(0, PixelY(AnalysisModel::LevelLineY(k, muzzleVolume, impactVolume)),
                                                            width(), 1);
    }
}

void ZoomView::resizeEvent(QResizeEvent*)
{
    SetLevels(muzzleVolume_, impactVolume_);
    lblNoData.setGeometry(rect());
}

void ZoomView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (!model_.Present()) return;
    const int w = std::max(width(), 1);
    const int h = height();
    const int start = static_cast<int>(std::lround(model_.ZoomLeft()));
    const int end = std::min(static_cast<int>(std::lround(model_.ZoomLeft() + model_.ZoomWidth())), kRingSamples - 1);
    const int span = std::max(end - start, 1);
    const double r = static_cast<double>(w) / 750;  // the circle unit
    const SampleArray& wave = model_.Waveform();
    p.setRenderHint(QPainter::Antialiasing, span < 2 * w);
    if (span <= 2 * w) {
        // Zoomed in: every sample, with a dot on each when under 1000 are shown.
        QPointF previous(PixelX(start), Row(wave[static_cast<std::size_t>(start)], h));
        for (int i = start; i <= end; ++i) {
            const QPointF point(static_cast<double>(i - start) * w / span, Row(wave[static_cast<std::size_t>(i)], h));
            p.setPen(kWave);
            p.drawLine(previous, point);
            if (span < 1000) {
                p.setPen(kDot);
                p.drawEllipse(point, r, r);
            }
            previous = point;
        }
    } else {
        p.setPen(kWave);
        std::vector<QLine> strokes(static_cast<std::size_t>(w));
        for (int c = 0; c < w; ++c) {
            const int first = start + static_cast<int>(static_cast<long long>(c) * span / w);
            const int last = start + static_cast<int>(static_cast<long long>(c + 1) * span / w) - 1;
            const MinMaxPyramid::Range range = model_.Pyramid().Query(first, std::max(first, last));
            strokes[static_cast<std::size_t>(c)] = QLine(c, Row(range.low, h), c, Row(range.high, h));
        }
        p.drawLines(strokes.data(), static_cast<int>(strokes.size()));
    }
    if (!track_) return;
    const RecordingSearch& f = model_.Found();
    if (f.muzzleFound && InView(f.muzzlePos)) {
        p.setPen(QPen(kMuzzle, 2));
        p.drawEllipse(QPointF(PixelX(f.muzzlePos), Row(wave[static_cast<std::size_t>(f.muzzlePos)], h)), 2 * r + 2, 2 * r + 2);
    }
    if (f.impactFound && InView(f.impactPos)) {
        p.setPen(QPen(kImpact, 2));
        p.drawEllipse(QPointF(PixelX(f.impactPos), Row(wave[static_cast<std::size_t>(f.impactPos)], h)), 2 * r + 2, 2 * r + 2);
    }
    if (f.muzzleFound) {
        p.setPen(QPen(kLimit, 2));
        for (const double limit : {f.muzzlePos + model_.Window().start, f.muzzlePos + model_.Window().end}) {
            if (!InView(limit)) continue;
            p.drawLine(QPointF(PixelX(limit), 0), QPointF(PixelX(limit), h * 0.1));
            p.drawLine(QPointF(PixelX(limit), h * 0.9), QPointF(PixelX(limit), h));
        }
    }
}

void ZoomView::PlaceMarkerLabel(QLabel& label, const std::string& text, int x, int gap, bool preferLeft, int y, int lines)
{
    label.setText(Q(text));
    label.adjustSize();
    const int labelWidth = label.width();
    const bool left = x + labelWidth > width() || (preferLeft && x >= labelWidth);
    if (left) {
        // The arrow goes on the last line, which points at the sample.
        label.setText(Q(text) + " ->");
        label.setAlignment(Qt::AlignRight);
    } else {
        label.setText(" <- " + Q(text));
        label.setAlignment(Qt::AlignLeft);
    }
    label.adjustSize();
    const int h = label.height();
    int top = left ? y - h + h / (2 * lines) : y - h / (2 * lines);
    if (top + h > height()) top = height() - h;
    if (top < 0) top = 0;
    label.move(left ? x - gap - label.width() : x + gap, top);
    label.show();
}

void ZoomView::PlaceMarkers(const std::string& muzzle, const std::string& impact, const std::string& fastest,
                            const std::string& slowest)
{
    lblMuzzleTrigger.hide();
    lblImpactTrigger.hide();
    lblVelocity[0].hide();
    lblVelocity[1].hide();
    const RecordingSearch& f = model_.Found();
    if (!track_ || !model_.Present() || !f.muzzleFound) return;
    const int r = std::max(width() / 750, 1);
    const SampleArray& wave = model_.Waveform();
    if (InView(f.muzzlePos)) {
        PlaceMarkerLabel(lblMuzzleTrigger, muzzle, PixelX(f.muzzlePos), 3 * r, true,
                         Row(wave[static_cast<std::size_t>(f.muzzlePos)], height()), 2);
    }
    if (f.impactFound && InView(f.impactPos)) {
        PlaceMarkerLabel(lblImpactTrigger, impact, PixelX(f.impactPos), 3 * r, false,
                         Row(wave[static_cast<std::size_t>(f.impactPos)], height()), 3);
    }
    const double fastestAt = f.muzzlePos + model_.Window().start;
    const double slowestAt = f.muzzlePos + model_.Window().end;
    if (InView(fastestAt)) PlaceMarkerLabel(lblVelocity[0], fastest, PixelX(fastestAt), 5 * r, true, height() * 5 / 100, 2);
    if (InView(slowestAt)) PlaceMarkerLabel(lblVelocity[1], slowest, PixelX(slowestAt), 5 * r, false, height() * 95 / 100, 2);
}

}  // namespace quorvel
