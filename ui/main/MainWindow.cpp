#include "MainWindow.h"

#include <QCloseEvent>
#include <QEventLoop>

#include <filesystem>

#include "NumberText.h"
#include "PanelRules.h"
#include "ShotDataFile.h"

namespace quorvel {

namespace {
// The scope is drawn and shown in one go, 20 times a second. A 10 ms timer
// drew five pictures for every one the screen showed, and its wake-ups alone
// cost more than the whole recording (README, "Performance").
constexpr int kDrawIntervalMs = 50;
constexpr const char* kStartCaption = "&Start >>";
constexpr const char* kStopCaption = "S&top";

QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

MainWindow::MainWindow(MainServices services)
    : services_(std::move(services)),
      fields_({&frmSettings[0], &frmSettings[2], &frmSettings[3], &frmSettings[4]}, record_, units_),
      hardware_(frmSettings[1], record_, services_.inputs, services_.device, services_.mixer),
      router_(services_.clock),
      session_(services_.device, services_.clock, services_.dialogs, router_, *this, this),
      scope_(Frame3, services_.clock, session_.Engine().Ring()),
      library_(services_.dialogs, services_.fileDialogs, this)
{
    BuildControls();
    tmrRemoveTrigLines.setParent(this);
    tmrRemoveTrigLines.setObjectName("tmrRemoveTrigLines");
    tmrRemoveTrigLines.setSingleShot(true);
    tmrRemoveTrigLines.setInterval(1500);
    connect(&tmrRemoveTrigLines, &QTimer::timeout, this, &MainWindow::tmrRemoveTrigLines_Timer);

    // A button takes the focus before it acts, also when reached by its
    // accelerator, so a field being edited is checked and taken first.
    const auto focusThen = [this](QPushButton& button, void (MainWindow::*action)()) {
        connect(&button, &QPushButton::clicked, this, [this, &button, action] {
            button.setFocus(Qt::ShortcutFocusReason);
            (this->*action)();
        });
    };
    focusThen(StartButton, &MainWindow::StartButton_Click);
    focusThen(cmdSettings, &MainWindow::cmdSettings_Click);
    focusThen(cmdExit, &MainWindow::DoEnd);
    focusThen(cmdAnalyze, &MainWindow::cmdAnalyze_Click);
    focusThen(cmdTestShot, &MainWindow::cmdTestShot_Click);
    connect(&hardware_, &HardwarePanel::rateTextChanged, this, &MainWindow::cmbFreq_Change);
    connect(&hardware_, &HardwarePanel::deviceChosen, this, &MainWindow::FollowNewChoice);
    connect(&fields_, &SettingsFields::fieldLeft, this, &MainWindow::FieldLeft);
    router_.SetListener(this);
    services_.inputs.OnChanged([this] { DevicesChanged(); });
}

MainWindow::~MainWindow()
{
    ended_ = true;  // a countdown still waiting gives up
    calibration_.reset();
    results_.reset();
    analysis_.reset();
    services_.inputs.OnChanged(nullptr);
    session_.End();
}

bool MainWindow::Form_Load()
{
    cmdSettings_Click();

    const SettingsLoadResult settings = LoadSettings(services_.settingsPath);
    session_.Engine().SetDataArrived(false);
    if (!settings.ok) {
        services_.dialogs.Critical("Error", settings.message);
        return false;
    }
    if (!settings.message.empty()) services_.dialogs.Critical("Settings", settings.message);
    ApplyLoadedSettings(settings.loaded);
    settingsLoaded_ = true;
    hardware_.SetSettingsLoaded();
    OpenLibrary();

    services_.clock.NowMs();
    fields_.ShowUnitLabels();
    if (!hardware_.InitDevices()) {
        services_.dialogs.Critical("H/W error", std::string("Cannot detect any suitable recording hardware !") + kLineBreak +
                                                    "InitDevices() failed" + kLineBreak + kNoHardwareAdvice);
        ShowNoMicrophone();
        return true;
    }
    cmbFreq_Change();
    scope_.ShowScale(sampleTimeMs_);
    hardware_.RestoreVolume();
    return true;
}

void MainWindow::ApplyLoadedSettings(const LoadedSettings& loaded)
{
    record_ = loaded.record;
    sampleTimeMs_ = loaded.SampleTimeMs;
    fields_.ApplyLoaded(loaded);
    cmbFreq_Change();
}

SettingsPanel MainWindow::PanelFromControls() const
{
    SettingsPanel panel;
    fields_.Fill(panel);
    panel.rateText = hardware_.RateText();
    panel.devicePosition = hardware_.DevicePosition();
    // A level only read from the device is not saved over the shooter's own.
    panel.volumePosition = hardware_.VolumeToSave();
    panel.micVolumeDevice = hardware_.VolumeDeviceToSave();
    panel.deviceId = hardware_.DeviceIdToSave();
    return panel;
}

bool MainWindow::event(QEvent* event)
{
    // Someone may have changed the level elsewhere meanwhile.
    if (event->type() == QEvent::WindowActivate && settingsLoaded_ && !ended_) hardware_.RefreshVolume();
    return QWidget::event(event);
}

void MainWindow::DoEnd()
{
    if (ended_) {
        library_.Hurry();  // Exit or a signal again while shots wait to be stored
        return;
    }
    ended_ = true;
    DoStop();
    session_.End();
    services_.mixer.Close();
    // Settings that were never loaded are never written: a missing file
    // stays missing.
    if (settingsLoaded_) {
        const std::string failure = SaveSettings(services_.settingsPath, PanelFromControls(), record_);
        if (!failure.empty()) services_.dialogs.Critical("Error", failure);
    }
    StopMeasuringRecording();
    library_.Finish();
    emit ended();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    DoEnd();
    event->accept();
}

void MainWindow::StartButton_Click()
{
    if (StartButton.text() == kStartCaption) {
        lclCalls.hide();
        debug2.hide();
        DoStart();
    } else {
        DoStop();
    }
}

void MainWindow::DoStart()
{
    fields_.CommitEdits();
    if (hardware_.ChosenMissing()) {
        scope_.Clear();
        services_.dialogs.Critical("H/W error", "The chosen recording device " + hardware_.ChosenName() +
                                                    " is not connected." + kLineBreak + kMissingDeviceAdvice);
        return;
    }
    Results().show();
    const int result = session_.Start(record_.deviceNum, record_.frequency, sampleTimeMs_);
    if (result != 0) {
        scope_.Clear();
        services_.dialogs.Critical("H/W error", std::string("Cannot open wavein device for recording!") + kLineBreak +
                                                    "WaveInOpen() failed with errorcode: " + std::to_string(result) +
                                                    kLineBreak + OpenFailureAdvice(result, record_.frequency));
        return;
    }
    recordingDeviceId_ = hardware_.ChosenDeviceId();
    recordingRate_ = record_.frequency;
    hardware_.SetRecording(true);
    fields_.SetRecording(true);
    StartButton.setText(kStopCaption);
    scope_.Start();
}

void MainWindow::DoStop()
{
    scope_.Stop();
    session_.Stop();
    StartButton.setText(kStartCaption);
    hardware_.SetRecording(false);
    fields_.SetRecording(false);
    fields_.RestoreVolumeBoxes();
    if (devicesChanged_) DevicesChanged();
}

void MainWindow::FollowNewChoice()
{
    // Never measure with a sample time that is not the device's: a change of
    // device or rate while recording starts the recording again on the new
    // choice (the string goes on), or stops it with the message of a failed
    // start.
    if (!session_.Recording() || restarting_) return;
    if (hardware_.ChosenDeviceId() == recordingDeviceId_ && record_.frequency == recordingRate_) return;
    // A shot's autosave or freeze still waiting for the next block belongs
    // to this recording: done now, on its own sound, never on the next one's.
    if (session_.FinishPending()) return;
    restarting_ = true;
    DoStop();
    DoStart();
    restarting_ = false;
}

void MainWindow::DeviceFailed(const std::string& reason)
{
    if (!session_.Recording()) return;
    DoStop();
    services_.dialogs.Critical("H/W error", "Recording stopped: " + reason + "." + kLineBreak +
                                                "The shots measured so far are kept.");
}

void MainWindow::DevicesChanged()
{
    if (session_.Recording()) {
        devicesChanged_ = true;
        return;
    }
    devicesChanged_ = false;
    const bool any = hardware_.InitDevices();
    if (any && !scope_.ScaleShown()) {
        // The first device arrived after start-up: finish what start-up could not.
        cmbFreq_Change();
        scope_.ShowScale(sampleTimeMs_);
    }
    if (any) {
        lblNoMicrophone.hide();
    } else {
        ShowNoMicrophone();
    }
}

MeasureContext MainWindow::Context() const
{
    return MeasureContext{record_, sampleTimeMs_, units_.SpeedUnit, fields_.SwitchesFromControls()};
}

AutosaveTarget MainWindow::AutosaveTo() const
{
    const std::string folder = DataFolder();
    return {ShotDataPath(record_.datafilename, folder), folder, fields_.chkSaveExt.isChecked(),
            fields_.chkSaveWaveform.isChecked()};
}

void MainWindow::BlockHanded(int block)
{
    const int overruns = services_.device.Overruns();
    QString text = QString::number(block);
    if (overruns > 0) text += QString("  overruns: %1").arg(overruns);
    lblPBUF.setText(text);
}

void MainWindow::Show(const ShotView& v)
{
    if (v.showLabels) {
        lblVel[0].setText(Q(v.labels.averageVelocity.Str()));
        lblVel[1].setText(Q(v.labels.elapsedSamples.Str()));
        lblVel[2].setText(Q(v.labels.resolution.Str()));
        lblVel[3].setText(Q(v.labels.accuracy.Str()));
        lblVel[5].setText(Q(v.labels.shotNumber.Str()));
    }
    if (v.impactLine >= 0) scope_.scope.SetTrigLine(1, v.impactLine, true);
    if (v.muzzleLine >= 0) scope_.scope.SetTrigLine(0, v.muzzleLine, true);
    if (v.muzzleBoxRed) fields_.SetVolumeBoxRed(true);
    if (v.impactBoxRed) fields_.SetVolumeBoxRed(false);
    if (v.startTrigLineTimer) {
        tmrRemoveTrigLines.setInterval(1500);
        tmrRemoveTrigLines.start();
    }
    if (!v.freezeCaption.Empty()) freezeCaption_ = v.freezeCaption.Str();
    if (v.freezeSwitch >= 0) fields_.MarkFreeze(v.freezeSwitch);
}

void MainWindow::FreezeForAnalysis()
{
    DoStop();
    tmrRemoveTrigLines.stop();  // the trigger lines stay (the boxes lost their red in DoStop)
    scope_.ShowFrozen(session_.Engine().CurrentBlock());
    OpenAnalysisOnRecording(freezeCaption_);
    freezeCaption_ = "Analyze";
}

void MainWindow::tmrRemoveTrigLines_Timer()
{
    tmrRemoveTrigLines.stop();
    scope_.SetTrigLines(false);
    fields_.RestoreVolumeBoxes();
}

void MainWindow::cmdSettings_Click()
{
    if (!panelOpen_) {
        for (QGroupBox& frame : frmSettings) frame.show();
        setFixedSize(679, 693);
        panelOpen_ = true;
        cmdSettings.setText("  <<  Sett&ings");
    } else {
        panelOpen_ = false;
        for (QGroupBox& frame : frmSettings) frame.hide();
        setFixedSize(457, 273);
        cmdSettings.setText("Sett&ings  >>");
    }
    scope_.SetPanelOpen(panelOpen_);
    LayOutBottom();
}

void MainWindow::FieldLeft(const FieldLeave& after)
{
    if (after.applySampleRate) cmbFreq_Change();
    if (analysis_ && (after.muzzleLevelLines || after.impactLevelLines)) analysis_->MoveLevelLines();
    if (analysis_ && after.redrawZoom) analysis_->DrawZoomArray();
}

void MainWindow::cmbFreq_Change()
{
    if (inFreqChange_) return;
    inFreqChange_ = true;
    // Every block recorded at the old rate is measured at the old rate.
    session_.HandOverFinished();
    ApplySampleRateText(hardware_.RateText(), record_);
    lclCalls.setText(Q(RateStatusText(record_.frequency, kDrawIntervalMs)));
    sampleTimeMs_ = SampleTimeMsFor(record_.frequency);
    scope_.SetSampleTime(sampleTimeMs_, kDrawIntervalMs);
    TakeWindowFields(PanelFromControls(), record_);
    const TriggerWindow window = CalcTriggerWindow(record_.distance, record_.VelocityMin, record_.VelocityMax, sampleTimeMs_);
    session_.Configure(method_, {record_.frequency, window, record_.MuzzleVolume, record_.ImpactVolume, learnt_});
    debug2.setText(Q(WindowCaption(window)));
    inFreqChange_ = false;
    FollowNewChoice();
}

std::string MainWindow::DataFolder() const
{
    if (!services_.dataFolder.empty()) return services_.dataFolder;
    return std::filesystem::path(services_.settingsPath).parent_path().string();
}

std::function<void()> MainWindow::Yield() const
{
    if (services_.yield) return services_.yield;
    return [] {
        // A short nap in the event loop: responsive, without spinning a core.
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    };
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 2; ++i) {
        if (watched == &lblCredit[static_cast<std::size_t>(i)] && event->type() == QEvent::MouseButtonRelease) {
            lblCredit_Click(i);
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == &lblLibrary) ShowLibrary();
        if (watched == &lblMeasureRecording) MeasureRecording();
        if (watched == &lblNoMicrophone) lblNoMicrophone_Click();
        if (watched == &lblLibrary || watched == &lblMeasureRecording || watched == &lblNoMicrophone) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quorvel
