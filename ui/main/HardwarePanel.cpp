#include "HardwarePanel.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "NumberText.h"
#include "PanelRules.h"
#include "Placement.h"

namespace quorvel {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

HardwarePanel::HardwarePanel(QGroupBox& frame, SettingsModel& settings, AudioInputs& inputs, LiveRecordingDevice& device,
                             Mixer& mixer)
    : QObject(&frame), settings_(settings), inputs_(inputs), device_(device), mixer_(mixer)
{
    setObjectName("hardwarePanel");
    Place(captions_[2], &frame, "lblInfo(8)", 10, 22, 70, 18).setText("Device:");
    Place(DevicesBox, &frame, "DevicesBox", 82, 20, 238, 22);
    Place(captions_[0], &frame, "lblInfo(6)", 10, 50, 70, 18).setText("Frequency:");
    Place(cmbFreq, &frame, "cmbFreq", 82, 48, 100, 22).setEditable(true);
    cmbFreq.setInsertPolicy(QComboBox::NoInsert);
    cmbFreq.setCompleter(nullptr);  // a typed rate is taken as typed, keystroke by keystroke
    Place(lblErr, &frame, "lblErr", 190, 44, 134, 32);
    lblErr.setStyleSheet("color: rgb(255, 0, 0);");
    lblErr.hide();
    Place(captions_[1], &frame, "lblInfo(7)", 10, 88, 70, 18).setText("Volume:");
    Place(scrVolume, &frame, "scrVolume", 82, 88, 180, 17).setOrientation(Qt::Horizontal);
    scrVolume.setRange(0, 10);
    // One step per click, in the track as on the arrows: a click beside the
    // thumb must not silence the microphone.
    scrVolume.setSingleStep(1);
    scrVolume.setPageStep(1);
    Place(lblVolume, &frame, "lblVolume", 270, 88, 50, 18).setText("5");

    connect(&cmbFreq, &QComboBox::editTextChanged, this, [this] { RateTyped(); });
    connect(cmbFreq.lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (!rateWaiting_) return;
        rateWaiting_ = false;
        emit rateTextChanged();
    });
    connect(&DevicesBox, &QComboBox::currentIndexChanged, this, [this] {
        chosenByHand_ = true;
        DevicesBox_Change();
    });
    connect(&scrVolume, &QScrollBar::valueChanged, this, [this] {
        volumeMoved_ = true;
        scrVolume_Change();
    });
}

void HardwarePanel::RateTyped()
{
    // Chosen from the list or set by the program: at once. Typed while
    // recording: once the field is left.
    if (recording_ && cmbFreq.lineEdit()->isModified()) {
        rateWaiting_ = true;
        return;
    }
    emit rateTextChanged();
}

std::string HardwarePanel::ChosenDeviceId() const
{
    return ChosenPosition() >= 0 ? chosenId_ : std::string();
}

int HardwarePanel::ChosenPosition() const
{
    for (std::size_t i = 0; i < deviceList_.size(); ++i) {
        if (deviceList_[i].id == chosenId_) return static_cast<int>(i);
    }
    return -1;
}

void HardwarePanel::ListDevices()
{
    deviceList_.clear();
    const QSignalBlocker blockDevices(DevicesBox);
    const QSignalBlocker blockRates(cmbFreq);
    DevicesBox.clear();
    cmbFreq.clear();
    for (const InputDevice& d : inputs_.List()) {
        if (!DeviceQualifies(d.formats)) continue;
        deviceList_.push_back(d);
        DevicesBox.addItem(Q(d.name));
    }
    std::vector<std::string> ids;
    for (const InputDevice& d : deviceList_) ids.push_back(d.id);
    device_.UseDevices(std::move(ids));
}

bool HardwarePanel::InitDevices()
{
    const std::int32_t frequency = settings_.Record().frequency;
    ListDevices();
    if (chosenId_.empty() && !settings_.Record().deviceId.empty()) {
        chosenId_ = settings_.Record().deviceId;
        chosenName_ = settings_.Record().deviceId;
    }
    const bool ok = !deviceList_.empty();
    int position = ChosenPosition();
    if (ok && chosenId_.empty()) {
        position = settings_.Record().deviceNum >= 0 && settings_.Record().deviceNum < DevicesBox.count() ? settings_.Record().deviceNum : 0;
    }
    if (ok && position >= 0) {
        Choose(position);
    } else {
        ShowMissing();
    }
    // The saved rate survives the rebuilt list, even one the list does not offer.
    settings_.SetFrequency(frequency);
    cmbFreq.setEditText(Q(GeneralNumber(frequency)));
    return ok;
}

