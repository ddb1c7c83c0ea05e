// frmMain: the shooter's first window, and the wiring of the parts behind
// it. It holds the controls (MainControls) and the parts, and passes each
// control's event to the part that does the work: the settings model and
// fields, the hardware frame, the scope, the recording controller (which
// owns the measuring session and the recording state), the shot route, the
// hosted windows, Measure Recording and the shot library. It loads the
// settings at start and writes them back at the end. Handlers keep the
// names of the controls and events they serve (StartButton_Click, ...), so
// a reader finds each behaviour by the control it belongs to.
#pragma once

#include <string>

#include <QWidget>

#include "AudioInputs.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FileDialogs.h"
#include "FileMeasuring.h"
#include "HardwarePanel.h"
#include "LibraryLink.h"
#include "LiveRecordingDevice.h"
#include "MainControls.h"
#include "MethodChoice.h"
#include "Mixer.h"
#include "RecordingController.h"
#include "ScopePanel.h"
#include "SessionView.h"
#include "SettingsFields.h"
#include "SettingsModel.h"
#include "Shell.h"
#include "ShotRouter.h"
#include "WindowHosts.h"

namespace quorvel {

struct MainServices {
    LiveRecordingDevice& device;
    AudioInputs& inputs;
    Clock& clock;
    Dialogs& dialogs;
    Shell& shell;
    FileDialogs& fileDialogs;
    Mixer& mixer;
    SoundOutput& output;
    std::string settingsPath;
    // Lets the event loop run while a wait goes on; tests move a fake clock here.
    std::function<void()> yield = {};
    // The README shipped with the program, opened by the second credit label.
    std::string readmePath = {};
    // Where the shot data file and waveforms go; beside the settings when empty.
    std::string dataFolder = {};
    // The demo recording shipped with the program, for trying it without a microphone.
    std::string demoPath = {};
};

class MainWindow final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(MainServices services);
    ~MainWindow() override;

    // Start-up. Returns false when the program has to end (no settings file).
    bool Form_Load();
    // The one orderly way out: stop, save the settings, end.
    void DoEnd();

    void StartButton_Click();
    void cmdSettings_Click();
    void cmdAnalyze_Click();
    void cmdTestShot_Click();
    void tmrRemoveTrigLines_Timer();
    void cmbFreq_Change();
    void lblCredit_Click(int index);
    SettingsPanel PanelFromControls() const;

    // The parts, for the program's entry and its tests.
    const SettingsModel& Settings() const { return settings_; }
    RecordingController& Recording() { return recording_; }
    ShotRouter& Router() { return router_; }
    WindowHosts& Hosts() { return hosts_; }
    FileMeasuring& Files() { return files_; }
    LibraryLink& Library() { return library_; }
    HardwarePanel& Hardware() { return hardware_; }
    ScopePanel& Scope() { return scope_; }

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Connect();
    void FieldLeft(const FieldLeave& after);
    // The recording opened or closed: buttons, fields, scope follow.
    void ShowRecording(bool recording);
    // The recording froze: the scope keeps its last picture, the analysis window opens.
    void ShowFrozen();
    // The sound server's devices changed (or were first listed).
    void ListDevices();
    // No recording device: a line points to the demo recording.
    void ShowNoMicrophone();

    MainServices services_;
    const std::string dataFolder_;  // where the shot data file and waveforms go
    bool panelOpen_ = true;         // the window is designed large
    MainControls controls_;
    SettingsModel settings_;
    SettingsFields fields_;
    HardwarePanel hardware_;
    MethodChoice method_;
    ShotRouter router_;  // its string outlives the results window
    SessionView view_;
    RecordingController recording_;
    ScopePanel scope_;
    LibraryLink library_;
    WindowHosts hosts_;
    FileMeasuring files_;
};

}  // namespace quorvel
