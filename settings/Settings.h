// The settings record, the panel values it is shown in, and settings.ini.
// Load fills both record and panel from the file; save takes the panel's
// texts back into the record and writes them, so what is saved is what the
// shooter saw. The panel here is a plain value: the main window binds its
// controls to it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "IniFile.h"
#include "Units.h"
#include "DetectionMethod.h"

namespace quorvel {

struct Settings {
    double VelocityMin = 0;
    double VelocityMax = 0;
    double distance = 0;
    double pelletmass = 0;
    double RetainedVelocity = 0;
    double offset = 0;
    std::int16_t MuzzleVolume = 0;
    std::int16_t ImpactVolume = 0;
    std::int16_t MicVolume = 0;
    std::int16_t deviceNum = 0;
    UnitSystem units = UnitSystem::Metric;
    std::int32_t frequency = 0;
    std::string datafilename;
    // Which device `deviceNum` meant and which device `MicVolume` was set
    // on, by the sound server's identity: places in the list change when
    // microphones come and go. Written only once they carry something.
    std::string deviceId;
    std::string micVolumeDevice;
    // [measuring] method: how shots are timed; threshold when the file does
    // not say. report: what the onset method learnt of the shooter's own
    // report, kept for the next start.
    DetectionMethod method = DetectionMethod::Threshold;
    std::string learnt;
};

// Indexes of the nine settings fields txtInfo(0) to txtInfo(8).
namespace PanelField {
enum : std::size_t {
    Distance = 0,
    PelletMass = 1,
    RetainedVelocity = 2,
    ImpactVolume = 3,
    VelocityMin = 4,
    VelocityMax = 5,
    MicDistance = 6,  // shows half the distance; never read back
    MuzzleVolume = 7,
    Offset = 8,
};
}

// The six on/off switches, in file order: chkFreeze(0..2), chkAutosave,
// chkSaveExt, chkSaveWaveform.
enum class Switch : std::size_t {
    FreezeIfDetected = 0,
    FreezeIfNoImpact = 1,
    FreezeIfMaxExceeded = 2,
    AutoSave = 3,
    SaveExtended = 4,
    SaveWaveform = 5,
};
inline constexpr std::array<const char*, 6> kSwitchKeys = {
    "FreezeIFdetected", "freezeIFnoimpact", "freezeIFmaxexceed", "AutoSaveBasic", "AutoSaveExtended", "AutoSaveWaveForm",
};

struct Switches {
    std::array<bool, 6> on{};
    bool operator[](Switch s) const { return on[static_cast<std::size_t>(s)]; }
    bool& operator[](Switch s) { return on[static_cast<std::size_t>(s)]; }
};

struct SettingsPanel {
    std::array<std::string, 9> txtInfo;
    Switches switches;
    bool imperial = false;    // optUnits(1) selected
    std::string rateText;     // the text of cmbFreq
    int devicePosition = -1;  // selected entry of DevicesBox, -1 for none
    int volumePosition = 0;   // scrVolume
    std::string deviceId;         // written when not empty
    std::string micVolumeDevice;  // written when not empty
    // A value more precise than its field's text (a switch of units shows
    // 32.8 for 32.8084 feet): measuring uses it while the field shows the
    // text it was written with. What is saved stays the text.
    std::array<std::optional<double>, 9> exact{};
    // [measuring] method is written when the file had it or the shooter
    // chose a method in the panel: a file that never named one keeps its bytes.
    bool methodKept = false;
};

// The value of a settings field: its exact value when it has one, else its text read as a number.
double FieldValue(const SettingsPanel& panel, std::size_t field);

struct LoadedSettings {
    Settings record;
    SettingsPanel panel;
    UnitLabels units;
    double SampleTimeMs = 0;
};

struct SettingsLoadResult {
    bool ok = false;
    // Why loading failed, ready for a message box; or, with `ok`, a file that
    // held none of the settings and gave way to the shipped ones.
    std::string message;
    LoadedSettings loaded;
};

// The break between the lines of a message; a carriage return on the old
// platform, a newline here.
inline constexpr const char* kLineBreak = "\n";

// Reads settings.ini. A missing file gives the "<path> not found !!!" message;
// a missing key or non-number gives 0, check states other than 0 tick their
// box. A file holding none of the keys gives the shipped settings and a message.
SettingsLoadResult LoadSettings(const std::string& path);
LoadedSettings LoadSettingsFrom(const IniDocument& file);

// Takes the panel into the record and writes the 18 values into the file at
// `path` (created if missing), keeping every other line. Returns an empty
// string on success, else a message naming the file and the reason; the file
// on disk is then unchanged.
std::string SaveSettings(const std::string& path, const SettingsPanel& panel, Settings& record);
void TakePanelIntoRecord(const SettingsPanel& panel, Settings& record);
// Distance and the velocity limits from the panel into the record, as the
// rate handler takes them before it works out the trigger window.
void TakeWindowFields(const SettingsPanel& panel, Settings& record);
void WriteSettingsTo(IniDocument& file, const Settings& record, const SettingsPanel& panel);

// Applies a sample-rate text as the rate list does: a number above 1000 becomes
// `frequency` (half to even); anything else leaves it. Returns whether it was taken.
bool ApplySampleRateText(const std::string& text, Settings& record);

// Milliseconds per sample; infinite for a rate of 0 until a rate is chosen.
double SampleTimeMsFor(std::int32_t frequency);

}  // namespace quorvel
