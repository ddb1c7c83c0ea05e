#include "ResultsWindow.h"

#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "IniFile.h"
#include "NumberText.h"

namespace quorvel {

namespace {

const QColor kReadoutBackground(0, 0, 64);
const QColor kNoticeBackground(192, 0, 0);
const QColor kHeadingBackground(0, 0, 192);

const std::array<const char*, 10> kHeadings = {"Muzzle Velocity", "Muzzle Energy", "Average", "Shot Num", "Difference",
                                               "Min", "Max", "Variation", "Std. Dev", "Total Energy"};
const std::array<const char*, 10> kTips = {"Velocity",
                                           "Muzzle Energy",
                                           "Average for string",
                                           "Shot counter (double click to reset)",
                                           "Velocity difference to previous shot",
                                           "Min measured velocity",
                                           "Max measured velocity",
                                           "Max - Min",
                                           "Standard Deviation",
                                           "Total used energy"};

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

void Colour(QLabel& label, const QColor& background)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::white);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
}

void PointSize(QLabel& label, double points)
{
    QFont font = label.font();
    font.setPointSizeF(std::max(points, 1.0));
    label.setFont(font);
    label.adjustSize();
}

}  // namespace

ResultsWindow::ResultsWindow(ShotString& string, const Settings& record, const UnitLabels& units, Dialogs& dialogs,
                             FileDialogs& fileDialogs)
    : string_(string), record_(record), units_(units), dialogs_(dialogs), fileDialogs_(fileDialogs)
{
    setObjectName("frmShooting");
    setWindowTitle("Quorvel - Shooting");
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);

    errTimer.setParent(this);
    errTimer.setObjectName("errTimer");
    errTimer.setInterval(5000);
    connect(&errTimer, &QTimer::timeout, this, &ResultsWindow::errTimer_Timer);
    QFont readoutFont;
    readoutFont.setFamilies({"Arial", "Liberation Sans"});
    readoutFont.setBold(true);
    BuildReadouts(readoutFont);
    BuildChart(readoutFont);
    resize(933, 657);
    Form_Load();
}

void ResultsWindow::BuildReadouts(const QFont& readoutFont)
{
    QFont headingFont;
    headingFont.setFamilies({"Tahoma", "DejaVu Sans"});
    headingFont.setPointSizeF(9);
    for (std::size_t i = 0; i < lblVelo.size(); ++i) {
        QLabel& v = lblVelo[i];
        v.setParent(this);
        v.setObjectName(QString("lblVelo(%1)").arg(i));
        v.setFont(readoutFont);
        v.setToolTip(kTips[i]);
        v.setAlignment((i == 3 || i == 4 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        Colour(v, kReadoutBackground);
        v.installEventFilter(this);
        QLabel& l = lblLabel[i];
        l.setParent(this);
        l.setObjectName(QString("lblLabel(%1)").arg(i));
        l.setFont(headingFont);
        l.setAlignment(Qt::AlignCenter);
        Colour(l, kHeadingBackground);
    }
    chartTitle_.setParent(this);
    chartTitle_.setObjectName("lblLabel(15)");
    chartTitle_.setText("ShotString");
    headingFont.setPointSizeF(9.75);
    chartTitle_.setFont(headingFont);
    chartTitle_.setAlignment(Qt::AlignCenter);
    Colour(chartTitle_, kHeadingBackground);
}

void ResultsWindow::BuildChart(const QFont& readoutFont)
{
    picHistory.setParent(this);
    picHistory.setObjectName("picHistory");
    for (std::size_t i = 0; i < lblScale.size(); ++i) {
        lblScale[i].setParent(&picHistory);
        lblScale[i].setObjectName(QString("lblScale(%1)").arg(i));
        lblScale[i].setStyleSheet("color: white; background: transparent;");
    }
    lblMistage.setParent(&picHistory);
    lblMistage.setObjectName("lblMistage");
    lblMistage.setFont(readoutFont);
    lblMistage.setAlignment(Qt::AlignCenter);
    lblMistage.setToolTip("Average for string");
    Colour(lblMistage, kNoticeBackground);
    lblMistage.hide();
}

void ResultsWindow::Form_Load()
{
    string_.ReloadReadouts();
    const QString speed = Q(TrimUnit(units_.SpeedUnit));
    const QString energy = Q(TrimUnit(units_.EnergyUnit));
    for (std::size_t i = 0; i < lblLabel.size(); ++i) {
        const bool energyHeading = i == 1 || i == 9;
        QString text = kHeadings[i];
        if (i != 3) text += " (" + (energyHeading ? energy : speed) + ")";
        lblLabel[i].setText(text);
    }
    ShowReadouts();
    Form_Activate();
    Form_Resize();
}

void ResultsWindow::Form_Activate()
{
    const QString speed = Q(TrimUnit(units_.SpeedUnit));
    if (record_.RetainedVelocity < 100) {
        lblLabel[0].setText("Muzzle Velocity (" + speed + ")");
    } else {
        lblLabel[0].setText("Average Velocity for " + Q(FormatPattern(record_.distance, "0.0")) + " (" + speed + ")");
    }
}

bool ResultsWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) Form_Resize();  // restored
    return QWidget::event(event);
}

