#include "MainWindow.h"

#include <QCloseEvent>
#include <QEventLoop>

#include <filesystem>

#include "AboutText.h"
#include "PanelRules.h"
#include "ShotDataFile.h"
#include "ShotView.h"

namespace quorvel {

namespace {
// The scope is drawn and shown in one go, 20 times a second. A 10 ms timer
// drew five pictures for every one the screen showed, and its wake-ups alone
// cost more than the whole recording (README, "Performance").
constexpr int kDrawIntervalMs = 50;

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string DataFolderOf(const MainServices& services)
{
    if (!services.dataFolder.empty()) return services.dataFolder;
    return std::filesystem::path(services.settingsPath).parent_path().string();
}

std::function<void()> YieldOf(const MainServices& services)
{
    if (services.yield) return services.yield;
    return [] {
        // A short nap in the event loop: responsive, without spinning a core.
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    };
}

}  // namespace

MainWindow::MainWindow(MainServices services)
    : services_(std::move(services)),
      dataFolder_(DataFolderOf(services_)),
      fields_({&controls_.frmSettings[0], &controls_.frmSettings[2], &controls_.frmSettings[3], &controls_.frmSettings[4]},
              settings_),
      hardware_(controls_.frmSettings[1], settings_, services_.inputs, services_.device, services_.mixer),
      method_(controls_.frmSettings[1], settings_),
      router_(services_.clock),
      view_(controls_, fields_, scope_, hosts_, settings_, services_.device, dataFolder_),
      recording_(services_.device, services_.clock, services_.dialogs, router_, view_,
                 [this] {
                     fields_.CommitEdits();
                     const quorvel::Settings& s = settings_.Record();
                     return RecordingChoice{s.deviceNum, s.frequency, settings_.SampleTimeMs(), hardware_.ChosenDeviceId(),
                                            hardware_.ChosenMissing(), hardware_.ChosenName()};
                 },
                 this),
      scope_(controls_.Frame3, services_.clock, recording_.Session().Engine().Ring()),
      library_(services_.dialogs, services_.fileDialogs, this),
      hosts_({*this, controls_.cmdAnalyze, settings_, fields_, scope_, recording_, router_, services_.clock,
              services_.dialogs, services_.fileDialogs, services_.output, dataFolder_, YieldOf(services_)},
             this),
      files_({*this, settings_,
              [this] {
                  fields_.CommitEdits();
                  return PanelFromControls();
              },
              recording_, router_, hosts_, library_, services_.clock, services_.dialogs, services_.fileDialogs,
              services_.demoPath},
             this)
{
    controls_.Build(*this, *this);
    Connect();
    router_.SetListener(&hosts_);
    services_.inputs.OnChanged([this] { recording_.DevicesChanged(); });
}

MainWindow::~MainWindow()
{
    services_.inputs.OnChanged(nullptr);
    recording_.End();  // a countdown still waiting gives up
}

void MainWindow::Connect()
{
    // A button takes the focus before it acts, also when reached by its
    // accelerator, so a field being edited is checked and taken first.
    const auto focusThen = [this](QPushButton& button, void (MainWindow::*action)()) {
        connect(&button, &QPushButton::clicked, this, [this, &button, action] {
            button.setFocus(Qt::ShortcutFocusReason);
            (this->*action)();
        });
    };
    focusThen(controls_.StartButton, &MainWindow::StartButton_Click);
    focusThen(controls_.cmdSettings, &MainWindow::cmdSettings_Click);
    focusThen(controls_.cmdExit, &MainWindow::DoEnd);
    focusThen(controls_.cmdAnalyze, &MainWindow::cmdAnalyze_Click);
    focusThen(controls_.cmdTestShot, &MainWindow::cmdTestShot_Click);
    connect(&controls_.tmrRemoveTrigLines, &QTimer::timeout, this, &MainWindow::tmrRemoveTrigLines_Timer);
    const auto showLibrary = [this] {
        library_.ShowLive(settings_.Record(), ShotDataPath(settings_.Record().datafilename, dataFolder_));
    };
    connect(controls_.keyLibrary, &QShortcut::activated, this, showLibrary);
    connect(controls_.keyMeasureRecording, &QShortcut::activated, this, [this] { files_.Measure(); });
    connect(&hardware_, &HardwarePanel::rateTextChanged, this, &MainWindow::cmbFreq_Change);
    connect(&hardware_, &HardwarePanel::deviceChosen, this,
            [this] { recording_.FollowChoice(hardware_.ChosenDeviceId(), settings_.Record().frequency); });
    connect(&fields_, &SettingsFields::fieldLeft, this, &MainWindow::FieldLeft);
    connect(&method_, &MethodChoice::chosen, this, &MainWindow::cmbFreq_Change);
    connect(&recording_, &RecordingController::opening, this, [this] { hosts_.Results().show(); });
    connect(&recording_, &RecordingController::startFailed, this, [this] { scope_.Clear(); });
    connect(&recording_, &RecordingController::recordingChanged, this, &MainWindow::ShowRecording);
    connect(&recording_, &RecordingController::frozen, this, &MainWindow::ShowFrozen);
    connect(&recording_, &RecordingController::devicesChanged, this, &MainWindow::ListDevices);
    connect(&hosts_, &WindowHosts::resultsMade, this,
            [this, showLibrary](ResultsWindow* results) { library_.Serve(*results, showLibrary); });
    connect(&hosts_, &WindowHosts::analysisClosed, this, &MainWindow::tmrRemoveTrigLines_Timer);
    connect(&hosts_, &WindowHosts::measureFileWanted, this, [this](QWidget* over) { files_.Measure({}, over); });
}

bool MainWindow::Form_Load()
{
    cmdSettings_Click();

    const SettingsLoadResult loaded = LoadSettings(services_.settingsPath);
    recording_.Session().Engine().SetDataArrived(false);
    if (!loaded.ok) {
        services_.dialogs.Critical("Error", loaded.message);
        return false;
    }
    if (!loaded.message.empty()) services_.dialogs.Critical("Settings", loaded.message);
    settings_.Load(loaded.loaded);
    fields_.ApplyLoaded(loaded.loaded);
    method_.Show(loaded.loaded.panel.methodKept);
    cmbFreq_Change();
    hardware_.SetSettingsLoaded();
    library_.Open(LibraryPath(services_.settingsPath, dataFolder_), router_);

    services_.clock.NowMs();
    fields_.ShowUnitLabels();
    if (!hardware_.InitDevices()) {
        services_.dialogs.Critical("H/W error", std::string("Cannot detect any suitable recording hardware !") + kLineBreak +
                                                    "InitDevices() failed" + kLineBreak + kNoHardwareAdvice);
        ShowNoMicrophone();
        return true;
    }
    cmbFreq_Change();
    scope_.ShowScale(settings_.SampleTimeMs());
    hardware_.RestoreVolume();
    return true;
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
    panel.methodKept = method_.Kept();
    return panel;
}

bool MainWindow::event(QEvent* event)
{
    // Someone may have changed the level elsewhere meanwhile.
    if (event->type() == QEvent::WindowActivate && settings_.Loaded() && !recording_.Ending()) hardware_.RefreshVolume();
    return QWidget::event(event);
}

void MainWindow::DoEnd()
{
    if (recording_.Ending()) {
        library_.Hurry();  // Exit or a signal again while shots wait to be stored
        return;
    }
    recording_.End();
    services_.mixer.Close();
    // What the method learnt of the shooter's report is there for the next start.
    if (std::string learnt = recording_.Session().Method().Learnt(); !learnt.empty()) settings_.SetLearnt(std::move(learnt));
    // Settings that were never loaded are never written: a missing file
    // stays missing.
    if (settings_.Loaded()) {
        const std::string failure = settings_.Save(services_.settingsPath, PanelFromControls());
        if (!failure.empty()) services_.dialogs.Critical("Error", failure);
    }
    files_.Abandon();
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
    if (recording_.State() != RecordingState::Recording) {
        controls_.lclCalls.hide();
        controls_.debug2.hide();
    }
    recording_.Toggle();
}

void MainWindow::ShowRecording(bool recording)
{
    hardware_.SetRecording(recording);
    fields_.SetRecording(recording);
    method_.SetRecording(recording);
    controls_.StartButton.setText(recording ? "S&top" : "&Start >>");
    if (recording) {
        scope_.Start();
        return;
    }
    scope_.Stop();
    fields_.RestoreVolumeBoxes();
}

void MainWindow::ListDevices()
{
    const bool any = hardware_.InitDevices();
    if (any && !scope_.ScaleShown()) {
        // The first device arrived after start-up: finish what start-up could not.
        cmbFreq_Change();
        scope_.ShowScale(settings_.SampleTimeMs());
    }
    if (any) {
        controls_.lblNoMicrophone.hide();
    } else {
        ShowNoMicrophone();
    }
}

void MainWindow::ShowNoMicrophone()
{
    const bool demo = files_.DemoPresent();
    controls_.lblNoMicrophone.setText(demo ? "No microphone? Click here to measure the demo recording"
                                           : "No microphone? Measure Recording… reads a phone's or recorder's recording");
    controls_.lblNoMicrophone.setToolTip(demo ? Q(files_.DemoPath()) : QString());
    controls_.lblNoMicrophone.adjustSize();
    controls_.lblNoMicrophone.show();
    controls_.LayOutBottom(*this);
}

void MainWindow::ShowFrozen()
{
    controls_.tmrRemoveTrigLines.stop();  // the trigger lines stay (the boxes lost their red at the stop)
    scope_.ShowFrozen(recording_.Session().Engine().CurrentBlock());
    hosts_.OpenFrozen();
}

void MainWindow::cmdAnalyze_Click()
{
    if (hosts_.AnalysisVisible()) {
        hosts_.PutAnalysisAway();
        return;
    }
    recording_.Freeze();
}

void MainWindow::cmdTestShot_Click() { hosts_.ShowCalibration(); }

void MainWindow::tmrRemoveTrigLines_Timer()
{
    controls_.tmrRemoveTrigLines.stop();
    scope_.SetTrigLines(false);
    fields_.RestoreVolumeBoxes();
}

void MainWindow::cmdSettings_Click()
{
    panelOpen_ = !panelOpen_;
    for (QGroupBox& frame : controls_.frmSettings) frame.setVisible(panelOpen_);
    setFixedSize(panelOpen_ ? QSize(679, 693) : QSize(457, 273));
    controls_.cmdSettings.setText(panelOpen_ ? "  <<  Sett&ings" : "Sett&ings  >>");
    scope_.SetPanelOpen(panelOpen_);
    controls_.LayOutBottom(*this);
}

void MainWindow::FieldLeft(const FieldLeave& after)
{
    if (after.applySampleRate) cmbFreq_Change();
    hosts_.FieldLeft(after);
}

void MainWindow::cmbFreq_Change()
{
    // Every block recorded at the old rate is measured at the old rate.
    recording_.Session().HandOverFinished();
    settings_.TakeRateText(hardware_.RateText());
    const quorvel::Settings& s = settings_.Record();
    controls_.lclCalls.setText(Q(RateStatusText(s.frequency, kDrawIntervalMs)));
    scope_.SetSampleTime(settings_.SampleTimeMs(), kDrawIntervalMs);
    settings_.TakeWindowFields(PanelFromControls());
    const DetectionSetup setup = DetectionSetupOf(s, s.frequency, settings_.Learnt());
    recording_.Session().Configure(settings_.Method(), setup);
    controls_.debug2.setText(Q(WindowCaption(setup.window)));
    recording_.FollowChoice(hardware_.ChosenDeviceId(), s.frequency);
}

void MainWindow::lblCredit_Click(int index)
{
    if (index == 0) {
        const AboutFacts facts{services_.settingsPath, ShotDataPath(settings_.Record().datafilename, dataFolder_),
                               dataFolder_, library_.Path()};
        services_.dialogs.Information("About Quorvel", AboutText(facts));
    } else {
        OpenReadme(services_.dialogs, services_.shell, services_.readmePath);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease) return QWidget::eventFilter(watched, event);
    if (watched == &controls_.lblCredit[0]) {
        lblCredit_Click(0);
    } else if (watched == &controls_.lblCredit[1]) {
        lblCredit_Click(1);
    } else if (watched == &controls_.lblLibrary) {
        emit controls_.keyLibrary->activated();
    } else if (watched == &controls_.lblMeasureRecording) {
        files_.Measure();
    } else if (watched == &controls_.lblNoMicrophone) {
        files_.MeasureDemo();
    } else {
        return QWidget::eventFilter(watched, event);
    }
    return true;
}

}  // namespace quorvel
