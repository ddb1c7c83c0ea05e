#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QSignalBlocker>

#include <clocale>
#include <ctime>
#include <filesystem>

#include "NumberText.h"
#include "ShotDataFile.h"
#include "WaveFile.h"
#include "PanelRules.h"

namespace quorvel {

namespace {
constexpr int kDrawIntervalMs = 10;
const QColor kFocusColour(0xFF, 0xE0, 0xC0);
const QColor kTriggerRed(0xFF, 0x00, 0x00);
constexpr const char* kStartCaption = "&Start >>";
constexpr const char* kStopCaption = "S&top";

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

MainWindow::MainWindow(MainServices services)
    : services_(std::move(services)), engine_(services_.device, signal_), detector_(services_.clock)
{
    BuildControls();
    // Members with the window as parent, so tests and tools find them by name.
    for (QObject* timer : {static_cast<QObject*>(&signal_), static_cast<QObject*>(&DrawTimer),
                           static_cast<QObject*>(&tmrRemoveTrigLines), static_cast<QObject*>(&deviceWatchdog_)}) {
        timer->setParent(this);
    }
    signal_.setObjectName("signal");
    DrawTimer.setObjectName("DrawTimer");
    DrawTimer.setInterval(50);
    DrawTimer.setTimerType(Qt::PreciseTimer);
    tmrRemoveTrigLines.setObjectName("tmrRemoveTrigLines");
    tmrRemoveTrigLines.setSingleShot(true);
    tmrRemoveTrigLines.setInterval(1500);
    deviceWatchdog_.setInterval(500);

    connect(&signal_, &SignalWaker::woken, this, &MainWindow::signal_Timer);
    connect(&DrawTimer, &QTimer::timeout, this, &MainWindow::DrawTimer_Timer);
    connect(&tmrRemoveTrigLines, &QTimer::timeout, this, &MainWindow::tmrRemoveTrigLines_Timer);
    connect(&deviceWatchdog_, &QTimer::timeout, this, [this] {
        // A device that vanishes does not always say so: no block for three
        // blocks' time (at least 2 s) means it has stopped delivering.
        const double blockMs = kBlockSize * sampleTimeMs_;
        if (engine_.Recording() && services_.clock.NowMs() - lastBlockMs_ > std::max(2000.0, 3 * blockMs)) {
            DeviceFailed("the recording device stopped delivering sound");
        }
    });
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
    connect(&cmbFreq, &QComboBox::editTextChanged, this, [this] { cmbFreq_Change(); });
    connect(&DevicesBox, &QComboBox::currentIndexChanged, this, [this] { DevicesBox_Change(); });
    connect(&chkAutosave, &QCheckBox::toggled, this, [this] { chkAutosave_Click(); });
    connect(&optUnits[1], &QRadioButton::toggled, this, [this] { optUnits_Click(); });
    connect(&scrVolume, &QScrollBar::valueChanged, this, [this] {
        volumeMoved_ = true;
        scrVolume_Change();
    });
    services_.device.onFailure = [this](const std::string& reason) { DeviceFailed(reason); };
    services_.inputs.OnChanged([this] { RefreshDevices(); });
}

MainWindow::~MainWindow()
{
    ended_ = true;  // a countdown still waiting gives up
    calibration_.reset();
    results_.reset();
    analysis_.reset();
    services_.device.onFailure = nullptr;
    services_.inputs.OnChanged(nullptr);
    engine_.SetStopProcessing(true);
    engine_.DoStop();
}

bool MainWindow::Form_Load()
{
    cmdSettings_Click();

    const SettingsLoadResult settings = LoadSettings(services_.settingsPath);
    engine_.SetDataArrived(false);
    if (!settings.ok) {
        services_.dialogs.Critical("Error", settings.message);
        return false;
    }
    ApplyLoadedSettings(settings.loaded);
    settingsLoaded_ = true;

    services_.clock.NowMs();
    ShowUnitLabels();
    scope.SetTrigLine(0, 0, false);
    scope.SetTrigLine(1, 0, false);

    if (!InitDevices()) {
        services_.dialogs.Critical("H/W error", std::string("Cannot detect any suitable recording hardware !") + kLineBreak +
                                                    "InitDevices() failed");
        return true;
    }
    cmbFreq_Change();
    lblX1[0].setText("|<- 0 ms");
    lblX1[1].setText(Q(RingDurationText(sampleTimeMs_)));
    // A saved microphone level (1 to 10) is put back on the device; 0, the
    // shipped default, leaves the device's own level alone rather than
    // silencing the microphone.
    RefreshVolume();
    if (scrVolume.isEnabled() && record_.MicVolume > 0) {
        const QSignalBlocker block(scrVolume);
        scrVolume.setValue(std::clamp<int>(record_.MicVolume, scrVolume.minimum(), scrVolume.maximum()));
        scrVolume_Change();
    }
    return true;
}

std::string MainWindow::ChosenDeviceId() const
{
    const int position = DevicesBox.currentIndex();
    if (position < 0 || position >= static_cast<int>(deviceList_.size())) return {};
    return deviceList_[static_cast<std::size_t>(position)].id;
}

void MainWindow::scrVolume_Change()
{
    const int percent = scrVolume.value() * 10;
    const std::string id = ChosenDeviceId();
    if (!services_.mixer.SetLevel(id, MixerLevel(percent, 0, kMixerMaximum))) {
        volumeFailed_ = true;  // for the rest of the run
        scrVolume.setEnabled(false);
        scrVolume.setToolTip("The recording level of this device cannot be set");
    }
    const int shown = MixerPercent(services_.mixer.Level(id).value_or(0), 0, kMixerMaximum);
    lblVolume.setText(Q(GeneralNumber(shown / 10.0)));
}

void MainWindow::RefreshVolume()
{
    const std::string id = ChosenDeviceId();
    if (volumeFailed_) return;
    if (id.empty() || !services_.mixer.HasControl(id)) {
        scrVolume.setEnabled(false);
        scrVolume.setToolTip("This recording device has no volume control");
        return;
    }
    scrVolume.setEnabled(true);
    scrVolume.setToolTip(QString());
    const int percent = MixerPercent(services_.mixer.Level(id).value_or(0), 0, kMixerMaximum);
    const QSignalBlocker block(scrVolume);
    scrVolume.setValue(RoundToInt32(percent / 10.0));
    lblVolume.setText(Q(GeneralNumber(percent / 10.0)));
}

bool MainWindow::event(QEvent* event)
{
    // Someone may have changed the level elsewhere meanwhile.
    if (event->type() == QEvent::WindowActivate && settingsLoaded_ && !ended_) RefreshVolume();
    return QWidget::event(event);
}

void MainWindow::ApplyLoadedSettings(const LoadedSettings& loaded)
{
    record_ = loaded.record;
    const Switches& sw = loaded.panel.switches;
    chkFreeze[0].setChecked(sw[Switch::FreezeIfDetected]);
    chkFreeze[1].setChecked(sw[Switch::FreezeIfNoImpact]);
    chkFreeze[2].setChecked(sw[Switch::FreezeIfMaxExceeded]);
    chkAutosave.setChecked(sw[Switch::AutoSave]);  // runs its click logic when it changes
    chkSaveExt.setChecked(sw[Switch::SaveExtended]);
    chkSaveWaveform.setChecked(sw[Switch::SaveWaveform]);
    sampleTimeMs_ = loaded.SampleTimeMs;

    settingsLoading_ = true;
    if (record_.units != 0) optUnits[1].setChecked(true);
    units_ = loaded.units;
    for (std::size_t i : {PanelField::PelletMass, PanelField::RetainedVelocity, PanelField::VelocityMin,
                          PanelField::VelocityMax, PanelField::MicDistance, PanelField::MuzzleVolume,
                          PanelField::ImpactVolume, PanelField::Distance, PanelField::Offset}) {
        txtInfo[i].setText(Q(loaded.panel.txtInfo[i]));
    }
    settingsLoading_ = false;
    cmbFreq_Change();
}

Switches MainWindow::SwitchesFromControls() const
{
    Switches switches;
    switches[Switch::FreezeIfDetected] = chkFreeze[0].isChecked();
    switches[Switch::FreezeIfNoImpact] = chkFreeze[1].isChecked();
    switches[Switch::FreezeIfMaxExceeded] = chkFreeze[2].isChecked();
    switches[Switch::AutoSave] = chkAutosave.isChecked();
    switches[Switch::SaveExtended] = chkSaveExt.isChecked();
    switches[Switch::SaveWaveform] = chkSaveWaveform.isChecked();
    return switches;
}

SettingsPanel MainWindow::PanelFromControls() const
{
    SettingsPanel panel;
    for (std::size_t i = 0; i < txtInfo.size(); ++i) panel.txtInfo[i] = txtInfo[i].text().toStdString();
    panel.switches = SwitchesFromControls();
    panel.imperial = optUnits[1].isChecked();
    panel.rateText = cmbFreq.currentText().toStdString();
    panel.devicePosition = DevicesBox.currentIndex();
    // A level only read from the device is not saved over the shooter's own.
    panel.volumePosition = volumeMoved_ ? scrVolume.value() : record_.MicVolume;
    return panel;
}

void MainWindow::ShowUnitLabels()
{
    const QString distance = Q(TrimUnit(units_.DistanceUnit));
    const QString speed = Q(TrimUnit(units_.SpeedUnit));
    lblInfo[3].setText(distance);
    lblInfo[13].setText(distance);
    lblInfo[9].setText(speed);
    lblInfo[11].setText(speed);
    lblInfo[21].setText(speed);
    lblInfo[4].setText(Q(TrimUnit(units_.MassUnit)));
}

void MainWindow::DoEnd()
{
    if (ended_) return;
    ended_ = true;
    DoStop();
    engine_.SetStopProcessing(true);
    services_.mixer.Close();
    // Settings that were never loaded are never written: a missing file
    // stays missing.
    if (settingsLoaded_) {
        const std::string failure = SaveSettings(services_.settingsPath, PanelFromControls(), record_);
        if (!failure.empty()) services_.dialogs.Critical("Error", failure);
    }
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

ResultsWindow& MainWindow::Results()
{
    if (!results_) {
        results_ = std::make_unique<ResultsWindow>(string_, record_, units_, services_.dialogs, services_.fileDialogs);
        connect(results_.get(), &ResultsWindow::newString, this, [this] { detector_.SetShotCount(0); });
        connect(results_.get(), &ResultsWindow::closed, this, [this] {
            // Closed with its close box: it is loaded afresh next time; the
            // string stays with us.
            QTimer::singleShot(0, this, [this] { results_.reset(); });
        });
    }
    return *results_;
}

void MainWindow::DoStart()
{
    Results().show();
    scope.Clear();
    detector_.ResetForStart();
    const int result = engine_.DoStart(record_.deviceNum, record_.frequency);
    if (result != 0) {
        services_.dialogs.Critical("H/W error", std::string("Cannot open wavein device for recording!") + kLineBreak +
                                                    "WaveInOpen() failed with errorcode: " + std::to_string(result));
        return;
    }
    for (QLineEdit& box : txtInfo) box.setEnabled(false);
    StartButton.setText(kStopCaption);
    sweep_.Start(services_.clock.NowMs());
    lastBlockMs_ = services_.clock.NowMs();
    DrawTimer.start();
    deviceWatchdog_.start();
}

void MainWindow::DoStop()
{
    DrawTimer.stop();
    deviceWatchdog_.stop();
    while (drawBusy_) QApplication::processEvents();
    engine_.DoStop();
    StartButton.setText(kStartCaption);
    for (QLineEdit& box : txtInfo) box.setEnabled(true);
    txtInfo[PanelField::MicDistance].setEnabled(false);
    RestoreBoxColour(PanelField::MuzzleVolume);
    RestoreBoxColour(PanelField::ImpactVolume);
    if (devicesChanged_) RefreshDevices();
}

void MainWindow::DeviceFailed(const std::string& reason)
{
    if (!engine_.Recording()) return;
    DoStop();
    services_.dialogs.Critical("H/W error", "Recording stopped: " + reason + "." + kLineBreak +
                                                "The shots measured so far are kept.");
}

void MainWindow::signal_Timer()
{
    // One block per tick; if more are waiting, come back after the event
    // loop has had its turn.
    if (engine_.HandOver(*this) && engine_.HandOverWaiting()) signal_.Wake();
}

bool MainWindow::OnBlock(const SampleArray& ring, int block)
{
    handedBlock_ = block;
    lastBlockMs_ = services_.clock.NowMs();
    ShowOverruns();
    const MeasureContext context{record_, sampleTimeMs_, units_.SpeedUnit, SwitchesFromControls()};
    const BlockOutcome outcome = detector_.OnBlock(ring, block, context);
    if (outcome.autosave) AutoSaveShot();
    if (outcome.freeze) {
        engine_.SetStopProcessing(true);
        FreezeForAnalysis();
        return true;
    }
    ShowOutcome(outcome);
    return false;
}

void MainWindow::ShowOverruns()
{
    const int overruns = services_.device.Overruns();
    QString text = QString::number(handedBlock_);
    if (overruns > 0) text += QString("  overruns: %1").arg(overruns);
    lblPBUF.setText(text);
}

void MainWindow::ShowOutcome(const BlockOutcome& o)
{
    if (o.event == BlockEvent::Shot) {
        lblVel[0].setText(Q(o.labels.averageVelocity.View()));
        lblVel[1].setText(Q(o.labels.elapsedSamples.View()));
        lblVel[2].setText(Q(o.labels.resolution.View()));
        lblVel[3].setText(Q(o.labels.accuracy.View()));
        lblVel[5].setText(Q(o.labels.shotNumber.View()));
    }
    if (o.impactLine >= 0) scope.SetTrigLine(1, o.impactLine, true);
    if (o.muzzleLine >= 0) scope.SetTrigLine(0, o.muzzleLine, true);
    if (o.muzzleBoxRed) SetBoxColour(PanelField::MuzzleVolume, kTriggerRed);
    if (o.impactBoxRed) SetBoxColour(PanelField::ImpactVolume, kTriggerRed);
    if (o.startTrigLineTimer) {
        tmrRemoveTrigLines.setInterval(1500);
        tmrRemoveTrigLines.start();
    }
    if (o.fillData) Results().FillData(detector_.LastShot());
    if (!o.missText.Empty()) Results().MisShot(o.missText.Str());
    if (!o.freezeCaption.Empty()) freezeCaption_ = o.freezeCaption.Str();
    if (o.freezeSwitch >= 0) {
        chkFreeze[static_cast<std::size_t>(o.freezeSwitch)].setStyleSheet("color: rgb(255, 0, 0);");
    }
}

void MainWindow::FreezeForAnalysis()
{
    DoStop();
    tmrRemoveTrigLines.stop();  // the trigger lines stay (the boxes lost their red in DoStop)
    const int current = engine_.CurrentBlock();
    scope.DrawBlock(engine_.Ring(), current);
    scope.DrawBlock(engine_.Ring(), Wrapped(current - 1));
    scope.DrawBlock(engine_.Ring(), Wrapped(current - 2));
    OpenAnalysisOnRecording(freezeCaption_);
    freezeCaption_ = "Analyze";
}

void MainWindow::OpenAnalysisOnRecording(const std::string& caption)
{
    engine_.UnrollRing();
    AnalysisWindow& analysis = Analysis();
    analysis.SetWaveform(engine_.Waveform(), record_.frequency, engine_.DataArrived());
    analysis.setWindowTitle(Q(caption));
    analysis.move(pos());
    analysis.show();
    analysis.raise();
    analysis.activateWindow();
    cmdAnalyze.setText(" << &Analyze");
    analysis.Form_Activate();
}

AnalysisWindow& MainWindow::Analysis()
{
    if (!analysis_) {
        AnalysisHost& host = *this;
        analysis_ = std::make_unique<AnalysisWindow>(host, services_.clock, services_.dialogs, services_.fileDialogs,
                                                     services_.output, ProgramFolder(), Yield());
    }
    return *analysis_;
}

std::string MainWindow::VolumeBox(bool muzzle) const
{
    return txtInfo[muzzle ? PanelField::MuzzleVolume : PanelField::ImpactVolume].text().toStdString();
}

void MainWindow::SetVolumeBox(bool muzzle, const std::string& text)
{
    txtInfo[muzzle ? PanelField::MuzzleVolume : PanelField::ImpactVolume].setText(Q(text));
}

std::pair<std::int16_t, std::int16_t> MainWindow::TakeVolumes()
{
    record_.ImpactVolume = RoundToInt16(ParseLeadingNumber(VolumeBox(false)));
    record_.MuzzleVolume = RoundToInt16(ParseLeadingNumber(VolumeBox(true)));
    return {record_.MuzzleVolume, record_.ImpactVolume};
}

TriggerWindow MainWindow::WindowFor(double sampleTimeMs)
{
    return CalcTriggerWindow(record_.distance, record_.VelocityMin, record_.VelocityMax, sampleTimeMs);
}

void MainWindow::SetMainEnabled(bool enabled)
{
    if (!enabled) DrawTimer.stop();
    setEnabled(enabled);
}

void MainWindow::AnalysisClosed(bool unload)
{
    cmdAnalyze.setText("&Analyze >>");
    setEnabled(true);
    for (QCheckBox& box : chkFreeze) box.setStyleSheet(QString());
    tmrRemoveTrigLines_Timer();
    if (unload) {
        // Closed with its close box: loaded afresh next time, once nothing
        // of it is running any more.
        QTimer::singleShot(0, this, [this] { UnloadAnalysis(); });
    }
}

void MainWindow::UnloadAnalysis()
{
    if (!analysis_ || analysis_->isVisible()) return;
    if (analysis_->Playing()) {
        QTimer::singleShot(50, this, [this] { UnloadAnalysis(); });
        return;
    }
    analysis_.reset();
}

void MainWindow::AutoSaveShot()
{
    const std::string folder = ProgramFolder();
    const ShotResult& shot = detector_.LastShot();
    const CivilTime t = CivilTimeOf(shot.ShotTime);
    std::tm local{};
    local.tm_year = static_cast<int>(t.year - 1900);
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    char date[128];
    std::strftime(date, sizeof date, "%x %X", &local);
    const char decimalPoint = std::localeconv()->decimal_point[0];
    std::string failure = AppendShotLine(ShotDataPath(record_.datafilename, folder),
                                         ShotDataLine(shot, chkSaveExt.isChecked(), date, decimalPoint));
    if (chkSaveWaveform.isChecked()) {
        // The waveform is saved even when the line could not be.
        engine_.UnrollRing();
        const std::string name = folder + "/" + WaveformFileName(services_.clock.NowDays());
        const std::string waveFailure = WriteWaveFile(name, engine_.Waveform(), record_.frequency);
        if (!waveFailure.empty()) {
            failure += (failure.empty() ? "" : kLineBreak) + std::string("Cannot save the shot's waveform: ") + waveFailure;
        }
    }
    if (failure.empty()) {
        autosaveFailed_ = false;
        return;
    }
    // Once, not at every shot; the shot itself is in the string either way.
    // The message waits until this block is handed over.
    if (!autosaveFailed_) {
        QTimer::singleShot(0, this, [this, failure] {
            services_.dialogs.Critical("Error", failure + kLineBreak + "The shot is kept in the string.");
        });
    }
    autosaveFailed_ = true;
}

void MainWindow::DrawTimer_Timer()
{
    if (!panelOpen_ || drawBusy_ || !DrawTimer.isActive()) return;
    const SweepStretch stretch = sweep_.Next(services_.clock.NowMs(), sampleTimeMs_);
    if (!stretch.draw) return;
    drawBusy_ = true;
    scope.DrawStretch(engine_.Ring(), stretch);
    sweep_.Drawn(stretch);
    drawBusy_ = false;
}

void MainWindow::tmrRemoveTrigLines_Timer()
{
    tmrRemoveTrigLines.stop();
    scope.SetTrigLine(0, scope.TrigLineX(0), false);
    scope.SetTrigLine(1, scope.TrigLineX(1), false);
    RestoreBoxColour(PanelField::MuzzleVolume);
    RestoreBoxColour(PanelField::ImpactVolume);
}

void MainWindow::SetBoxColour(int index, const QColor& colour)
{
    QLineEdit& box = txtInfo[static_cast<std::size_t>(index)];
    QPalette palette = box.palette();
    palette.setColor(QPalette::Base, colour);
    box.setPalette(palette);
}

void MainWindow::RestoreBoxColour(int index)
{
    QLineEdit& box = txtInfo[static_cast<std::size_t>(index)];
    box.setPalette(QPalette());
}

void MainWindow::cmdSettings_Click()
{
    if (!panelOpen_) {
        for (QGroupBox& frame : frmSettings) frame.show();
        setFixedSize(679, 693);
        panelOpen_ = true;
        cmdSettings.setText("  <<  &Settings");
    } else {
        panelOpen_ = false;
        for (QGroupBox& frame : frmSettings) frame.hide();
        setFixedSize(457, 273);
        cmdSettings.setText("&Settings  >>");
    }
    LayOutBottom();
}

void MainWindow::cmdAnalyze_Click()
{
    if (AnalysisVisible()) {
        analysis_->setWindowTitle("Analyze");
        analysis_->hide();
        cmdAnalyze.setText("&Analyze >>");
        setEnabled(true);
        return;
    }
    FreezeForAnalysis();
}

void MainWindow::cmdTestShot_Click()
{
    if (calibration_ && calibration_->Counting()) return;
    DoStop();
    Calibration().show();
    Calibration().raise();
    Calibration().activateWindow();
    Calibration().Form_Activate();
    setEnabled(false);
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

std::string MainWindow::ProgramFolder() const
{
    return std::filesystem::path(services_.settingsPath).parent_path().string();
}

CalibrationWindow& MainWindow::Calibration()
{
    if (!calibration_) {
        CalibrationHost& host = *this;
        calibration_ = std::make_unique<CalibrationWindow>(host, services_.clock, Yield());
    }
    return *calibration_;
}

void MainWindow::AnalyseRecording() { OpenAnalysisOnRecording("Analyze"); }

void MainWindow::ReturnFromCalibration()
{
    setEnabled(true);
    show();
    activateWindow();
    setFocus();
    if (AnalysisVisible()) {
        // The calibration shot opened the analysis window: it stays in
        // front and keeps the main window disabled while it is active.
        analysis_->raise();
        analysis_->activateWindow();
        analysis_->Form_Activate();
    }
}

void MainWindow::lblCredit_Click(int index) { services_.shell.OpenUrl(index == 0 ? kContactUrl : kHomeUrl); }

void MainWindow::chkAutosave_Click()
{
    const bool on = chkAutosave.isChecked();
    chkSaveExt.setEnabled(on);
    chkSaveWaveform.setEnabled(on);
    if (!on) {
        chkSaveExt.setChecked(false);
        chkSaveWaveform.setChecked(false);
    }
}

void MainWindow::optUnits_Click()
{
    if (settingsLoading_) return;
    settingsLoading_ = true;
    SettingsPanel panel = PanelFromControls();
    units_ = ConvertUnits(record_, panel, optUnits[1].isChecked() ? UnitSystem::Imperial : UnitSystem::Metric);
    ShowUnitLabels();
    for (std::size_t i : {PanelField::Distance, PanelField::VelocityMin, PanelField::VelocityMax, PanelField::PelletMass,
                          PanelField::Offset, PanelField::MicDistance}) {
        txtInfo[i].setText(Q(panel.txtInfo[i]));
    }
    settingsLoading_ = false;
}

void MainWindow::txtInfo_GotFocus(int index) { SetBoxColour(index, kFocusColour); }

void MainWindow::txtInfo_LostFocus(int index)
{
    RestoreBoxColour(index);
    if (settingsLoading_ || inFieldLeave_) return;
    inFieldLeave_ = true;
    SettingsPanel panel = PanelFromControls();
    const FieldLeave after = LeaveField(static_cast<std::size_t>(index), panel.txtInfo, record_);
    for (std::size_t i = 0; i < txtInfo.size(); ++i) {
        if (txtInfo[i].text().toStdString() != panel.txtInfo[i]) txtInfo[i].setText(Q(panel.txtInfo[i]));
    }
    if (after.applySampleRate) cmbFreq_Change();
    if (analysis_ && (after.muzzleLevelLines || after.impactLevelLines)) analysis_->MoveLevelLines();
    if (analysis_ && after.redrawZoom && !settingsLoading_) analysis_->DrawZoomArray();
    inFieldLeave_ = false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    for (std::size_t i = 0; i < txtInfo.size(); ++i) {
        if (watched != &txtInfo[i]) continue;
        const int index = static_cast<int>(i);
        if (event->type() == QEvent::FocusIn) txtInfo_GotFocus(index);
        if (event->type() == QEvent::FocusOut) {
            // Another window or a menu taking over is not leaving the field.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) txtInfo_LostFocus(index);
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                txtInfo_LostFocus(index);
                SetBoxColour(index, kFocusColour);  // the field keeps the focus
                return true;
            }
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (watched == &lblCredit[static_cast<std::size_t>(i)] && event->type() == QEvent::MouseButtonRelease) {
            lblCredit_Click(i);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::cmbFreq_Change()
{
    if (inFreqChange_) return;
    inFreqChange_ = true;
    ApplySampleRateText(cmbFreq.currentText().toStdString(), record_);
    DrawTimer.setInterval(kDrawIntervalMs);
    lclCalls.setText(Q(RateStatusText(record_.frequency, kDrawIntervalMs)));
    sampleTimeMs_ = SampleTimeMsFor(record_.frequency);
    const TriggerWindow window = CalcTriggerWindow(PanelFromControls(), record_, sampleTimeMs_);
    detector_.SetWindow(window);
    debug2.setText(Q(window.debugText));
    inFreqChange_ = false;
}

bool MainWindow::InitDevices()
{
    const std::int32_t frequency = record_.frequency;
    deviceList_.clear();
    {
        const QSignalBlocker blockDevices(DevicesBox);
        const QSignalBlocker blockRates(cmbFreq);
        DevicesBox.clear();
        cmbFreq.clear();
        for (const InputDevice& d : services_.inputs.List()) {
            if (!DeviceQualifies(d.formats)) continue;
            deviceList_.push_back(d);
            DevicesBox.addItem(Q(d.name));
        }
    }
    std::vector<std::string> ids;
    for (const InputDevice& d : deviceList_) ids.push_back(d.id);
    services_.device.UseDevices(std::move(ids));

    const bool ok = !deviceList_.empty();
    if (ok) {
        const int position = record_.deviceNum >= 0 && record_.deviceNum < DevicesBox.count() ? record_.deviceNum : 0;
        {
            const QSignalBlocker block(DevicesBox);
            DevicesBox.setCurrentIndex(position);
        }
        DevicesBox_Change();
    }
    // The saved rate survives the rebuilt list, even one the list does not offer.
    record_.frequency = frequency;
    cmbFreq.setEditText(Q(GeneralNumber(frequency)));
    if (ok) DevicesBox.setCurrentIndex(record_.deviceNum);
    return ok;
}

void MainWindow::DevicesBox_Change()
{
    const int position = DevicesBox.currentIndex();
    record_.deviceNum = static_cast<std::int16_t>(position);
    const std::uint32_t formats =
        position >= 0 && position < static_cast<int>(deviceList_.size()) ? deviceList_[static_cast<std::size_t>(position)].formats : 0;
    {
        const QSignalBlocker block(cmbFreq);
        cmbFreq.clear();
        for (const std::string& rate : OfferedRates(formats)) cmbFreq.addItem(Q(rate));
    }
    if (!Offers96k(formats)) {
        lblErr.setText(kNo96kWarning);
        lblErr.show();
    }
    if (cmbFreq.count() > 0) {
        const QSignalBlocker block(cmbFreq);
        cmbFreq.setCurrentIndex(0);
    }
    if (cmbFreq.count() > 0) cmbFreq_Change();
    if (settingsLoaded_) RefreshVolume();
}

void MainWindow::RefreshDevices()
{
    if (engine_.Recording()) {
        devicesChanged_ = true;
        return;
    }
    devicesChanged_ = false;
    // Keep the chosen device chosen, wherever it now stands in the list.
    const int position = DevicesBox.currentIndex();
    if (position >= 0 && position < static_cast<int>(deviceList_.size())) {
        const std::string id = deviceList_[static_cast<std::size_t>(position)].id;
        int newPosition = 0;
        int k = 0;
        for (const InputDevice& d : services_.inputs.List()) {
            if (!DeviceQualifies(d.formats)) continue;
            if (d.id == id) newPosition = k;
            ++k;
        }
        record_.deviceNum = static_cast<std::int16_t>(newPosition);
    }
    if (InitDevices() && lblX1[1].text() == "-1000 ms") {
        // The first device arrived after start-up: finish what start-up could not.
        cmbFreq_Change();
        lblX1[0].setText("|<- 0 ms");
        lblX1[1].setText(Q(RingDurationText(sampleTimeMs_)));
    }
}

}  // namespace quorvel