void ResultsWindow::resizeEvent(QResizeEvent*) { Form_Resize(); }

void ResultsWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}

void ResultsWindow::ShowReadouts()
{
    for (std::size_t i = 0; i < lblVelo.size(); ++i) lblVelo[i].setText(Q(string_.Text(i)));
    Colour(lblVelo[0], string_.Notice() ? kNoticeBackground : kReadoutBackground);
    lblMistage.setText(Q(string_.BannerText()));
    lblMistage.setVisible(string_.BannerVisible());
}

void ResultsWindow::Form_Resize() { LayOut(string_.Count()); }

void ResultsWindow::LayOut(int count)
{
    if (isMinimized()) return;
    const int W = width();
    const double H = height();
    PointSize(lblVelo[0], H / 6);
    PointSize(lblVelo[1], H / 9);
    PointSize(lblVelo[2], H / 9);
    PointSize(lblVelo[3], H / 10);
    PointSize(lblVelo[4], H / 12);
    for (std::size_t i = 5; i <= 9; ++i) PointSize(lblVelo[i], H / 25);
    for (QLabel& heading : lblLabel) heading.adjustSize();

    auto& V = lblVelo;
    auto& L = lblLabel;
    for (std::size_t i : {0u, 1u, 2u}) V[i].move(W / 2 - V[i].width() / 2, V[i].y());
    V[0].move(V[0].x(), 2 * L[0].height());
    V[1].move(V[1].x(), V[0].y() + V[0].height() + V[1].height() / 5);
    V[2].move(V[2].x(), V[1].y() + V[1].height() + V[2].height() / 5);
    const auto gap = [](const QLabel& label) { return static_cast<int>(0.2 * label.width()); };
    V[3].move(V[0].x() - V[3].width() - gap(V[3]), V[0].y() + L[0].height());
    V[4].move(V[0].x() + V[0].width() + gap(V[4]), V[0].y() + L[0].height());
    V[5].move(V[2].x() + V[2].width() + gap(V[5]), V[2].y() + L[2].height());
    V[6].move(V[2].x() + V[2].width() + gap(V[6]), V[2].y() + V[2].height() - V[6].height());
    V[7].move(V[2].x() - V[7].width() - gap(V[7]), V[2].y() + L[2].height());
    V[8].move(V[2].x() - V[8].width() - gap(V[8]), V[2].y() + V[2].height() - V[8].height());
    V[9].move(V[1].x() + V[1].width() + gap(V[9]), V[1].y() + L[1].height());
    for (std::size_t i = 0; i < L.size(); ++i) {
        // A heading is as wide as its readout, or as its own words where
        // they are wider ("Total Energy (J)" over "12.3"): it grows away
        // from the main column, so it covers no other readout.
        const int width = std::max(V[i].width(), L[i].fontMetrics().horizontalAdvance(L[i].text()) + 4);
        int left = V[i].x();
        if (i <= 2) left = V[i].x() + (V[i].width() - width) / 2;
        if (i == 3 || i == 7 || i == 8) left = V[i].x() + V[i].width() - width;
        L[i].setGeometry(left, V[i].y() - L[i].height(), width, L[i].height());
    }

    const int chartTop = V[2].y() + V[2].height() + 2 * L[2].height();
    picHistory.setGeometry(0, chartTop, W, std::max(static_cast<int>(H) - chartTop, 1));
    const double scaleHeight = record_.VelocityMax - record_.VelocityMin;
    picHistory.SetScale((count + 1) * 100.0, scaleHeight);
    const double unitsPerPixel = scaleHeight / picHistory.height();
    const auto toPixels = [&](double units) { return unitsPerPixel != 0 ? static_cast<int>(units / unitsPerPixel) : 0; };
    lblScale[0].setText(Q(FormatPattern(record_.VelocityMax, "0")) + Q(units_.SpeedUnit));
    lblScale[1].setText(Q(FormatPattern(record_.VelocityMin, "0")) + Q(units_.SpeedUnit));
    for (QLabel& scale : lblScale) scale.adjustSize();
    const int oneUnitAcross = static_cast<int>(picHistory.width() / picHistory.ScaleWidth());
    lblScale[0].move(oneUnitAcross, toPixels(5));
    lblScale[1].move(oneUnitAcross, toPixels(scaleHeight - 5) - lblScale[1].height());
    chartTitle_.adjustSize();
    chartTitle_.setGeometry(0, chartTop - chartTitle_.height(), W, chartTitle_.height());
    QFont banner = lblMistage.font();
    banner.setPointSizeF(std::max(H / 8, 1.0));
    lblMistage.setFont(banner);
    lblMistage.setGeometry(0, 0, picHistory.width(), picHistory.height());
}

