// The settings fields of the main window: the nine txtInfo boxes with their
// captions and units in "General Settings" and "Calibration", the unit
// switch, and the switches of "Auto Analyze" and "Save". A field is checked
// when the shooter leaves it or presses Enter; what that sets off elsewhere
// (the rate handler, the analysis window's lines) is announced.
#pragma once

#include <array>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "PanelRules.h"
#include "SettingsModel.h"

namespace quorvel {

class SettingsFields final : public QObject {
    Q_OBJECT
public:
    // frames: "General Settings", "Calibration", "Auto Analyze ", "Save".
    SettingsFields(std::array<QGroupBox*, 4> frames, SettingsModel& settings);

    void ApplyLoaded(const LoadedSettings& loaded);
    // The panel's texts, switches and units; the hardware part adds its own.
    void Fill(SettingsPanel& panel) const;
    Switches SwitchesFromControls() const;
    void ShowUnitLabels();
    // While recording nothing can be typed; the mic distance is never typed.
    void SetRecording(bool recording);
    void SetVolumeBoxRed(bool muzzle);
    void RestoreVolumeBoxes();
    // A freeze switch's text turns red until the analysis window closes.
    void MarkFreeze(int index);
    void ClearFreezeMarks();

    // Fields typed in but not yet left are checked now, as leaving them
    // would: every way into a measurement goes through here first.
    void CommitEdits();

    void txtInfo_GotFocus(int index);
    void txtInfo_LostFocus(int index);
    void chkAutosave_Click();
    void optUnits_Click();

    std::array<QLineEdit, 9> txtInfo;
    std::array<QCheckBox, 3> chkFreeze;
    QCheckBox chkAutosave;
    QCheckBox chkSaveExt;
    QCheckBox chkSaveWaveform;
    std::array<QRadioButton, 2> optUnits;

signals:
    void fieldLeft(FieldLeave after);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildFields(QGroupBox* general, QGroupBox* calibration);
    void BuildSwitches(QGroupBox* freeze, QGroupBox* save);
    void SetBoxColour(std::size_t index, const QColor& colour);
    void RestoreBoxColour(std::size_t index);

    SettingsModel& settings_;
    SettingsSubscription followed_;  // volumes set from a level line show in their boxes
    bool settingsLoading_ = false;
    bool inFieldLeave_ = false;
    std::array<bool, 9> typed_{};  // typed in since the field was last checked
    // Values more precise than the text a switch of units wrote, and that text.
    std::array<std::optional<double>, 9> exact_{};
    std::array<std::string, 9> exactText_{};
    void KeepExact(const SettingsPanel& panel);
    std::array<QLabel, 22> lblInfo;  // lblInfo(6) to (8) belong to the Hardware frame and stay unused here
};

}  // namespace quorvel
