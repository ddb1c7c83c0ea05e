#include "Settings.h"

#include "NumberText.h"
#include "ShippedSettings.h"

#include <strings.h>
#include <unistd.h>

namespace quorvel {

namespace {
double Number(const IniDocument& file, const char* section, const char* key)
{
    return ParseLeadingNumber(file.Read(section, key));
}

bool HoldsAnySetting(const IniDocument& file)
{
    static constexpr std::pair<const char*, const char*> kKeys[] = {
        {"speed", "VelocityMin"},      {"speed", "VelocityMax"},       {"speed", "distance"},
        {"speed", "pelletmass"},       {"speed", "RetainedVelocity"},  {"calibration", "offset"},
        {"calibration", "MuzzleVolume"}, {"calibration", "ImpactVolume"}, {"calibration", "MicVolume"},
        {"calibration", "units"},      {"hardware", "frequency"},      {"hardware", "deviceNum"},
        {"hardware", "datafilename"},
    };
    for (const auto& [section, key] : kKeys) {
        if (file.Has(section, key)) return true;
    }
    for (const char* key : kSwitchKeys) {
        if (file.Has("calibration", key)) return true;
    }
    return false;
}
// A key in a section where nothing reads it would be ignored in silence:
// the shooter who wrote datafilename under [speed] is told where it goes.
// Keys the program cannot use as they stand, said once at start.
std::string MisplacedKeys(const IniDocument& file)
{
    static constexpr std::pair<const char*, const char*> kPlaces[] = {{"datafilename", "hardware"}};
    std::string message;
    const std::string method = file.Read("measuring", "method");
    if (!method.empty() && !MethodFromName(method)) {
        message = "method=" + method + " in [measuring] is no detection method (threshold or onset): Quorvel measures "
                  "with threshold, the first sample past the trigger volumes.";
    }
    for (const auto& [key, home] : kPlaces) {
        for (const std::string& section : file.SectionsWith(key)) {
            if (::strcasecmp(section.c_str(), home) == 0) continue;
            message += std::string(message.empty() ? "" : kLineBreak) + key + " in " +
                       (section.empty() ? std::string("no section") : "[" + section + "]") +
                       " is not read: it belongs in [" + home + "].";
        }
    }
    return message;
}

}  // namespace

double SampleTimeMsFor(std::int32_t frequency) { return 1.0 / frequency * 1000; }

LoadedSettings LoadSettingsFrom(const IniDocument& file)
{
    LoadedSettings out;
    Settings& s = out.record;
    SettingsPanel& panel = out.panel;

    s.datafilename = file.Read("hardware", "datafilename");
    s.VelocityMin = Number(file, "speed", "VelocityMin");
    s.VelocityMax = Number(file, "speed", "VelocityMax");
    s.distance = Number(file, "speed", "distance");
    s.pelletmass = Number(file, "speed", "pelletmass");
    s.RetainedVelocity = Number(file, "speed", "RetainedVelocity");
    s.offset = Number(file, "calibration", "offset");
    s.MuzzleVolume = RoundToInt16(Number(file, "calibration", "MuzzleVolume"));
    s.ImpactVolume = RoundToInt16(Number(file, "calibration", "ImpactVolume"));
    s.MicVolume = RoundToInt16(Number(file, "calibration", "MicVolume"));
    s.micVolumeDevice = file.Read("calibration", "MicVolumeDevice");
    s.deviceId = file.Read("hardware", "deviceId");
    const std::string method = file.Read("measuring", "method");
    s.method = MethodFromName(method).value_or(DetectionMethod::Threshold);
    panel.methodKept = !method.empty();
    s.learnt = file.Read("measuring", "report");

    for (std::size_t i = 0; i < kSwitchKeys.size(); ++i) {
        panel.switches.on[i] = RoundToInt16(Number(file, "calibration", kSwitchKeys[i])) != 0;
    }

    s.frequency = RoundToInt32(Number(file, "hardware", "frequency"));
    s.deviceNum = RoundToInt16(Number(file, "hardware", "deviceNum"));
    out.SampleTimeMs = SampleTimeMsFor(s.frequency);

    s.units = UnitSystemOf(RoundToInt16(Number(file, "calibration", "units")));
    panel.imperial = s.units == UnitSystem::Imperial;
    out.units = SetUnitLabels(s.units);

    panel.txtInfo[PanelField::PelletMass] = GeneralNumber(s.pelletmass);
    panel.txtInfo[PanelField::RetainedVelocity] = GeneralNumber(s.RetainedVelocity);
    panel.txtInfo[PanelField::VelocityMin] = GeneralNumber(s.VelocityMin);
    panel.txtInfo[PanelField::VelocityMax] = GeneralNumber(s.VelocityMax);
    panel.txtInfo[PanelField::MicDistance] = GeneralNumber(s.distance / 2);
    panel.txtInfo[PanelField::MuzzleVolume] = GeneralNumber(s.MuzzleVolume);
    panel.txtInfo[PanelField::ImpactVolume] = GeneralNumber(s.ImpactVolume);
    panel.txtInfo[PanelField::Distance] = GeneralNumber(s.distance);
    panel.txtInfo[PanelField::Offset] = GeneralNumber(s.offset);

    panel.rateText = GeneralNumber(s.frequency);
    panel.devicePosition = s.deviceNum;
    panel.deviceId = s.deviceId;
    panel.micVolumeDevice = s.micVolumeDevice;
    return out;
}

SettingsLoadResult LoadSettings(const std::string& path)
{
    SettingsLoadResult result;
    const auto file = LoadIniFile(path);
    if (!file) {
        if (::access(path.c_str(), F_OK) == 0) {
            result.message = "Cannot read the settings: " + file.Error() + kLineBreak + "Can't continue";
        } else {
            result.message = path + " not found !!!" + kLineBreak + "Can't continue";
        }
        return result;
    }
    result.ok = true;
    if (!HoldsAnySetting(*file)) {
        // Garbage or an empty file would give every value 0 ("0 Hz", an
        // infinite sample time); the shipped values are a working start.
        result.loaded = LoadSettingsFrom(IniDocument(kShippedSettings));
        result.message = path + " holds none of Quorvel's settings." + kLineBreak +
                         "The shipped settings are used; the file is left as it is until the settings are saved.";
        return result;
    }
    result.loaded = LoadSettingsFrom(*file);
    result.message = MisplacedKeys(*file);
    return result;
}

double FieldValue(const SettingsPanel& panel, std::size_t field)
{
    return panel.exact[field].value_or(ParseLeadingNumber(panel.txtInfo[field]));
}

void TakeWindowFields(const SettingsPanel& panel, Settings& record)
{
    record.VelocityMin = FieldValue(panel, PanelField::VelocityMin);
    record.VelocityMax = FieldValue(panel, PanelField::VelocityMax);
    record.distance = FieldValue(panel, PanelField::Distance);
}

void TakePanelIntoRecord(const SettingsPanel& panel, Settings& s)
{
    s.distance = FieldValue(panel, PanelField::Distance);
    s.pelletmass = FieldValue(panel, PanelField::PelletMass);
    s.RetainedVelocity = FieldValue(panel, PanelField::RetainedVelocity);
    s.frequency = RoundToInt32(ParseLeadingNumber(panel.rateText));
    s.deviceNum = RoundToInt16(panel.devicePosition);
    s.VelocityMin = FieldValue(panel, PanelField::VelocityMin);
    s.VelocityMax = FieldValue(panel, PanelField::VelocityMax);
    s.MuzzleVolume = RoundToInt16(ParseLeadingNumber(panel.txtInfo[PanelField::MuzzleVolume]));
    s.ImpactVolume = RoundToInt16(ParseLeadingNumber(panel.txtInfo[PanelField::ImpactVolume]));
    s.MicVolume = RoundToInt16(panel.volumePosition);
    s.offset = FieldValue(panel, PanelField::Offset);
    s.deviceId = panel.deviceId;
    s.micVolumeDevice = panel.micVolumeDevice;
}

void WriteSettingsTo(IniDocument& file, const Settings& s, const SettingsPanel& panel)
{
    const auto integer = [](long long v) { return std::to_string(v); };
    file.Write("speed", "VelocityMin", GeneralNumber(s.VelocityMin));
    file.Write("speed", "VelocityMax", GeneralNumber(s.VelocityMax));
    file.Write("speed", "distance", GeneralNumber(s.distance));
    file.Write("speed", "pelletmass", GeneralNumber(s.pelletmass));
    file.Write("calibration", "MuzzleVolume", integer(s.MuzzleVolume));
    file.Write("calibration", "ImpactVolume", integer(s.ImpactVolume));
    file.Write("calibration", "MicVolume", integer(s.MicVolume));
    file.Write("calibration", "offset", GeneralNumber(s.offset));
    file.Write("speed", "RetainedVelocity", GeneralNumber(s.RetainedVelocity));
    file.Write("hardware", "frequency", integer(s.frequency));
    file.Write("hardware", "deviceNum", integer(s.deviceNum));
    for (std::size_t i = 0; i < kSwitchKeys.size(); ++i) {
        file.Write("calibration", kSwitchKeys[i], panel.switches.on[i] ? "1" : "0");
    }
    file.Write("calibration", "units", panel.imperial ? "1" : "0");
    if (!panel.micVolumeDevice.empty()) file.Write("calibration", "MicVolumeDevice", panel.micVolumeDevice);
    if (!panel.deviceId.empty()) file.Write("hardware", "deviceId", panel.deviceId);
    if (panel.methodKept) file.Write("measuring", "method", std::string(MethodName(s.method)));
    if (!s.learnt.empty()) file.Write("measuring", "report", s.learnt);
}

std::string SaveSettings(const std::string& path, const SettingsPanel& panel, Settings& record)
{
    // The file gets the texts the shooter saw, not what was measured with.
    SettingsPanel shown = panel;
    shown.exact = {};
    TakePanelIntoRecord(shown, record);
    IniDocument file;
    if (auto existing = LoadIniFile(path)) {
        file = std::move(*existing);
    } else if (::access(path.c_str(), F_OK) == 0) {
        // It is there but cannot be read: writing would throw away the lines
        // we could not see.
        return "Cannot save the settings: " + existing.Error();
    }
    WriteSettingsTo(file, record, panel);
    const std::string failure = SaveIniFile(path, file);
    if (!failure.empty()) return "Cannot save the settings to " + path + ": " + failure;
    return {};
}

bool ApplySampleRateText(const std::string& text, Settings& record)
{
    const double value = ParseLeadingNumber(text);
    if (value <= 1000) return false;
    record.frequency = RoundToInt32(value);
    return true;
}

}  // namespace quorvel