void HardwarePanel::Choose(int position)
{
    {
        const QSignalBlocker block(DevicesBox);
        DevicesBox.setCurrentIndex(position);
    }
    DevicesBox_Change();
}

void HardwarePanel::ShowMissing()
{
    const QSignalBlocker block(DevicesBox);
    DevicesBox.setCurrentIndex(-1);
    if (chosenId_.empty()) return;
    DevicesBox.setPlaceholderText(Q(chosenName_ + " (not connected)"));
    DevicesBox.setToolTip(Q("The chosen device " + chosenName_ +
                            " is not connected. Quorvel chooses it again as soon as it is back; choose another here to "
                            "record from that one instead."));
}

void HardwarePanel::DevicesBox_Change()
{
    const int position = DevicesBox.currentIndex();
    if (position < 0 || position >= static_cast<int>(deviceList_.size())) return;
    const InputDevice& chosen = deviceList_[static_cast<std::size_t>(position)];
    settings_.SetDevice(static_cast<std::int16_t>(position));
    chosenId_ = chosen.id;
    chosenName_ = chosen.name;
    DevicesBox.setToolTip(QString());
    {
        const QSignalBlocker block(cmbFreq);
        cmbFreq.clear();
        for (const std::string& rate : OfferedRates(chosen.formats, chosen.nativeRate)) cmbFreq.addItem(Q(rate));
    }
    if (!Offers96k(chosen.formats)) {
        lblErr.setText(kNo96kWarning);
        lblErr.show();
    }
    if (cmbFreq.count() > 0) {
        {
            const QSignalBlocker block(cmbFreq);
            cmbFreq.setCurrentIndex(0);
        }
        emit rateTextChanged();
    }
    if (settingsLoaded_) {
        RefreshVolume();
        RestoreVolume();
    }
    emit deviceChosen();
}

void HardwarePanel::RestoreVolume()
{
    if (levelRestored_ || settings_.Record().micVolumeDevice.empty() || settings_.Record().micVolumeDevice != ChosenDeviceId()) return;
    levelRestored_ = true;
    RefreshVolume();
    if (scrVolume.isEnabled() && settings_.Record().MicVolume > 0) {
        const QSignalBlocker block(scrVolume);
        scrVolume.setValue(std::clamp<int>(settings_.Record().MicVolume, scrVolume.minimum(), scrVolume.maximum()));
        scrVolume_Change();
    }
}

void HardwarePanel::scrVolume_Change()
{
    const int percent = scrVolume.value() * 10;
    const std::string id = ChosenDeviceId();
    barFor_ = id;
    if (!mixer_.SetLevel(id, MixerLevel(percent, 0, kMixerMaximum))) {
        volumeFailed_ = true;  // for the rest of the run
        scrVolume.setEnabled(false);
        scrVolume.setToolTip("The recording level of this device cannot be set");
    }
    const int shown = MixerPercent(mixer_.Level(id).value_or(0), 0, kMixerMaximum);
    lblVolume.setText(Q(GeneralNumber(shown / 10.0)));
}

void HardwarePanel::RefreshVolume()
{
    const std::string id = ChosenDeviceId();
    if (volumeFailed_) return;
    if (id.empty() || !mixer_.HasControl(id)) {
        scrVolume.setEnabled(false);
        scrVolume.setToolTip("This recording device has no volume control");
        return;
    }
    scrVolume.setEnabled(true);
    scrVolume.setToolTip(QString());
    barFor_ = id;
    const int percent = MixerPercent(mixer_.Level(id).value_or(0), 0, kMixerMaximum);
    const QSignalBlocker block(scrVolume);
    scrVolume.setValue(RoundToInt32(percent / 10.0));
    lblVolume.setText(Q(GeneralNumber(percent / 10.0)));
}

}  // namespace quorvel
