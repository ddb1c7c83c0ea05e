// frmMain: the shooter's first window. It owns the settings record, the
// measuring session and the shot string, and wires the parts together: the
// settings fields, the hardware frame, the scope, and the results, analysis
// and calibration windows. It loads the settings at start and writes them
// back at the end. Handlers keep the names of the controls and events they
// serve (StartButton_Click, ...), so a reader finds each behaviour by the
// control it belongs to.
#pragma once

#include <array>
#include <memory>
#include <string>

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "AnalysisWindow.h"
#include "AudioInputs.h"
#include "CalibrationWindow.h"
#include "Clock.h"
#include "Dialogs.h"
#include "FileDialogs.h"
#include "HardwarePanel.h"
#include "RecordingRun.h"
#include "LibraryLink.h"
#include "LiveRecordingDevice.h"
#include "MeasuringSession.h"
#include "Mixer.h"
#include "ResultsWindow.h"
#include "ScopePanel.h"
#include "Settings.h"
#include "SettingsFields.h"
#include "Shell.h"
#include "ShotRouter.h"

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


class MainWindow final : public QWidget, private SessionListener, private AnalysisHost, private CalibrationHost,
                         private RouteListener {
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
    void tmrRemoveTrigLines_Timer();
    void cmbFreq_Change();
    void lblCredit_Click(int index);
    void FreezeForAnalysis();

    const Settings& Record() const override { return record_; }
    double SampleTimeMs() const { return sampleTimeMs_; }
    bool PanelOpen() const { return panelOpen_; }
    bool Ended() const { return ended_; }
    MeasuringSession& Session() { return session_; }
    const CaptureEngine& Engine() const { return session_.Engine(); }
    ShotRouter& Router() { return router_; }
    const ShotRouter& Router() const { return router_; }
    HardwarePanel& Hardware() { return hardware_; }
    ScopePanel& Scope() { return scope_; }
    const ShotString& String() const { return router_.String(); }
    // The results window, created on first use and after it was closed.
    ResultsWindow& Results();
    bool ResultsOpen() const { return results_ != nullptr; }
    // The analysis window, created on first use and after it was closed.
    AnalysisWindow& Analysis();
    bool AnalysisVisible() const { return analysis_ && analysis_->isVisible(); }
    CalibrationWindow& Calibration();
    SettingsPanel PanelFromControls() const;
    // The shot library window, in front (lblLibrary, Ctrl+L, the results window's menu).
    void ShowLibrary();
    LibraryLink& Library() { return library_; }
    // "Measure Recording…": measures `path` (asked for when empty) into a new
    // string, with a progress dialog over `over` (this window when null).
    void MeasureRecording(std::string path = {}, QWidget* over = nullptr);
    RecordingRun* Run() { return run_.get(); }

signals:
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The measuring session's questions and news.
    MeasureContext Context() const override;
    AutosaveTarget AutosaveTo() const override;
    void BlockHanded(int block) override;
    void Show(const ShotView& view) override;
    void Freeze() override { FreezeForAnalysis(); }
    void DeviceFailed(const std::string& reason) override;
    // What the shot route tells the results window (made when first needed).
    void Routing() override { Results(); }
    void Routed(const MeasuredShot& shot, bool counted) override { Results().Routed(shot, counted); }
    void Noticed(const std::string& text) override { Results().Noticed(text); }
    void StringBegun() override { Results().StringBegun(); }

    void ApplyLoadedSettings(const LoadedSettings& loaded);
    void FieldLeft(const FieldLeave& after);
    void DevicesChanged();
    void FollowNewChoice();
    void LayOutBottom();
    void BuildControls();
    std::string DataFolder() const;
    void UnloadAnalysis();
    // Unrolls the ring into the waveform and opens the analysis window on it.
    void OpenAnalysisOnRecording(const std::string& caption);
    std::function<void()> Yield() const;
    void ShowAbout();
    void OpenReadme();
    // The shot library's part: stores what a block measured.
    void OpenLibrary();
    void ConnectResultsToLibrary();
    // No recording device: a line points to the demo recording.
    void ShowNoMicrophone();
    void lblNoMicrophone_Click();
    void StopMeasuringRecording();
    // Whether to go on: a demo measured already, or a string shown that a
    // recording's own string is about to replace.
    bool AgreeToMeasure(const std::string& path, bool demo);
    void FollowEditedDetails(const StringInfo& info, bool recorderId);

    // What the analysis window asks of the main window.
    std::string VolumeBox(bool muzzle) const override { return fields_.VolumeBox(muzzle); }
    void SetVolumeBox(bool muzzle, const std::string& text) override { fields_.SetVolumeBox(muzzle, text); }
    DetectionSetup TakeSearchSetup(std::int32_t rate) override;
    DetectionMethod Method() const override { return method_; }
    TriggerWindow WindowFor(double sampleTimeMs) override;
    std::string_view SpeedUnit() const override { return units_.SpeedUnit; }
    void SetMainEnabled(bool enabled) override;
    void AnalysisClosed(bool unload) override;
    void MeasureRecordingFile() override { MeasureRecording({}, analysis_.get()); }

    // What the calibration window asks of the main window.
    void AnalyseRecording() override { OpenAnalysisOnRecording("Analyze"); }
    void ReturnFromCalibration() override;
    bool Ending() const override { return ended_; }

    MainServices services_;
    Settings record_;
    UnitLabels units_ = SetUnitLabels(UnitSystem::Metric);
    double sampleTimeMs_ = 0;
    bool inFreqChange_ = false;
    bool restarting_ = false;
    bool panelOpen_ = true;  // the window is designed large
    bool ended_ = false;
    bool settingsLoaded_ = false;
    bool devicesChanged_ = false;  // while recording; the list follows at stop
    std::string recordingDeviceId_;  // what the session records from, at what rate
    std::int32_t recordingRate_ = 0;
    std::string freezeCaption_ = "Analyze";
    DetectionMethod method_ = DetectionMethod::Threshold;
    std::string learnt_;  // what the method learnt of the shooter's gun

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

    // The parts, after the frames they live in.
    SettingsFields fields_;
    HardwarePanel hardware_;
    ShotRouter router_;  // its string outlives the results window
    MeasuringSession session_;
    ScopePanel scope_;
    std::unique_ptr<ResultsWindow> results_;
    std::unique_ptr<AnalysisWindow> analysis_;
    std::unique_ptr<CalibrationWindow> calibration_;
    LibraryLink library_;
    // A recording being measured.
    std::unique_ptr<RecordingRun> run_;
    std::int64_t demoString_ = 0;     // the demo's string (its recorder id), once measured in this run
};

}  // namespace quorvel
