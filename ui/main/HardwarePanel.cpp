#include "HardwarePanel.h"

#include <QSignalBlocker>

#include "NumberText.h"
#include "PanelRules.h"
#include "Placement.h"

namespace quorvel {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

HardwarePanel::HardwarePanel(QGroupBox& frame, Settings& record, AudioInputs& inputs, LiveRecordingDevice& device,
                             Mixer& mixer)
    : QObject(&frame), record_(record), inputs_(inputs), device_(device), mixer_(mixer)
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

    connect(&cmbFreq, &QComboBox::editTextChanged, this, [this] { emit rateTextChanged(); });
    connect(&DevicesBox, &QComboBox::currentIndexChanged, this, [this] { DevicesBox_Change(); });
    connect(&scrVolume, &QScrollBar::valueChanged, this, [this] {
        volumeMoved_ = true;
        scrVolume_Change();
    });
}

std::string HardwarePanel::ChosenDeviceId() const
{
    const int position = DevicesBox.currentIndex();
    if (position < 0 || position >= static_cast<int>(deviceList_.size())) return {};
    return deviceList_[static_cast<std::size_t>(position)].id;
}

bool HardwarePanel::InitDevices()
{
    const std::int32_t frequency = record_.frequency;
    deviceList_.clear();
    {
        const QSignalBlocker blockDevices(DevicesBox);
        const QSignalBlocker blockRates(cmbFreq);
        DevicesBox.clear();
        cmbFreq.clear();
        for (const InputDevice& d : inputs_.List()) {
            if (!DeviceQualifies(d.formats)) continue;
            deviceList_.push_back(d);
            DevicesBox.addItem(Q(d.name));
        }
    }
    std::vector<std::string> ids;
    for (const InputDevice& d : deviceList_) ids.push_back(d.id);
    device_.UseDevices(std::move(ids));

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

void HardwarePanel::DevicesBox_Change()
{
    const int position = DevicesBox.currentIndex();
    record_.deviceNum = static_cast<std::int16_t>(position);
    const std::uint32_t formats = position >= 0 && position < static_cast<int>(deviceList_.size())
                                      ? deviceList_[static_cast<std::size_t>(position)].formats
                                      : 0;
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
        {
            const QSignalBlocker block(cmbFreq);
            cmbFreq.setCurrentIndex(0);
        }
        emit rateTextChanged();
    }
    if (settingsLoaded_) RefreshVolume();
    emit deviceChosen();
}

bool HardwarePanel::InitDevicesKeepingChoice()
{
    // Keep the chosen device chosen, wherever it now stands in the list.
    const std::string id = ChosenDeviceId();
    if (!id.empty()) {
        int newPosition = 0;
        int k = 0;
        for (const InputDevice& d : inputs_.List()) {
            if (!DeviceQualifies(d.formats)) continue;
            if (d.id == id) newPosition = k;
            ++k;
        }
        record_.deviceNum = static_cast<std::int16_t>(newPosition);
    }
    return InitDevices();
}

void HardwarePanel::RestoreVolume(int saved)
{
    RefreshVolume();
    if (scrVolume.isEnabled() && saved > 0) {
        const QSignalBlocker block(scrVolume);
        scrVolume.setValue(std::clamp(saved, scrVolume.minimum(), scrVolume.maximum()));
        scrVolume_Change();
    }
}

void HardwarePanel::scrVolume_Change()
{
    const int percent = scrVolume.value() * 10;
    const std::string id = ChosenDeviceId();
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
    const int percent = MixerPercent(mixer_.Level(id).value_or(0), 0, kMixerMaximum);
    const QSignalBlocker block(scrVolume);
    scrVolume.setValue(RoundToInt32(percent / 10.0));
    lblVolume.setText(Q(GeneralNumber(percent / 10.0)));
}

}  // namespace quorvel