void ResultsWindow::DrawArray()
{
    picHistory.Draw(string_.Velocities(), string_.Count() - 1, record_.VelocityMin);
}

void ResultsWindow::Routed(const MeasuredShot&, bool counted)
{
    if (counted) DrawArray();
    ShowReadouts();
    // The layout sees the string before the new shot is counted, so the
    // newest shot lands on the chart's right edge.
    LayOut(counted ? string_.Count() - 1 : string_.Count());
}

void ResultsWindow::Noticed(const std::string&)
{
    ShowReadouts();
    Form_Resize();
    errTimer.start();
}

void ResultsWindow::errTimer_Timer()
{
    string_.ErrTimerTick();
    ShowReadouts();
    // The velocity readout shrinks back from "###.##": centre it again.
    Form_Resize();
}

void ResultsWindow::lblVelo_Click(int index)
{
    if (index == 3) emit newString();
}

void ResultsWindow::StringBegun()
{
    ShowReadouts();
    picHistory.SetScale(100, picHistory.ScaleHeight());
    picHistory.Clear();
    Form_Resize();
}

bool ResultsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (std::size_t i = 0; i < lblVelo.size(); ++i) {
            if (watched == &lblVelo[i]) lblVelo_Click(static_cast<int>(i));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ResultsWindow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction("Copy", this, &ResultsWindow::CopyString);
    menu.addAction("Export CSV…", this, &ResultsWindow::ExportCsv);
    menu.addSeparator();
    QAction* exclude = menu.addAction("Exclude last shot", this, &ResultsWindow::ExcludeLastShot);
    exclude->setShortcut(Qt::Key_Delete);
    exclude->setEnabled(string_.Count() > 0);
    menu.addAction("Include the shot excluded last", this, &ResultsWindow::IncludeExcludedShot)
        ->setEnabled(string_.HasExcluded());
    menu.addAction("String details…", this, &ResultsWindow::detailsWanted);
    menu.addAction("Library…", this, &ResultsWindow::libraryWanted);
    menu.exec(event->globalPos());
}

void ResultsWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete) {
        ExcludeLastShot();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ResultsWindow::ExcludeLastShot()
{
    if (const int number = string_.ExcludeLast()) {
        Redraw();
        emit shotExcluded(number, true);
    }
}

void ResultsWindow::IncludeExcludedShot()
{
    if (const int number = string_.IncludeExcluded()) {
        Redraw();
        emit shotExcluded(number, false);
    }
}

void ResultsWindow::Redraw()
{
    ShowReadouts();
    LayOut(std::max(string_.Count() - 1, 0));
    picHistory.Clear();
    if (string_.Count() > 0) DrawArray();
}

void ResultsWindow::CopyString() { QApplication::clipboard()->setText(Q(string_.Table('\t', units_))); }

void ResultsWindow::ExportCsv()
{
    const std::string path = fileDialogs_.SaveFileName("Export CSV", "shots.csv", "CSV files (*.csv);;All files (*)");
    if (path.empty()) return;
    const std::string failure = WriteFileAtomically(path, string_.Table(',', units_));
    if (!failure.empty()) dialogs_.Critical("Error", "Cannot export the shot string: " + failure);
}

}  // namespace quorvel
