#include "ScopeView.h"

#include <QPainter>
#include <QPaintEvent>

namespace quorvel {

namespace {
const QColor kTrace(0x11, 0xAA, 0x11);       // the moving trace
const QColor kBlockTrace(0xFF, 0xFF, 0x33);  // a block redrawn after a freeze
const QColor kCursor(Qt::white);
const QColor kSeparator(0x50, 0x50, 0x50);
const std::array<QColor, 2> kTrigLine = {QColor(0xFF, 0x40, 0x40), QColor(0x40, 0xA0, 0xFF)};
}  // namespace

ScopeView::ScopeView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScopeView::resizeEvent(QResizeEvent*) { EnsurePicture(); }

void ScopeView::EnsurePicture()
{
    // A picture exists from the start, shown or not, as a picture box's does.
    const qreal ratio = devicePixelRatioF();
    if (!picture_.isNull() && picture_.size() == size() * ratio) return;
    picture_ = QImage(size() * ratio, QImage::Format_RGB32);
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::black);
}

void ScopeView::Clear()
{
    EnsurePicture();
    picture_.fill(Qt::black);
    update();
}

double ScopeView::X(double ringIndex) const { return ringIndex * width() / kRingSamples; }
double ScopeView::Y(int sample) const { return sample * (height() - 1) / 255.0; }

void ScopeView::Polyline(const SampleArray& ring, int first, int last, QColor colour)
{
    EnsurePicture();
    QPainter p(&picture_);
    p.setPen(colour);
    const int step = Step();
    QPointF previous(X(first), Y(ring[static_cast<std::size_t>(first)]));
    for (int i = first; i <= last && i <= kRingSamples; i += step) {
        const QPointF point(X(i), Y(ring[static_cast<std::size_t>(i)]));
        p.drawLine(previous, point);
        previous = point;
    }
}

void ScopeView::DrawStretch(const SampleArray& ring, const SweepStretch& s)
{
    const int step = Step();
    EnsurePicture();
    {
        QPainter p(&picture_);
        p.fillRect(QRectF(X(s.oldCursor), 0, 1, height()), Qt::black);
        p.fillRect(QRectF(X(s.from), 0, X(s.to + step) - X(s.from) + 1, height()), Qt::black);
        p.setPen(kCursor);
        p.drawLine(QPointF(X(s.to), 0), QPointF(X(s.to), height()));
    }
    Polyline(ring, s.from, s.to + step, kTrace);
    const int left = static_cast<int>(std::min(X(s.oldCursor), X(s.from))) - 2;
    const int right = static_cast<int>(std::max(X(s.oldCursor), X(s.to + step))) + 2;
    update(QRect(left, 0, right - left, height()));
}

void ScopeView::DrawBlock(const SampleArray& ring, int block)
{
    const int first = BlockStart(block);
    if (first < 0) return;
    const int last = first + kBlockSize - 1;
    EnsurePicture();
    {
        QPainter p(&picture_);
        p.fillRect(QRectF(X(first), 0, X(last + Step()) - X(first), height()), Qt::black);
    }
    Polyline(ring, first, last, kBlockTrace);
    update();
}

void ScopeView::SetTrigLine(int index, int ringIndex, bool visible)
{
    trigX_[static_cast<std::size_t>(index)] = ringIndex;
    trigVisible_[static_cast<std::size_t>(index)] = visible;
    update();
}

void ScopeView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawImage(event->rect(), picture_, QRectF(event->rect().topLeft() * picture_.devicePixelRatio(),
                                                event->rect().size() * picture_.devicePixelRatio()));
    p.setPen(kSeparator);
    for (int i = 1; i <= 4; ++i) p.drawLine(QPointF(X(kBlockSize * i), 0), QPointF(X(kBlockSize * i), height()));
    for (int k = 0; k < 2; ++k) {
        if (!trigVisible_[static_cast<std::size_t>(k)]) continue;
        p.setPen(kTrigLine[static_cast<std::size_t>(k)]);
        const double x = X(trigX_[static_cast<std::size_t>(k)]);
        p.drawLine(QPointF(x, 0), QPointF(x, height()));
    }
}

}  // namespace quorvel
