#include "ScopePanel.h"

#include <QApplication>

#include "PanelRules.h"
#include "Placement.h"

namespace quorvel {

ScopePanel::ScopePanel(QGroupBox& frame, Clock& clock, const SampleArray& ring)
    : QObject(&frame), clock_(clock), ring_(ring)
{
    setObjectName("scopePanel");
    Place(optWave[0], &frame, "optWave(0)", 10, 16, 70, 20).setText("Static");
    Place(optWave[1], &frame, "optWave(1)", 84, 16, 120, 20).setText("Moving window");
    optWave[1].setChecked(true);
    Place(scope, &frame, "scope", 10, 38, 643, 68);
    Place(lblX1[0], &frame, "lblX1(0)", 10, 108, 160, 14).setText("0 ms");
    Place(lblX1[1], &frame, "lblX1(1)", 493, 108, 160, 14).setText("-1000 ms");
    lblX1[1].setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    DrawTimer.setParent(this);
    DrawTimer.setObjectName("DrawTimer");
    DrawTimer.setInterval(50);
    DrawTimer.setTimerType(Qt::PreciseTimer);
    connect(&DrawTimer, &QTimer::timeout, this, &ScopePanel::DrawTimer_Timer);
    scope.SetTrigLine(0, 0, false);
    scope.SetTrigLine(1, 0, false);
}

void ScopePanel::Start()
{
    scope.Clear();
    sweep_.Start(clock_.NowMs());
    recording_ = true;
    if (panelOpen_) DrawTimer.start();
}

void ScopePanel::SetPanelOpen(bool open)
{
    // With the scope hidden nothing is drawn, so nothing needs waking; the
    // sweep goes on from where it was when the panel opens again.
    panelOpen_ = open;
    if (open && recording_) DrawTimer.start();
    if (!open) DrawTimer.stop();
}

void ScopePanel::Stop()
{
    recording_ = false;
    DrawTimer.stop();
    while (drawBusy_) QApplication::processEvents();
}

void ScopePanel::SetSampleTime(double sampleTimeMs, int drawIntervalMs)
{
    sampleTimeMs_ = sampleTimeMs;
    DrawTimer.setInterval(drawIntervalMs);
}

void ScopePanel::ShowScale(double sampleTimeMs)
{
    lblX1[0].setText("|<- 0 ms");
    lblX1[1].setText(QString::fromStdString(RingDurationText(sampleTimeMs)));
}

void ScopePanel::DrawTimer_Timer()
{
    if (!panelOpen_ || drawBusy_ || !DrawTimer.isActive()) return;
    const SweepStretch stretch = sweep_.Next(clock_.NowMs(), sampleTimeMs_);
    if (!stretch.draw) return;
    drawBusy_ = true;
    scope.DrawStretch(ring_, stretch);
    sweep_.Drawn(stretch);
    drawBusy_ = false;
}

void ScopePanel::ShowFrozen(int currentBlock)
{
    scope.DrawBlock(ring_, currentBlock);
    scope.DrawBlock(ring_, Wrapped(currentBlock - 1));
    scope.DrawBlock(ring_, Wrapped(currentBlock - 2));
}

void ScopePanel::SetTrigLines(bool visible)
{
    scope.SetTrigLine(0, scope.TrigLineX(0), visible);
    scope.SetTrigLine(1, scope.TrigLineX(1), visible);
}

}  // namespace quorvel
