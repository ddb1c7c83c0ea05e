#include "SettingsModel.h"

#include <utility>

namespace quorvel {

SettingsSubscription& SettingsSubscription::operator=(SettingsSubscription&& other) noexcept
{
    if (this != &other) {
        if (model_ != nullptr) model_->Unsubscribe(id_);
        model_ = std::exchange(other.model_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

SettingsSubscription::~SettingsSubscription()
{
    if (model_ != nullptr) model_->Unsubscribe(id_);
}

SettingsSubscription SettingsModel::Subscribe(Listener listener)
{
    const int id = nextId_++;
    listeners_.emplace(id, std::move(listener));
    return SettingsSubscription(this, id);
}

void SettingsModel::Changed(SettingChange change)
{
    // A listener may subscribe or leave while it hears: walk a copy.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) {
        if (listeners_.count(id) != 0) listener(change);
    }
}

void SettingsModel::Load(const LoadedSettings& loaded)
{
    record_ = loaded.record;
    units_ = loaded.units;
    sampleTimeMs_ = loaded.SampleTimeMs;
    loaded_ = true;
    Changed(SettingChange::Loaded);
}

FieldLeave SettingsModel::LeaveField(std::size_t index, SettingsPanel& panel)
{
    const FieldLeave after = quorvel::LeaveField(index, panel, record_);
    Changed(SettingChange::Field);
    return after;
}

void SettingsModel::SwitchUnits(UnitSystem to, SettingsPanel& panel)
{
    units_ = ConvertUnits(record_, panel, to);
    Changed(SettingChange::Units);
}

void SettingsModel::SetVolumes(std::int16_t muzzle, std::int16_t impact)
{
    record_.MuzzleVolume = muzzle;
    record_.ImpactVolume = impact;
    Changed(SettingChange::Volumes);
}

void SettingsModel::TakeRateText(const std::string& text)
{
    ApplySampleRateText(text, record_);
    SetFrequency(record_.frequency);
}

void SettingsModel::SetFrequency(std::int32_t frequency)
{
    record_.frequency = frequency;
    sampleTimeMs_ = SampleTimeMsFor(frequency);
    Changed(SettingChange::Rate);
}

void SettingsModel::SetDevice(std::int16_t position)
{
    record_.deviceNum = position;
    Changed(SettingChange::Device);
}

void SettingsModel::TakeWindowFields(const SettingsPanel& panel)
{
    quorvel::TakeWindowFields(panel, record_);
    Changed(SettingChange::Window);
}

void SettingsModel::SetMethod(DetectionMethod method)
{
    record_.method = method;
    Changed(SettingChange::Method);
}

void SettingsModel::SetLearnt(std::string learnt)
{
    if (learnt == record_.learnt) return;
    record_.learnt = std::move(learnt);
    Changed(SettingChange::Method);
}

Settings SettingsModel::WithPanel(const SettingsPanel& panel) const
{
    Settings record = record_;
    TakePanelIntoRecord(panel, record);
    return record;
}

std::string SettingsModel::Save(const std::string& path, const SettingsPanel& panel)
{
    return SaveSettings(path, panel, record_);
}

}  // namespace quorvel
