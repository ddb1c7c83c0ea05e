// frmAnalyze: re-analysis of the recorded (or opened) waveform. Every
// activation searches it again with the settings in force, with the live
// detection method itself, so the markers show exactly the samples the
// detector would pick. Dragging a level line sets the trigger volume (the
// main window's box follows) and searches again at once. The window reads
// and sets the settings through their model, and talks to the main window
// only through AnalysisHost.
#pragma once

#include <array>

#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

#include "AnalysisModel.h"
#include "LevelAdvicePanel.h"
#include "Dialogs.h"
#include "FileDialogs.h"
#include "SettingsModel.h"
#include "SoundOutput.h"
#include "WaveformPlayer.h"
#include "WaveformViews.h"

namespace quorvel {

class AnalysisHost {
public:
    virtual void SetMainEnabled(bool enabled) = 0;
    // The exit step's effects on the main window; `unload` when the window
    // was closed with its close box and is to be loaded afresh next time.
    virtual void AnalysisClosed(bool unload) = 0;
    // "Measure Recording…" from the File menu.
    virtual void MeasureRecordingFile() = 0;
    // The program is ending: every wait gives up.
    virtual bool Ending() const = 0;

protected:
    ~AnalysisHost() = default;
};

inline constexpr const char* kWaveFilter = "Wave-Audio (96Khz 8-bit mono) (*.wav);;All files (*)";

class AnalysisWindow final : public QWidget {
    Q_OBJECT
public:
    AnalysisWindow(AnalysisHost& host, SettingsModel& settings, Clock& clock, Dialogs& dialogs, FileDialogs& fileDialogs, SoundOutput& output,
                   std::string programFolder, std::function<void()> yield);

    // A waveform to analyse (the frozen recording or an opened file).
    void SetWaveform(const SampleArray& waveform, std::int32_t rate, bool present);
    void Form_Activate();
    void Form_Unload(bool unload = false);
    void Form_Resize();
    void DrawZoomArray();
    void DrawAllArray();
    void UpdateViewTexts();
    void MoveLevelLines();
    void mnuFile_Click(int index);
    void Form_KeyPress(char key);
    void mnuTools_Click(int index);
    void PlayRange(int from, int to) { player_.PlayRange(from, to); }
    void tmrPlay_Timer() { player_.tmrPlay_Timer(); }
    bool Playing() const { return player_.Playing(); }

    const AnalysisModel& Model() const { return model_; }
    const LevelAdvicePanel& Advice() const { return advice_; }
    int DragLine() const { return dragLine_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenu();
    void BuildViews();
    void OverviewMouse(QMouseEvent* event, QEvent::Type type);
    void ZoomMouse(QMouseEvent* event, QEvent::Type type);
    double MinZoomWidth() const { return picAnalyze.width() / 10.0; }
    // The suggestion follows the waveform and the velocity limits, not the volumes.
    void RefreshAdvice();

    AnalysisHost& host_;
    SettingsModel& settings_;
    Clock& clock_;
    Dialogs& dialogs_;
    FileDialogs& fileDialogs_;
    AnalysisModel model_;
    int dragLine_ = 0;
    ZoomDrag zoomDrag_ = ZoomDrag::None;

    QMenuBar menu_;
    OverviewView picAll;
    ZoomView picAnalyze;
    std::array<QLabel, 8> lblX1;
    QCheckBox chkTrack;
    LevelAdvicePanel advice_{this};
    bool adviceStale_ = true;
    std::pair<std::int32_t, std::int32_t> adviceWindow_{-1, -1};
    WaveformPlayer player_;  // after the views it points at
};

}  // namespace quorvel
