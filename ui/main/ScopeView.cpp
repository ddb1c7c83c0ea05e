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

int ScopeView::Column(int ringIndex) const { return static_cast<int>(static_cast<long long>(ringIndex) * width() / kRingSamples); }

void ScopeView::EraseColumns(QPainter& p, int firstColumn, int lastColumn)
{
    p.fillRect(QRect(firstColumn, 0, lastColumn - firstColumn + 1, height()), Qt::black);
}

void ScopeView::Trace(QPainter& p, const SampleArray& ring, int first, int last, QColor colour)
{
    // One vertical stroke per screen column from the quietest to the loudest
    // sample in it: the trace costs a handful of strokes per tick, and a
    // muzzle crack shorter than a column still shows at full height.
    last = std::min(last, kRingSamples);
    if (first > last) return;
    p.setPen(colour);
    int column = Column(first);
    std::uint8_t low = ring[static_cast<std::size_t>(first)];
    std::uint8_t high = low;
    for (int i = first; i <= last; ++i) {
        const int c = Column(i);
        if (c != column) {
            p.drawLine(QPointF(column + 0.5, Y(low)), QPointF(column + 0.5, Y(high) + 0.5));
            column = c;
            low = high = ring[static_cast<std::size_t>(i)];
        }
        low = std::min(low, ring[static_cast<std::size_t>(i)]);
        high = std::max(high, ring[static_cast<std::size_t>(i)]);
    }
    p.drawLine(QPointF(column + 0.5, Y(low)), QPointF(column + 0.5, Y(high) + 0.5));
}

void ScopeView::DrawStretch(const SampleArray& ring, const SweepStretch& s)
{
    EnsurePicture();
    const int last = s.to + Step();
    QPainter p(&picture_);
    EraseColumns(p, Column(s.oldCursor), Column(s.oldCursor));
    EraseColumns(p, Column(s.from), Column(std::min(last, kRingSamples)));
    p.setPen(kCursor);
    p.drawLine(QPointF(Column(s.to) + 0.5, 0), QPointF(Column(s.to) + 0.5, height()));
    Trace(p, ring, s.from, last, kTrace);
    const int left = std::min(Column(s.oldCursor), Column(s.from)) - 1;
    const int right = std::max(Column(s.oldCursor), Column(std::min(last, kRingSamples))) + 2;
    update(QRect(left, 0, right - left, height()));
}

void ScopeView::DrawBlock(const SampleArray& ring, int block)
{
    const int first = BlockStart(block);
    if (first < 0) return;
    const int last = first + kBlockSize - 1;
    EnsurePicture();
    QPainter p(&picture_);
    EraseColumns(p, Column(first), Column(last));
    Trace(p, ring, first, last, kBlockTrace);
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
