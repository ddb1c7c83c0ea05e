// The "Hardware" frame: the sound server's recording devices, the rates the
// chosen one offers, and its recording level. The list keeps the device
// behind each position, so a device plugged in or removed ahead of the
// chosen one never makes Quorvel record from another. A change of device or
// typed rate is announced; the window decides what it means for a recording.
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
#include "Settings.h"

namespace quorvel {

class HardwarePanel final : public QObject {
    Q_OBJECT
public:
    HardwarePanel(QGroupBox& frame, Settings& record, AudioInputs& inputs, LiveRecordingDevice& device, Mixer& mixer);

    // Builds the device list from the sound server; false when no device qualifies.
    bool InitDevices();
    void DevicesBox_Change();
    // Devices were plugged in or removed: the list follows, the chosen
    // device stays chosen. False when no device qualifies any more.
    bool InitDevicesKeepingChoice();
    std::string ChosenDeviceId() const;
    std::string RateText() const { return cmbFreq.currentText().toStdString(); }
    int DevicePosition() const { return DevicesBox.currentIndex(); }

    // Puts a saved level (1 to 10) back on the device; 0 leaves the device's own.
    void RestoreVolume(int saved);
    // Reads the chosen device's level into the bar and its label.
    void RefreshVolume();
    void scrVolume_Change();
    // What is saved: the bar when the shooter moved it in this run, else `saved`.
    int VolumeToSave(int saved) const { return volumeMoved_ ? scrVolume.value() : saved; }
    void SetSettingsLoaded() { settingsLoaded_ = true; }

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
    Settings& record_;
    AudioInputs& inputs_;
    LiveRecordingDevice& device_;
    Mixer& mixer_;
    std::vector<InputDevice> deviceList_;  // the qualifying devices, in list order
    bool settingsLoaded_ = false;
    bool volumeMoved_ = false;   // the shooter moved the volume bar in this run
    bool volumeFailed_ = false;  // a level could not be set: the bar stays off
    std::array<QLabel, 3> captions_;  // lblInfo(6) to lblInfo(8)
};

}  // namespace quorvel
