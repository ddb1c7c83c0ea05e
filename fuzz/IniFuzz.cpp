// Arbitrary settings files: reading never fails, an untouched file is given
// back byte for byte, a written value reads back, and what a save writes
// loads again to the same panel texts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "IniFile.h"
#include "FuzzCheck.h"
#include "Settings.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniDocument doc(text);
    Check(doc.Text() == text);

    LoadedSettings loaded = LoadSettingsFrom(doc);
    Settings record = loaded.record;
    TakePanelIntoRecord(loaded.panel, record);
    WriteSettingsTo(doc, record, loaded.panel);
    const LoadedSettings again = LoadSettingsFrom(doc);
    // Every field but the derived mic distance (half of an already rounded
    // distance) shows the same text again.
    for (std::size_t i = 0; i < loaded.panel.txtInfo.size(); ++i) {
        if (i != PanelField::MicDistance) Check(again.panel.txtInfo[i] == loaded.panel.txtInfo[i]);
    }
    Check(again.panel.switches.on == loaded.panel.switches.on);
    Check(again.panel.imperial == loaded.panel.imperial);
    Check(again.record.frequency == record.frequency);

    // The first bytes pick a section and key to write; the value must read back.
    static const char* const kSections[] = {"speed", "calibration", "hardware", "Speed ", "x"};
    static const char* const kKeys[] = {"distance", "units", "VelocityMin", "new key", "datafilename"};
    const std::size_t pick = size > 0 ? data[0] : 0;
    doc.Write(kSections[pick % 5], kKeys[(pick / 5) % 5], "12.5");
    Check(doc.Read(kSections[pick % 5], kKeys[(pick / 5) % 5]) == "12.5");
    return 0;
}
