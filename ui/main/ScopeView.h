// The realtime scope: a picture whose x axis is the ring (0 to 144000) and
// whose y axis is the raw sample value. Traces are drawn into a kept image,
// the way a picture box with its own memory keeps what was drawn on it; the
// block separators and the two trigger lines are separate line controls on
// top of it.
#pragma once

#include <array>

#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include "CaptureRing.h"
#include "ScopeSweep.h"

namespace quorvel {

class ScopeView final : public QWidget {
    Q_OBJECT
public:
    explicit ScopeView(QWidget* parent = nullptr);

    void Clear();
    // Erases the old cursor and the new stretch, draws the cursor at the
    // stretch's end and the trace of the stretch, one stroke per column.
    void DrawStretch(const SampleArray& ring, const SweepStretch& stretch);
    // Redraws one whole block in yellow; block numbers below 1 draw nothing.
    void DrawBlock(const SampleArray& ring, int block);

    void SetTrigLine(int index, int ringIndex, bool visible);
    bool TrigLineVisible(int index) const { return !trigline_[static_cast<std::size_t>(index)].isHidden(); }
    int TrigLineX(int index) const { return trigX_[static_cast<std::size_t>(index)]; }
    std::int32_t Step() const { return ScopeStep(width()); }
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EnsurePicture();
    double X(double ringIndex) const;
    int Column(int ringIndex) const;  // in the picture's own pixels
    int Row(int sample) const;
    QRgb* Pixel(int column, int row);
    void FillColumns(int firstColumn, int lastColumn, QRgb colour);
    void Stroke(int column, int fromRow, int toRow, QRgb colour);
    void Trace(const SampleArray& ring, int first, int last, QRgb colour);
    QRect OnScreen(int firstColumn, int lastColumn) const;
    int ColumnStart(int column) const;
    void PlaceLines();


    QImage picture_;
    std::array<int, 2> trigX_{};
    // The line controls over the picture: block separators and trigger lines.
    std::array<QFrame, 4> bufSeparator_;
    std::array<QFrame, 2> trigline_;
};

}  // namespace quorvel
