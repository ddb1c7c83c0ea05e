// The settings in force, with one owner. The panel's fields, the hardware
// frame, the analysis window's level lines and the detection choice change
// them here, each through a setter of its own, and whatever shows them
// hears of every change. Windows ask the model, never each other's boxes.
// What is saved stays the text the panel shows (Settings.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "FieldRules.h"
#include "Settings.h"

namespace quorvel {

// Volumes: set from outside the panel (a level line, a suggestion); a
// volume typed in the panel is a Field change like any other.
enum class SettingChange { Loaded, Field, Volumes, Rate, Device, Window, Units, Method };

class SettingsModel;

// Hears the model until it goes; it may go before or after the model's last change.
class SettingsSubscription {
public:
    SettingsSubscription() = default;
    SettingsSubscription(SettingsModel* model, int id) : model_(model), id_(id) {}
    SettingsSubscription(SettingsSubscription&& other) noexcept { *this = std::move(other); }
    SettingsSubscription& operator=(SettingsSubscription&& other) noexcept;
    ~SettingsSubscription();

private:
    SettingsModel* model_ = nullptr;
    int id_ = 0;
};

class SettingsModel {
public:
    using Listener = std::function<void(SettingChange)>;
    [[nodiscard]] SettingsSubscription Subscribe(Listener listener);
    void Unsubscribe(int id) { listeners_.erase(id); }

    void Load(const LoadedSettings& loaded);
    bool Loaded() const { return loaded_; }
    const Settings& Record() const { return record_; }
    const UnitLabels& Units() const { return units_; }
    double SampleTimeMs() const { return sampleTimeMs_; }
    DetectionMethod Method() const { return record_.method; }
    const std::string& Learnt() const { return record_.learnt; }

    // Field `index` was left: its limits applied to the panel, its value taken.
    FieldLeave LeaveField(std::size_t index, SettingsPanel& panel);
    // The unit switch: the values and the panel's texts converted.
    void SwitchUnits(UnitSystem to, SettingsPanel& panel);
    // A level line dragged or a suggestion applied.
    void SetVolumes(std::int16_t muzzle, std::int16_t impact);
    // The rate list's text: a number above 1000 becomes the rate. The
    // sample time follows the rate either way.
    void TakeRateText(const std::string& text);
    void SetFrequency(std::int32_t frequency);
    // The device's place in the list.
    void SetDevice(std::int16_t position);
    // Distance and the velocity limits from the panel, as the rate handler takes them.
    void TakeWindowFields(const SettingsPanel& panel);
    // The Detection choice in the panel.
    void SetMethod(DetectionMethod method);
    // What the method learnt of the shooter's report (the calibration shot, a string's first shots).
    void SetLearnt(std::string learnt);
    // These settings with all the panel shows taken in (for measuring a file).
    Settings WithPanel(const SettingsPanel& panel) const;
    // The panel's texts written to `path`, and taken in: "" or why not.
    std::string Save(const std::string& path, const SettingsPanel& panel);

private:
    void Changed(SettingChange change);

    Settings record_;
    UnitLabels units_ = SetUnitLabels(UnitSystem::Metric);
    double sampleTimeMs_ = 0;
    bool loaded_ = false;
    std::map<int, Listener> listeners_;
    int nextId_ = 1;
};

}  // namespace quorvel
