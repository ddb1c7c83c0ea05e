// The "Realtime Waveform" frame: the scope, its two axis labels and the
// Static / Moving window switch, and the DrawTimer that sweeps the recording
// onto the scope 300 ms behind real time while the settings side of the
// main window is open.
#pragma once

#include <array>

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

#include "CaptureRing.h"
#include "Clock.h"
#include "ScopeSweep.h"
#include "ScopeView.h"

namespace quorvel {

class ScopePanel final : public QObject {
    Q_OBJECT
public:
    ScopePanel(QGroupBox& frame, Clock& clock, const SampleArray& ring);

    // Recording starts: a clear picture, swept from the left edge.
    void Start();
    // A start that failed: the last recording's trace would pass for this one's.
    void Clear() { scope.Clear(); }
    // Recording stops; returns once a drawing in progress has finished.
    void Stop();
    void DrawTimer_Timer();
    void SetSampleTime(double sampleTimeMs, int drawIntervalMs);
    void SetPanelOpen(bool open);
    // The axis labels once the rate is known ("-1000 ms" until then).
    void ShowScale(double sampleTimeMs);
    bool ScaleShown() const { return lblX1[1].text() != "-1000 ms"; }
    // The three newest blocks in yellow, as they were when the recording froze.
    void ShowFrozen(int currentBlock);
    void HideTrigLines() { SetTrigLines(false); }
    void SetTrigLines(bool visible);

    ScopeView scope;

private:
    Clock& clock_;
    const SampleArray& ring_;
    ScopeSweep sweep_;
    QTimer DrawTimer;
    double sampleTimeMs_ = 0;
    bool panelOpen_ = true;
    bool recording_ = false;
    bool drawBusy_ = false;
    std::array<QRadioButton, 2> optWave;
    std::array<QLabel, 2> lblX1;
};

}  // namespace quorvel
