#include "MainControls.h"

#include "Placement.h"

namespace quorvel {

void MainControls::Build(QWidget& window, QObject& clicks)
{
    window.setObjectName("frmMain");
    window.setWindowTitle("Quorvel");
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    window.setFont(font);
    BuildReadouts(window);
    BuildButtons(window);
    BuildFrames(window);
    BuildLinks(window, clicks);
    tmrRemoveTrigLines.setParent(&window);
    tmrRemoveTrigLines.setObjectName("tmrRemoveTrigLines");
    tmrRemoveTrigLines.setSingleShot(true);
    tmrRemoveTrigLines.setInterval(1500);
    window.resize(679, 693);
}

void MainControls::BuildReadouts(QWidget& window)
{
    // Measuring data, top left.
    Place(frmVelo, &window, "frmVelo", 8, 4, 300, 178).setTitle("Measuring Data");
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
        QFont big = window.font();
        big.setPixelSize(i == 0 ? 16 : 12);
        big.setBold(i == 0 || i == 5);
        value.setFont(big);
        ++row;
    }
}

void MainControls::BuildButtons(QWidget& window)
{
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
        Place(b.button, &window, b.name, 316, y, 133, 28).setText(b.caption);
        b.button.setToolTip(b.tip);
        y += 34;
    }
    // Debug read-outs, beside the buttons in the large layout.
    Place(lblPBUF, &window, "lblPBUF", 462, 10, 210, 16).setAccessibleDescription("Capture block and overruns");
    Place(debug2, &window, "debug2", 462, 30, 210, 34).setText("sampling debug-data");
    Place(lclCalls, &window, "lclCalls", 462, 70, 210, 64).setText("sampling debug-data");
}

void MainControls::BuildFrames(QWidget& window)
{
    // The settings frames; the parts fill them.
    const std::array<const char*, 5> frameCaptions = {"General Settings", "Hardware", "Calibration", "Auto Analyze ", "Save"};
    const std::array<QRect, 5> frameRects = {QRect(8, 190, 330, 150), QRect(8, 345, 330, 128), QRect(346, 190, 325, 150),
                                             QRect(346, 345, 325, 62), QRect(346, 411, 325, 62)};
    for (std::size_t i = 0; i < 5; ++i) {
        const QRect& r = frameRects[i];
        Place(frmSettings[i], &window, Indexed("frmSettings", static_cast<int>(i)), r.x(), r.y(), r.width(), r.height())
            .setTitle(frameCaptions[i]);
    }
    // The realtime scope, in the lower part of the large layout.
    Place(Frame3, &window, "Frame3", 8, 478, 663, 128).setTitle("Realtime Waveform");
}

void MainControls::BuildLinks(QWidget& window, QObject& clicks)
{
    Line1.setParent(&window);
    Line1.setObjectName("Line1");
    Line1.setFrameShape(QFrame::HLine);
    Line1.setFrameShadow(QFrame::Sunken);
    Place(lblCredit[0], &window, "lblCredit(0)", 0, 0, 220, 15).setText("Quorvel - contact the author");
    lblCredit[0].setToolTip(" Click to contact author");
    Place(lblCredit[1], &window, "lblCredit(1)", 0, 0, 220, 15).setText("Quorvel - how to use it");
    lblCredit[1].setToolTip("Click to read the README that came with Quorvel");
    Place(lblLibrary, &window, "lblLibrary", 0, 0, 220, 15).setText("Shot library… (Ctrl+L)");
    lblLibrary.setToolTip("Every string kept: compare, set flyers aside, export and report");
    keyLibrary = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &window);
    keyLibrary->setObjectName("keyLibrary");
    Place(lblMeasureRecording, &window, "lblMeasureRecording", 0, 0, 220, 15).setText("Measure Recording… (Ctrl+M)");
    lblMeasureRecording.setToolTip("Measure the shots in a recording from a phone or field recorder");
    keyMeasureRecording = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_M), &window);
    keyMeasureRecording->setObjectName("keyMeasureRecording");
    Place(lblNoMicrophone, &window, "lblNoMicrophone", 0, 0, 600, 15);
    lblNoMicrophone.setStyleSheet("color: #1a5fb4");
    lblNoMicrophone.hide();
    for (QLabel* link : {&lblCredit[0], &lblCredit[1], &lblLibrary, &lblMeasureRecording, &lblNoMicrophone}) {
        link->setAlignment(Qt::AlignCenter);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(&clicks);
    }
}

void MainControls::LayOutBottom(QWidget& window)
{
    const int left = frmVelo.x();
    const int width = window.width();
    const int lineY = window.height() - 80;  // 1200 twips above the bottom
    Line1.setGeometry(left, lineY, width - 2 * left, 2);
    lblCredit[0].move((width - lblCredit[0].width()) / 2, lineY + 7);
    lblCredit[1].move((width - lblCredit[1].width()) / 2, lineY + 7 + lblCredit[0].height());
    const int links = lineY + 14 + 2 * lblCredit[0].height();
    lblLibrary.move(width / 2 - lblLibrary.width() - 10, links);
    lblMeasureRecording.move(width / 2 + 10, links);
    lblNoMicrophone.move((width - lblNoMicrophone.width()) / 2, links + lblLibrary.height() + 2);
}

}  // namespace quorvel
