// Where the main window's own controls stand, with their captions, tooltips
// and names; each part places its controls in the frame it is given.
#include <QShortcut>

#include "MainWindow.h"
#include "Placement.h"

namespace quorvel {

void MainWindow::BuildControls()
{
    setObjectName("frmMain");
    setWindowTitle("Quorvel");
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    setFont(font);

    // Measuring data, top left.
    Place(frmVelo, this, "frmVelo", 8, 4, 300, 178).setTitle("Measuring Data");
    const std::array<const char*, 6> dataCaptions = {"Velocity:", "Samples:", "Resolution:", "Accuracy:", "", "Shot:"};
    int row = 0;
    for (int i = 0; i < 6; ++i) {
        if (i == 4) {
            Place(lblVel[4], &frmVelo, "lblVel(4)", 0, 0, 0, 0).hide();  // no reading of its own
            continue;
        }
        Place(lblData[static_cast<std::size_t>(i)], &frmVelo, Indexed("lblData", i), 10, 24 + row * 28, 80, 20)
            .setText(dataCaptions[static_cast<std::size_t>(i)]);
        QLabel& value = Place(lblVel[static_cast<std::size_t>(i)], &frmVelo, Indexed("lblVel", i), 92, 24 + row * 28, 200, 20);
        QFont big = font;
        big.setPixelSize(i == 0 ? 16 : 12);
        big.setBold(i == 0 || i == 5);
        value.setFont(big);
        ++row;
    }

    // The right-hand column of buttons, always visible.
    struct Button {
        QPushButton& button;
        const char* name;
        const char* caption;
        const char* tip;
    };
    const Button buttons[] = {
        {StartButton, "StartButton", "&Start >>", "Start/stop shooting and measuring..."},
        {cmdAnalyze, "cmdAnalyze", "&Analyze  >>", "Analyze waveform and finetune trigger levels"},
        {cmdTestShot, "cmdTestShot", "&Calibration Shot >>", "Shoot a timed calibration shot "},
        {cmdSettings, "cmdSettings", "Sett&ings  >>", "Show/Hide settings"},
        {cmdExit, "cmdExit", "&Exit", "Goodbye"},
    };
    int y = 10;
    for (const Button& b : buttons) {
        Place(b.button, this, b.name, 316, y, 133, 28).setText(b.caption);
        b.button.setToolTip(b.tip);
        y += 34;
    }

    // Debug read-outs, beside the buttons in the large layout.
    Place(lblPBUF, this, "lblPBUF", 462, 10, 210, 16).setAccessibleDescription("Capture block and overruns");
    Place(debug2, this, "debug2", 462, 30, 210, 34).setText("sampling debug-data");
    Place(lclCalls, this, "lclCalls", 462, 70, 210, 64).setText("sampling debug-data");

    // The settings frames; the parts fill them.
    const std::array<const char*, 5> frameCaptions = {"General Settings", "Hardware", "Calibration", "Auto Analyze ", "Save"};
    const std::array<QRect, 5> frameRects = {QRect(8, 190, 330, 150), QRect(8, 345, 330, 128), QRect(346, 190, 325, 150),
                                             QRect(346, 345, 325, 62), QRect(346, 411, 325, 62)};
    for (std::size_t i = 0; i < 5; ++i) {
        const QRect& r = frameRects[i];
        Place(frmSettings[i], this, Indexed("frmSettings", static_cast<int>(i)), r.x(), r.y(), r.width(), r.height())
            .setTitle(frameCaptions[i]);
    }
    // The realtime scope, in the lower part of the large layout.
    Place(Frame3, this, "Frame3", 8, 478, 663, 128).setTitle("Realtime Waveform");

    Line1.setParent(this);
    Line1.setObjectName("Line1");
    Line1.setFrameShape(QFrame::HLine);
    Line1.setFrameShadow(QFrame::Sunken);
    Place(lblCredit[0], this, "lblCredit(0)", 0, 0, 220, 15).setText("Quorvel - contact the author");
    lblCredit[0].setToolTip(" Click to contact author");
    Place(lblCredit[1], this, "lblCredit(1)", 0, 0, 220, 15).setText("Quorvel - how to use it");
    lblCredit[1].setToolTip("Click to read the README that came with Quorvel");
    Place(lblLibrary, this, "lblLibrary", 0, 0, 220, 15).setText("Shot library… (Ctrl+L)");
    lblLibrary.setToolTip("Every string kept: compare, set flyers aside, export and report");
    auto* library = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    library->setObjectName("keyLibrary");
    connect(library, &QShortcut::activated, this, &MainWindow::ShowLibrary);
    Place(lblMeasureRecording, this, "lblMeasureRecording", 0, 0, 220, 15).setText("Measure Recording… (Ctrl+M)");
    lblMeasureRecording.setToolTip("Measure the shots in a recording from a phone or field recorder");
    auto* measure = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this);
    measure->setObjectName("keyMeasureRecording");
    connect(measure, &QShortcut::activated, this, [this] { MeasureRecording(); });
    Place(lblNoMicrophone, this, "lblNoMicrophone", 0, 0, 600, 15);
    lblNoMicrophone.setStyleSheet("color: #1a5fb4");
    lblNoMicrophone.hide();
    for (QLabel* credit : {&lblCredit[0], &lblCredit[1], &lblLibrary, &lblMeasureRecording, &lblNoMicrophone}) {
        credit->setAlignment(Qt::AlignCenter);
        credit->setCursor(Qt::PointingHandCursor);
        credit->installEventFilter(this);
    }
    resize(679, 693);
}

void MainWindow::LayOutBottom()
{
    const int left = frmVelo.x();
    const int lineY = height() - 80;  // 1200 twips above the bottom
    Line1.setGeometry(left, lineY, width() - 2 * left, 2);
    lblCredit[0].move((width() - lblCredit[0].width()) / 2, lineY + 7);
    lblCredit[1].move((width() - lblCredit[1].width()) / 2, lineY + 7 + lblCredit[0].height());
    const int links = lineY + 14 + 2 * lblCredit[0].height();
    lblLibrary.move(width() / 2 - lblLibrary.width() - 10, links);
    lblMeasureRecording.move(width() / 2 + 10, links);
    lblNoMicrophone.move((width() - lblNoMicrophone.width()) / 2, links + lblLibrary.height() + 2);
}

}  // namespace quorvel
