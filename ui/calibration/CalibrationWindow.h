// frmTestshot: a timed calibration shot. After the countdown the shooter
// has 1.5 s to fire; the recording then opens in the analysis window for
// tuning the trigger volumes. The countdown waits with the event loop
// running, so Cancel, the capture engine and repaints carry on meanwhile.
#pragma once

#include <array>
#include <functional>

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWidget>

#include "Clock.h"

namespace quorvel {

class CalibrationHost {
public:
    virtual void DoStart() = 0;
    virtual void DoStop() = 0;
    // The recording becomes the analysis window's waveform and the window opens.
    virtual void AnalyseRecording() = 0;
    // The main window is given back to the shooter.
    virtual void ReturnFromCalibration() = 0;
    // The program is ending: every wait gives up.
    virtual bool Ending() const = 0;

protected:
    ~CalibrationHost() = default;
};

inline constexpr float kFireSeconds = 1.5f;

// Waits `seconds` by the clock while `yield` lets the event loop run; gives
// up early when `abort` says so. Returns false when it gave up.
bool WaitSeconds(Clock& clock, float seconds, const std::function<void()>& yield, const std::function<bool()>& abort);

class CalibrationWindow final : public QWidget {
    Q_OBJECT
public:
    CalibrationWindow(CalibrationHost& host, Clock& clock, std::function<void()> yield);

    void Form_Activate();
    void cmdStart_Click(int index);
    bool Counting() const { return counting_; }
    // The countdown length the seconds control shows.
    int Seconds() const { return -scrTimer.value(); }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CalibrationShot();
    void ClosingSteps();
    bool Wait(float seconds, bool cancellable);

    CalibrationHost& host_;
    Clock& clock_;
    std::function<void()> yield_;
    bool cancelRequested_ = false;
    bool counting_ = false;

    QLabel Label1;
    QLabel lblBigTime;
    QLabel lblSmallTime;
    QLabel lblFire;
    QFrame Line1;
    QScrollBar scrTimer;
    QLabel Label2;
    std::array<QPushButton, 2> cmdStart;
};

}  // namespace quorvel
