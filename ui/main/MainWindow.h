// frmMain: the shooter's first window. It owns the capture engine, the
// detector, the settings record and panel, and the realtime scope; it loads
// the settings at start and writes them back at the end. Handlers keep the
// names of the controls and events they serve (StartButton_Click, ...), so a
// reader finds each behaviour by the control it belongs to.
#pragma once

#include <array>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include "AnalysisWindow.h"
#include "AudioInputs.h"
#include "CalibrationWindow.h"
#include "CaptureEngine.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FileDialogs.h"
#include "LiveRecordingDevice.h"
#include "Mixer.h"
#include "ScopeSweep.h"
#include "ScopeView.h"
#include "ResultsWindow.h"
#include "Settings.h"
#include "ShotString.h"
#include "Shell.h"
#include "ShotDetector.h"
#include "SignalWaker.h"

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
};

inline constexpr const char* kContactUrl = "https://quorvel.example/contact";
inline constexpr const char* kHomeUrl = "https://quorvel.example/";

class MainWindow final : public QWidget, private BlockConsumer, private AnalysisHost, private CalibrationHost {
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
    void DoStart() override;
    void DoStop() override;
    void signal_Timer();
    void DrawTimer_Timer();
    void tmrRemoveTrigLines_Timer();
    void cmbFreq_Change();
    void DevicesBox_Change();
    bool InitDevices();
    void txtInfo_GotFocus(int index);
    void txtInfo_LostFocus(int index);
    void chkAutosave_Click();
    void optUnits_Click();
    void lblCredit_Click(int index);
    void scrVolume_Change();
    // Reads the chosen device's level into the volume scroll bar and label.
    void RefreshVolume();
    void FreezeForAnalysis();
    void DeviceFailed(const std::string& reason);

    const Settings& Record() const override { return record_; }
    double SampleTimeMs() const { return sampleTimeMs_; }
    bool PanelOpen() const { return panelOpen_; }
    bool Ended() const { return ended_; }
    const CaptureEngine& Engine() const { return engine_; }
    const ShotDetector& Detector() const { return detector_; }
    const ShotString& String() const { return string_; }
    // The results window, created on first use and after it was closed.
    ResultsWindow& Results();
    bool ResultsOpen() const { return results_ != nullptr; }
    // The analysis window, created on first use and after it was closed.
    AnalysisWindow& Analysis();
    bool AnalysisVisible() const { return analysis_ && analysis_->isVisible(); }
    CalibrationWindow& Calibration();
    void AutoSaveShot();
    SettingsPanel PanelFromControls() const;
    Switches SwitchesFromControls() const;

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool OnBlock(const SampleArray& ring, int block) override;
    void ShowOutcome(const BlockOutcome& outcome);
    void ApplyLoadedSettings(const LoadedSettings& loaded);
    void ShowUnitLabels();
    void RefreshDevices();
    void SetBoxColour(int index, const QColor& colour);
    void RestoreBoxColour(int index);
    void LayOutBottom();
    void BuildControls();
    void ShowOverruns();
    std::string ChosenDeviceId() const;
    std::string ProgramFolder() const;
    void UnloadAnalysis();
    // Unrolls the ring into the waveform and opens the analysis window on it.
    void OpenAnalysisOnRecording(const std::string& caption);
    std::function<void()> Yield() const;

    // What the analysis window asks of the main window.
    std::string VolumeBox(bool muzzle) const override;
    void SetVolumeBox(bool muzzle, const std::string& text) override;
    std::pair<std::int16_t, std::int16_t> TakeVolumes() override;
    TriggerWindow WindowFor(double sampleTimeMs) override;
    std::string_view SpeedUnit() const override { return units_.SpeedUnit; }
    void SetMainEnabled(bool enabled) override;
    void AnalysisClosed(bool unload) override;

    // What the calibration window asks of the main window.
    void AnalyseRecording() override;
    void ReturnFromCalibration() override;
    bool Ending() const override { return ended_; }

    MainServices services_;
    Settings record_;
    UnitLabels units_ = SetUnitLabels(0);
    double sampleTimeMs_ = 0;
    std::vector<InputDevice> deviceList_;  // the qualifying devices, in list order
    ScopeSweep sweep_;
    double lastBlockMs_ = 0;
    int handedBlock_ = 0;
    bool settingsLoading_ = false;
    bool inFreqChange_ = false;
    bool inFieldLeave_ = false;
    bool panelOpen_ = true;  // the window is designed large
    bool drawBusy_ = false;
    bool ended_ = false;
    bool settingsLoaded_ = false;
    bool devicesChanged_ = false;  // while recording; the list follows at stop
    bool volumeMoved_ = false;     // the shooter moved the volume bar in this run
    bool volumeFailed_ = false;    // a level could not be set: the bar stays off

    ShotString string_;  // outlives the results window
    std::unique_ptr<ResultsWindow> results_;
    std::unique_ptr<AnalysisWindow> analysis_;
    std::unique_ptr<CalibrationWindow> calibration_;
    std::string freezeCaption_ = "Analyze";
    bool autosaveFailed_ = false;  // the message is shown once, until a save works again
    SignalWaker signal_;
    CaptureEngine engine_;
    ShotDetector detector_;
    QTimer DrawTimer;
    QTimer tmrRemoveTrigLines;
    QTimer deviceWatchdog_;

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
    std::array<QLineEdit, 9> txtInfo;
    std::array<QLabel, 22> lblInfo;
    std::array<QRadioButton, 2> optUnits;
    QComboBox DevicesBox;
    QComboBox cmbFreq;
    QScrollBar scrVolume;
    QLabel lblVolume;
    QLabel lblErr;
    std::array<QCheckBox, 3> chkFreeze;
    QCheckBox chkAutosave;
    QCheckBox chkSaveExt;
    QCheckBox chkSaveWaveform;
    QGroupBox Frame3;
    std::array<QRadioButton, 2> optWave;
    ScopeView scope;
    std::array<QLabel, 2> lblX1;
    QFrame Line1;
    std::array<QLabel, 2> lblCredit;
};

}  // namespace quorvel
