#include "SettingsFields.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "Placement.h"

namespace quorvel {

namespace {
const QColor kFocusColour(0xFF, 0xE0, 0xC0);
const QColor kTriggerRed(0xFF, 0x00, 0x00);
QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::size_t VolumeField(bool muzzle) { return muzzle ? PanelField::MuzzleVolume : PanelField::ImpactVolume; }
}  // namespace

SettingsFields::SettingsFields(std::array<QGroupBox*, 4> frames, SettingsModel& settings)
    : QObject(frames[0]), settings_(settings)
{
    followed_ = settings_.Subscribe([this](SettingChange change) {
        if (change != SettingChange::Volumes) return;
        txtInfo[PanelField::MuzzleVolume].setText(QString::number(settings_.Record().MuzzleVolume));
        txtInfo[PanelField::ImpactVolume].setText(QString::number(settings_.Record().ImpactVolume));
    });
    setObjectName("settingsFields");
    BuildFields(frames[0], frames[1]);
    BuildSwitches(frames[2], frames[3]);
    connect(&chkAutosave, &QCheckBox::toggled, this, [this] { chkAutosave_Click(); });
    connect(&optUnits[1], &QRadioButton::toggled, this, [this] { optUnits_Click(); });
}

void SettingsFields::BuildFields(QGroupBox* general, QGroupBox* calibration)
{
    struct Field {
        std::size_t index;
        QGroupBox* frame;
        std::size_t caption;
        const char* captionText;
        std::size_t unit;
        const char* unitText;
        const char* tip;
        const char* designed;
    };
    const Field fields[] = {
        {0, general, 1, "Target Distance:", 3, "m", "Distance from muzzle to target", "10"},
        {6, general, 14, "Mic Distance:", 13, "m", "Distance from muzzle to target", "5"},
        {2, general, 2, "Retained Velocity:", 5, "%", "Velocity loss value to convert average velocity to muzzle velocity", "96"},
        {1, general, 0, "Pellet Mass:", 4, "g", "Mass of pellet", "1.037"},
        {4, calibration, 10, "Min Velocity:", 9, "m/s", "Minimum detectable velocity", "200"},
        {5, calibration, 12, "Max Velocity:", 11, "m/s", "Maximum detectable velocity", "400"},
        {7, calibration, 17, "Muzzle Volume:", 18, "0-127", "Measuring trigger volume for muzzle", "75"},
        {3, calibration, 15, "Impact Volume:", 16, "0-127", "Measuring trigger volume for impact", "85"},
        {8, calibration, 20, "Cal. Offset:", 21, "m/s", "Calibration offset (summed to measured velocity)", "0.0"},
    };
    int generalRow = 0;
    int calibrationRow = 0;
    for (const Field& f : fields) {
        const int top = 20 + 25 * (f.frame == general ? generalRow++ : calibrationRow++);
        Place(lblInfo[f.caption], f.frame, Indexed("lblInfo", static_cast<int>(f.caption)), 10, top + 2, 118, 18)
            .setText(f.captionText);
        QLineEdit& edit = Place(txtInfo[f.index], f.frame, Indexed("txtInfo", static_cast<int>(f.index)), 132, top, 80, 21);
        edit.setText(f.designed);
        edit.setToolTip(f.tip);
        edit.installEventFilter(this);
        connect(&edit, &QLineEdit::textEdited, this, [this, i = f.index] { typed_[i] = true; });
        Place(lblInfo[f.unit], f.frame, Indexed("lblInfo", static_cast<int>(f.unit)), 218, top + 2, 100, 18).setText(f.unitText);
    }
    txtInfo[PanelField::MicDistance].setEnabled(false);

    Place(lblInfo[19], general, "lblInfo(19)", 10, 122, 118, 18).setText("Measuring Units:");
    Place(optUnits[0], general, "optUnits(0)", 132, 120, 80, 20).setText("metric ");
    optUnits[0].setToolTip("International System units (metric) based on physics");
    Place(optUnits[1], general, "optUnits(1)", 218, 120, 100, 20).setText("imperial");
    optUnits[1].setToolTip("Imperial units based on King's body measurement and who knows to what else...");
    optUnits[0].setChecked(true);
}

void SettingsFields::BuildSwitches(QGroupBox* freeze, QGroupBox* save)
{
    const std::array<const char*, 3> freezeCaptions = {"... if shot detected", "... if no impact", "... if max velocity exceeded"};
    const std::array<const char*, 3> freezeTips = {"Stop and analyze waveform if successful shot is detected",
                                                   "Stop and analyze waveform if trigger is deteced but no impact",
                                                   "Stop and analyze waveform if max velocity has been exceeded"};
    const std::array<QPoint, 3> freezeAt = {QPoint(10, 18), QPoint(170, 18), QPoint(10, 38)};
    for (std::size_t i = 0; i < 3; ++i) {
        Place(chkFreeze[i], freeze, Indexed("chkFreeze", static_cast<int>(i)), freezeAt[i].x(), freezeAt[i].y(), 190, 20)
            .setText(freezeCaptions[i]);
        chkFreeze[i].setToolTip(freezeTips[i]);
    }
    Place(chkAutosave, save, "chkAutosave", 10, 18, 180, 20).setText("Autosave after detected shot");
    chkAutosave.setToolTip("Saves all measured velocities to txt-file");
    Place(chkSaveExt, save, "chkSaveExt", 190, 18, 130, 20).setText("Save extended data");
    chkSaveExt.setToolTip("Saves also extended internal data");
    Place(chkSaveWaveform, save, "chkSaveWaveform", 10, 38, 180, 20).setText("Save shot waveform ");
    chkSaveWaveform.setToolTip("Saves waveform binary data for later (re)analysing");
    chkSaveExt.setEnabled(false);
    chkSaveWaveform.setEnabled(false);
}

void SettingsFields::ApplyLoaded(const LoadedSettings& loaded)
{
    const Switches& sw = loaded.panel.switches;
    chkFreeze[0].setChecked(sw[Switch::FreezeIfDetected]);
    chkFreeze[1].setChecked(sw[Switch::FreezeIfNoImpact]);
    chkFreeze[2].setChecked(sw[Switch::FreezeIfMaxExceeded]);
    chkAutosave.setChecked(sw[Switch::AutoSave]);  // runs its click logic when it changes
    chkSaveExt.setChecked(sw[Switch::SaveExtended]);
    chkSaveWaveform.setChecked(sw[Switch::SaveWaveform]);

    settingsLoading_ = true;
    KeepExact(SettingsPanel{});
    if (loaded.record.units == UnitSystem::Imperial) optUnits[1].setChecked(true);
    for (std::size_t i : {PanelField::PelletMass, PanelField::RetainedVelocity, PanelField::VelocityMin,
                          PanelField::VelocityMax, PanelField::MicDistance, PanelField::MuzzleVolume,
                          PanelField::ImpactVolume, PanelField::Distance, PanelField::Offset}) {
        txtInfo[i].setText(Q(loaded.panel.txtInfo[i]));
    }
    settingsLoading_ = false;
}

Switches SettingsFields::SwitchesFromControls() const
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

void SettingsFields::Fill(SettingsPanel& panel) const
{
    for (std::size_t i = 0; i < txtInfo.size(); ++i) {
        panel.txtInfo[i] = txtInfo[i].text().toStdString();
        panel.exact[i] = panel.txtInfo[i] == exactText_[i] ? exact_[i] : std::nullopt;
    }
    panel.switches = SwitchesFromControls();
    panel.imperial = optUnits[1].isChecked();
}

void SettingsFields::ShowUnitLabels()
{
    const UnitLabels& units = settings_.Units();
    const QString distance = Q(TrimUnit(units.DistanceUnit));
    const QString speed = Q(TrimUnit(units.SpeedUnit));
    for (std::size_t i : {3, 13}) lblInfo[i].setText(distance);
    for (std::size_t i : {9, 11, 21}) lblInfo[i].setText(speed);
    lblInfo[4].setText(Q(TrimUnit(units.MassUnit)));
}

void SettingsFields::SetRecording(bool recording)
{
    for (QLineEdit& box : txtInfo) box.setEnabled(!recording);
    txtInfo[PanelField::MicDistance].setEnabled(false);
}

void SettingsFields::SetVolumeBoxRed(bool muzzle) { SetBoxColour(VolumeField(muzzle), kTriggerRed); }

void SettingsFields::RestoreVolumeBoxes()
{
    RestoreBoxColour(PanelField::MuzzleVolume);
    RestoreBoxColour(PanelField::ImpactVolume);
}

void SettingsFields::MarkFreeze(int index)
{
    chkFreeze[static_cast<std::size_t>(index)].setStyleSheet("color: rgb(255, 0, 0);");
}

void SettingsFields::ClearFreezeMarks()
{
    for (QCheckBox& box : chkFreeze) box.setStyleSheet(QString());
}

void SettingsFields::chkAutosave_Click()
{
    const bool on = chkAutosave.isChecked();
    chkSaveExt.setEnabled(on);
    chkSaveWaveform.setEnabled(on);
    if (!on) {
        chkSaveExt.setChecked(false);
        chkSaveWaveform.setChecked(false);
    }
}

void SettingsFields::optUnits_Click()
{
    if (settingsLoading_) return;
    settingsLoading_ = true;
    SettingsPanel panel;
    Fill(panel);
    settings_.SwitchUnits(optUnits[1].isChecked() ? UnitSystem::Imperial : UnitSystem::Metric, panel);
    KeepExact(panel);
    ShowUnitLabels();
    for (std::size_t i : {PanelField::Distance, PanelField::VelocityMin, PanelField::VelocityMax, PanelField::PelletMass,
                          PanelField::Offset, PanelField::MicDistance}) {
        txtInfo[i].setText(Q(panel.txtInfo[i]));
    }
    settingsLoading_ = false;
}

void SettingsFields::KeepExact(const SettingsPanel& panel)
{
    for (std::size_t i = 0; i < exact_.size(); ++i) {
        exact_[i] = panel.exact[i];
        exactText_[i] = panel.exact[i] ? panel.txtInfo[i] : std::string();
    }
}

void SettingsFields::txtInfo_GotFocus(int index) { SetBoxColour(static_cast<std::size_t>(index), kFocusColour); }

void SettingsFields::CommitEdits()
{
    for (std::size_t i = 0; i < typed_.size(); ++i) {
        if (typed_[i]) txtInfo_LostFocus(static_cast<int>(i));
    }
}

void SettingsFields::txtInfo_LostFocus(int index)
{
    typed_[static_cast<std::size_t>(index)] = false;
    RestoreBoxColour(static_cast<std::size_t>(index));
    if (settingsLoading_ || inFieldLeave_) return;
    inFieldLeave_ = true;
    SettingsPanel panel;
    Fill(panel);
    const FieldLeave after = settings_.LeaveField(static_cast<std::size_t>(index), panel);
    KeepExact(panel);
    for (std::size_t i = 0; i < txtInfo.size(); ++i) {
        if (txtInfo[i].text().toStdString() != panel.txtInfo[i]) txtInfo[i].setText(Q(panel.txtInfo[i]));
    }
    emit fieldLeft(after);
    inFieldLeave_ = false;
}

bool SettingsFields::eventFilter(QObject* watched, QEvent* event)
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
                SetBoxColour(i, kFocusColour);  // the field keeps the focus
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void SettingsFields::SetBoxColour(std::size_t index, const QColor& colour)
{
    QPalette palette = txtInfo[index].palette();
    palette.setColor(QPalette::Base, colour);
    txtInfo[index].setPalette(palette);
}

void SettingsFields::RestoreBoxColour(std::size_t index) { txtInfo[index].setPalette(QPalette()); }

}  // namespace quorvel
