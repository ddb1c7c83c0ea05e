// The "Hardware" frame: the sound server's recording devices, the rates the
// chosen one records, and its recording level. The shooter's choice is held
// by the device's identity, not its place in the list: a device plugged in
// or removed ahead of it never makes Quorvel record from another, and while
// the chosen one is away the list says so and keeps waiting for it. A
// change of device or rate is announced; the window decides what it means
// for a recording.
#pragma once

#include <array>
#include <string>
#include <vector>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>

#include "AudioInputs.h"
#include "LiveRecordingDevice.h"
#include "Mixer.h"
#include "SettingsModel.h"

namespace quorvel {

class HardwarePanel final : public QObject {
    Q_OBJECT
public:
    HardwarePanel(QGroupBox& frame, SettingsModel& settings, AudioInputs& inputs, LiveRecordingDevice& device, Mixer& mixer);

    // Builds the device list from the sound server and chooses the device
    // the settings name (by identity when they say which, else by place);
    // false when no device qualifies. Run again whenever devices are
    // plugged in or removed: the choice stays, wherever it now stands.
    bool InitDevices();
    void DevicesBox_Change();
    std::string ChosenDeviceId() const;
    // The chosen device is not connected now; its name, for the shooter.
    bool ChosenMissing() const { return !chosenId_.empty() && ChosenPosition() < 0; }
    const std::string& ChosenName() const { return chosenName_; }
    std::string RateText() const { return cmbFreq.currentText().toStdString(); }
    // The place of the shooter's choice, also while it is away; -1 for none.
    int DevicePosition() const { return chosenId_.empty() ? DevicesBox.currentIndex() : settings_.Record().deviceNum; }
    // Recorded, with the identity only once the shooter has chosen by hand
    // (or the file named it already), so an untouched file keeps its lines.
    std::string DeviceIdToSave() const { return chosenByHand_ || !settings_.Record().deviceId.empty() ? chosenId_ : std::string(); }

    // Puts a level saved for the chosen device back on it, once; a level
    // saved for another device (or for no known one) is left alone.
    void RestoreVolume();
    // Reads the chosen device's level into the bar and its label.
    void RefreshVolume();
    void scrVolume_Change();
    // What is saved: once the shooter moved the bar in this run, the bar and
    // the device whose level it shows; else what the file held.
    int VolumeToSave() const { return volumeMoved_ ? scrVolume.value() : settings_.Record().MicVolume; }
    std::string VolumeDeviceToSave() const { return volumeMoved_ ? barFor_ : settings_.Record().micVolumeDevice; }
    void SetSettingsLoaded() { settingsLoaded_ = true; }
    // While recording a typed rate waits until the field is left: each
    // keystroke would otherwise start the recording again.
    void SetRecording(bool recording) { recording_ = recording; }

    QComboBox DevicesBox;
    QComboBox cmbFreq;
    QScrollBar scrVolume;
    QLabel lblVolume;
    QLabel lblErr;

signals:
    // The text of cmbFreq changed, typed or chosen: the window applies the rate.
    void rateTextChanged();
    // Another device was chosen, after its rates were listed.
    void deviceChosen();

private:
    void ListDevices();
    int ChosenPosition() const;
    void Choose(int position);
    void ShowMissing();
    void RateTyped();

    SettingsModel& settings_;
    AudioInputs& inputs_;
    LiveRecordingDevice& device_;
    Mixer& mixer_;
    std::vector<InputDevice> deviceList_;  // the qualifying devices, in list order
    std::string chosenId_;                 // the shooter's choice, present or not
    std::string chosenName_;
    bool chosenByHand_ = false;
    bool settingsLoaded_ = false;
    bool recording_ = false;
    bool rateWaiting_ = false;   // a rate typed while recording, applied when the field is left
    bool levelRestored_ = false;
    bool volumeMoved_ = false;  // the shooter moved the bar in this run
    std::string barFor_;        // the device whose level the bar shows
    bool volumeFailed_ = false;  // a level could not be set: the bar stays off
    std::array<QLabel, 3> captions_;  // lblInfo(6) to lblInfo(8)
};

}  // namespace quorvel
