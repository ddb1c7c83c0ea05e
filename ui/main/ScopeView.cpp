#include "ScopeView.h"

#include "LineControl.h"

#include <algorithm>

#include <QPainter>
#include <QPaintEvent>

namespace quorvel {

namespace {
constexpr QRgb kBackground = 0xFF000000;
constexpr QRgb kTrace = 0xFF11AA11;       // the moving trace
constexpr QRgb kBlockTrace = 0xFFFFFF33;  // a block redrawn after a freeze
constexpr QRgb kCursor = 0xFFFFFFFF;
const QColor kSeparator(0x50, 0x50, 0x50);
const std::array<QColor, 2> kTrigLine = {QColor(0xFF, 0x40, 0x40), QColor(0x40, 0xA0, 0xFF)};
}  // namespace

ScopeView::ScopeView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (std::size_t i = 0; i < bufSeparator_.size(); ++i) MakeLineControl(bufSeparator_[i], this, QString("bufSeparator(%1)").arg(i + 1), kSeparator);
    for (std::size_t i = 0; i < trigline_.size(); ++i) {
        MakeLineControl(trigline_[i], this, QString("trigline(%1)").arg(i), kTrigLine[i]);
        trigline_[i].hide();
    }
}

void ScopeView::resizeEvent(QResizeEvent*)
{
    EnsurePicture();
    PlaceLines();
}

void ScopeView::PlaceLines()
{
    for (std::size_t i = 0; i < bufSeparator_.size(); ++i) {
        bufSeparator_[i].setGeometry(static_cast<int>(X(kBlockSize * static_cast<double>(i + 1))), 0, 1, height());
    }
    for (std::size_t i = 0; i < trigline_.size(); ++i) {
        trigline_[i].setGeometry(static_cast<int>(X(trigX_[i])), 0, 1, height());
    }
}

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

// The trace is written straight into the picture's pixels: a tick touches a
// few columns, and a painter's set-up would cost more than the drawing.
int ScopeView::Column(int ringIndex) const
{
    return static_cast<int>(static_cast<long long>(ringIndex) * picture_.width() / kRingSamples);
}

int ScopeView::Row(int sample) const { return sample * (picture_.height() - 1) / 255; }

QRgb* ScopeView::Pixel(int column, int row)
{
    // bits() once per stroke: scanLine() checks for sharing on every row.
    return reinterpret_cast<QRgb*>(picture_.bits() + static_cast<qsizetype>(row) * picture_.bytesPerLine()) + column;
}

void ScopeView::FillColumns(int firstColumn, int lastColumn, QRgb colour)
{
    firstColumn = std::max(firstColumn, 0);
    lastColumn = std::min(lastColumn, picture_.width() - 1);
    if (firstColumn > lastColumn) return;
    const qsizetype stride = picture_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb* line = Pixel(firstColumn, 0);
    for (int y = 0; y < picture_.height(); ++y, line += stride) std::fill(line, line + (lastColumn - firstColumn + 1), colour);
}

void ScopeView::Stroke(int column, int fromRow, int toRow, QRgb colour)
{
    if (column < 0 || column >= picture_.width()) return;
    fromRow = std::max(fromRow, 0);
    toRow = std::min(toRow, picture_.height() - 1);
    const qsizetype stride = picture_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb* pixel = Pixel(column, fromRow);
    for (int y = fromRow; y <= toRow; ++y, pixel += stride) *pixel = colour;
}

void ScopeView::Trace(const SampleArray& ring, int first, int last, QRgb colour)
{
    // One vertical stroke per column from the quietest to the loudest sample
    // in it, so a muzzle crack shorter than a column still shows at full height.
    last = std::min(last, kRingSamples);
    for (int column = Column(first); first <= last; ++column) {
        const int end = std::min(last, ColumnStart(column + 1) - 1);
        const auto [low, high] = std::minmax_element(ring.begin() + first, ring.begin() + end + 1);
        Stroke(column, Row(*low), Row(*high), colour);
        first = end + 1;
    }
}

int ScopeView::ColumnStart(int column) const
{
    // The first ring index that falls into a column.
    const long long w = picture_.width();
    return static_cast<int>((static_cast<long long>(column) * kRingSamples + w - 1) / w);
}

QRect ScopeView::OnScreen(int firstColumn, int lastColumn) const
{
    const qreal ratio = picture_.devicePixelRatio();
    const int left = static_cast<int>(firstColumn / ratio) - 1;
    const int right = static_cast<int>((lastColumn + 1) / ratio) + 2;
    return QRect(left, 0, right - left, height());
}

void ScopeView::DrawStretch(const SampleArray& ring, const SweepStretch& s)
{
    // The picture is made when the view is sized (and by Clear at every start).
    const int last = std::min(s.to + Step(), kRingSamples);
    FillColumns(Column(s.oldCursor), Column(s.oldCursor), kBackground);
    FillColumns(Column(s.from), Column(last), kBackground);
    FillColumns(Column(s.to), Column(s.to), kCursor);
    // The stretch's first column is traced whole again, so what the last
    // tick drew into it is not lost.
    Trace(ring, std::min(ColumnStart(Column(s.from)), s.from), last, kTrace);
    update(OnScreen(std::min(Column(s.oldCursor), Column(s.from)), std::max(Column(s.oldCursor), Column(last))));
}

void ScopeView::DrawBlock(const SampleArray& ring, int block)
{
    const int first = BlockStart(block);
    if (first < 0) return;
    const int last = first + kBlockSize - 1;
    EnsurePicture();
    FillColumns(Column(first), Column(std::min(last + Step(), kRingSamples)), kBackground);
    Trace(ring, first, last, kBlockTrace);
    update();
}

void ScopeView::SetTrigLine(int index, int ringIndex, bool visible)
{
    trigX_[static_cast<std::size_t>(index)] = ringIndex;
    PlaceLines();
    trigline_[static_cast<std::size_t>(index)].setVisible(visible);
}

void ScopeView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawImage(event->rect(), picture_, QRectF(event->rect().topLeft() * picture_.devicePixelRatio(),
                                                event->rect().size() * picture_.devicePixelRatio()));
}

}  // namespace quorvel
