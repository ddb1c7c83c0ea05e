// The main window's own controls, with their captions, tooltips and
// described names, and where they stand. The parts (settings fields,
// hardware frame, scope) fill the frames given to them.
#pragma once

#include <array>

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

namespace quorvel {

struct MainControls {
    // Places every control in `window`; the links report clicks to `clicks`.
    void Build(QWidget& window, QObject& clicks);
    // The line and links along the bottom follow the window's height.
    void LayOutBottom(QWidget& window);

    QGroupBox frmVelo;
    std::array<QLabel, 6> lblData;
    std::array<QLabel, 6> lblVel;
    QPushButton StartButton;
    QPushButton cmdAnalyze;
    QPushButton cmdTestShot;
    QPushButton cmdSettings;
    QPushButton cmdExit;
    QLabel lblPBUF;
    QLabel debug2;
    QLabel lclCalls;
    std::array<QGroupBox, 5> frmSettings;
    QGroupBox Frame3;
    QFrame Line1;
    std::array<QLabel, 2> lblCredit;
    QLabel lblLibrary;
    QLabel lblMeasureRecording;
    QLabel lblNoMicrophone;
    QTimer tmrRemoveTrigLines;
    QShortcut* keyLibrary = nullptr;
    QShortcut* keyMeasureRecording = nullptr;

private:
    void BuildReadouts(QWidget& window);
    void BuildButtons(QWidget& window);
    void BuildFrames(QWidget& window);
    void BuildLinks(QWidget& window, QObject& clicks);
};

}  // namespace quorvel
