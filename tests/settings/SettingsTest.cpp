#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "support/TempFolder.h"
#include "Locations.h"
#include "NumberText.h"
#include "Settings.h"
#include "support/Files.h"

using namespace quorvel;
using quorvel::test_support::Slurp;
namespace fs = std::filesystem;

namespace {

fs::path TempFile(const std::string& name, const std::string& content)
{
    const fs::path dir = test_support::FolderFor("settings");
    fs::create_directories(dir);
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

const std::string kHandWritten =
    "# my air rifle\r\n[hardware]\r\ndeviceNum=1\r\ndatafilename=shots.txt\r\nfrequency=44100\r\n\r\n"
    "[calibration]\r\nunits=2\r\nMuzzleVolume=75.5\r\nImpactVolume=74.5\r\nMicVolume=99999\r\noffset=-1.5\r\n"
    "FreezeIFdetected=1\r\nAutoSaveBasic=2\r\nlucky=7\r\n\r\n"
    "[speed]\r\ndistance=12,5\r\nVelocityMin=100\r\nVelocityMax=1100\r\npelletmass=8.44\r\n";

std::string Replaced(std::string text, std::initializer_list<std::pair<std::string, std::string>> changes)
{
    for (const auto& [from, to] : changes) text.replace(text.find(from), from.size(), to);
    return text;
}

}  // namespace

TEST(LoadSettings, ReadsEveryKeyWithTheNumberParse)
{
    const LoadedSettings l = LoadSettingsFrom(IniDocument(kHandWritten));
    const Settings& s = l.record;
    EXPECT_EQ((std::array<double, 6>{s.distance, s.VelocityMin, s.VelocityMax, s.pelletmass, s.RetainedVelocity, s.offset}),
              (std::array<double, 6>{12, 100, 1100, 8.44, 0, -1.5}));
    // Halves to even; MicVolume clamped to its 16-bit field.
    EXPECT_EQ((std::array<int, 6>{s.MuzzleVolume, s.ImpactVolume, s.MicVolume, s.frequency, s.deviceNum, static_cast<int>(s.units)}),
              (std::array<int, 6>{76, 74, 32767, 44100, 1, 1}));  // any number but 0 is imperial
    EXPECT_EQ(s.datafilename, "shots.txt");
    EXPECT_DOUBLE_EQ(l.SampleTimeMs, 1000.0 / 44100);
    EXPECT_TRUE(l.panel.imperial);
    EXPECT_EQ(l.units.SpeedUnit, " fps ");
    EXPECT_EQ(l.panel.switches.on, (std::array<bool, 6>{true, false, false, true, false, false}));
    EXPECT_EQ(l.panel.txtInfo, (std::array<std::string, 9>{"12", "8.44", "0", "74", "100", "1100", "6", "76", "-1.5"}));
    EXPECT_EQ(l.panel.rateText, "44100");
}

TEST(LoadSettings, AMissingFileEndsAndAFileWithoutSettingsGivesTheShippedOnes)
{
    const std::string missing = (test_support::FolderFor("settings") / "no-such-dir" / "settings.ini").string();
    const SettingsLoadResult r = LoadSettings(missing);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, missing + " not found !!!\nCan't continue");

    const LoadedSettings shipped = LoadSettingsFrom(IniDocument(test_support::Slurp(QUORVEL_SHIPPED_SETTINGS)));
    for (const char* content : {"", "garbage\x01\x02[[]]=\n", "[speed]\nVelocity=7\n"}) {
        const fs::path p = TempFile("none.ini", content);
        const SettingsLoadResult r = LoadSettings(p.string());
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.message, p.string() + " holds none of Quorvel's settings.\n"
                                          "The shipped settings are used; the file is left as it is until the settings are saved.");
        EXPECT_EQ(r.loaded.panel.txtInfo, shipped.panel.txtInfo);
        EXPECT_EQ(r.loaded.record.frequency, 96000);
        EXPECT_EQ(Slurp(p), content);
    }
    for (const char* one : {"[calibration]\nunits=1\n", "[calibration]\nFreezeIFdetected=1\n"}) {
        EXPECT_EQ(LoadSettings(TempFile("one.ini", one).string()).message, "") << "one setting is enough: " << one;
    }
}

TEST(SaveSettings, AHandWrittenFileKeepsEverythingButTheValues)
{
    const fs::path p = TempFile("hand.ini", kHandWritten);
    SettingsLoadResult r = LoadSettings(p.string());
    ASSERT_TRUE(r.ok);
    r.loaded.panel.volumePosition = 1234;
    ASSERT_EQ(SaveSettings(p.string(), r.loaded.panel, r.loaded.record), "");
    EXPECT_EQ(Slurp(p), Replaced(kHandWritten, {{"units=2", "units=1"},
                                                {"MuzzleVolume=75.5", "MuzzleVolume=76"},
                                                {"ImpactVolume=74.5", "ImpactVolume=74"},
                                                {"MicVolume=99999", "MicVolume=1234"},
                                                {"AutoSaveBasic=2", "AutoSaveBasic=1"},
                                                {"lucky=7\r\n", "lucky=7\r\nfreezeIFnoimpact=0\r\nfreezeIFmaxexceed=0\r\n"
                                                                "AutoSaveExtended=0\r\nAutoSaveWaveForm=0\r\n"},
                                                {"distance=12,5", "distance=12"},
                                                {"pelletmass=8.44\r\n", "pelletmass=8.44\r\nRetainedVelocity=0\r\n"}}));
}

TEST(SaveSettings, AFileMadeFromNothingHasTheDocumentedLayoutAndReadsBack)
{
    const fs::path p = test_support::FolderFor("settings") / "fresh.ini";
    fs::create_directories(p.parent_path());
    fs::remove(p);
    Settings record;
    SettingsPanel panel;
    panel.txtInfo = {"10", "0.547", "90", "30", "50", "400", "5", "60", "0"};
    panel.rateText = "96000";
    panel.devicePosition = 0;
    ASSERT_EQ(SaveSettings(p.string(), panel, record), "");
    EXPECT_EQ(Slurp(p),
              "[speed]\nVelocityMin=50\nVelocityMax=400\ndistance=10\npelletmass=0.547\nRetainedVelocity=90\n"
              "[calibration]\nMuzzleVolume=60\nImpactVolume=30\nMicVolume=0\noffset=0\nFreezeIFdetected=0\n"
              "freezeIFnoimpact=0\nfreezeIFmaxexceed=0\nAutoSaveBasic=0\nAutoSaveExtended=0\nAutoSaveWaveForm=0\n"
              "units=0\n[hardware]\nfrequency=96000\ndeviceNum=0\n");
    const LoadedSettings again = LoadSettingsFrom(IniDocument(Slurp(p)));
    EXPECT_EQ(again.panel.txtInfo, panel.txtInfo);
    EXPECT_EQ(again.record.datafilename, "");

    // A file made read-only stays as it is (for root too), with one message naming it.
    const std::string before = Slurp(p);
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    panel.txtInfo[PanelField::Distance] = "20";
    const std::string readOnly = SaveSettings(p.string(), panel, record);
    EXPECT_EQ(readOnly, "Cannot save the settings to " + p.string() + ": the file is read-only");
    EXPECT_EQ(Slurp(p), before);
    EXPECT_EQ(fs::status(p).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(p, fs::perms::owner_write, fs::perm_options::add);

    // A save that cannot replace the file names it and leaves it alone.
    const fs::path folder = test_support::FolderFor("settings") / "is-a-folder.ini";
    fs::create_directories(folder / "inside");
    const std::string message = SaveSettings(folder.string(), panel, record);
    EXPECT_NE(message.find("is-a-folder.ini"), std::string::npos) << message;
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
}

// A key where it is not read is named at start, once, with where it
// belongs; a comment, a line with no value and the key at home say nothing.
TEST(LoadSettings, NamesAKeyWhereItIsNotRead)
{
    const std::string base = "[speed]\ndistance=10\n";
    struct Row {
        std::string file;
        std::string message;
    };
    const Row rows[] = {
        {base + "datafilename=shots.txt\n", "datafilename in [speed] is not read: it belongs in [hardware]."},
        {"datafilename=shots.txt\n" + base, "datafilename in no section is not read: it belongs in [hardware]."},
        {"[hardware]\ndatafilename=shots.txt\n" + base, ""},
        {base + "; datafilename=shots.txt\n", ""},
        {base + "datafilename\n", ""},
    };
    const fs::path p = test_support::FolderFor("settings") / "misplaced.ini";
    for (const Row& r : rows) {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << r.file;
        const SettingsLoadResult result = LoadSettings(p.string());
        ASSERT_TRUE(result.ok) << r.file;
        EXPECT_EQ(result.message, r.message) << r.file;
    }
}

// How shots are timed: threshold where the file does not say, the shipped
// file's onset, and the key written only where it was named or chosen, so a
// file that never named a method keeps its bytes.
TEST(SaveSettings, TheMethodIsWrittenWhereItWasNamedOrChosen)
{
    const std::string base = "[speed]\ndistance=10\n";
    struct Row {
        std::string file;
        DetectionMethod loaded;
        bool chooseOnset;         // in the panel, before the save
        std::string learnt;       // what the method learnt meanwhile
        std::string savedMeasuring;  // the [measuring] lines the save leaves; none when empty
    };
    const Row rows[] = {
        {base, DetectionMethod::Threshold, false, "", ""},
        {"[measuring]\nmethod=onset\n" + base, DetectionMethod::Onset, false, "", "[measuring]\nmethod=onset\n"},
        {"[measuring]\nmethod=louder\n" + base, DetectionMethod::Threshold, false, "", "[measuring]\nmethod=threshold\n"},
        {base, DetectionMethod::Threshold, true, "", "[measuring]\nmethod=onset\n"},
        {base, DetectionMethod::Threshold, false, "w=0.42;s=1,2", "[measuring]\nreport=w=0.42;s=1,2\n"},
    };
    const fs::path p = test_support::FolderFor("settings") / "method.ini";
    for (const Row& r : rows) {
        std::ofstream(p, std::ios::binary | std::ios::trunc) << r.file;
        SettingsLoadResult result = LoadSettings(p.string());
        ASSERT_TRUE(result.ok) << r.file;
        EXPECT_EQ(result.loaded.record.method, r.loaded) << r.file;
        EXPECT_EQ(result.message.find("method=louder in [measuring] is no detection method") != std::string::npos,
                  r.file.find("louder") != std::string::npos) << result.message;
        if (r.chooseOnset) {
            result.loaded.record.method = DetectionMethod::Onset;
            result.loaded.panel.methodKept = true;
        }
        result.loaded.record.learnt = r.learnt;
        ASSERT_EQ(SaveSettings(p.string(), result.loaded.panel, result.loaded.record), "");
        const std::string saved = Slurp(p);
        const std::size_t at = saved.find("[measuring]");
        EXPECT_EQ(at == std::string::npos ? "" : saved.substr(at, saved.find("[speed]") - at), r.savedMeasuring) << saved;
        if (r.savedMeasuring.empty()) { EXPECT_EQ(saved.find("[measuring]"), std::string::npos) << saved; }
    }
    EXPECT_EQ(LoadSettingsFrom(IniDocument(Slurp(QUORVEL_SHIPPED_SETTINGS))).record.method, DetectionMethod::Onset);
}

TEST(Units, SwitchingConvertsStoredValuesAndShowsRoundedTexts)
{
    LoadedSettings l = LoadSettingsFrom(IniDocument(
        "[speed]\ndistance=10\nVelocityMin=200\nVelocityMax=400\npelletmass=1.037\nRetainedVelocity=90\n"
        "[calibration]\noffset=0\nMuzzleVolume=60\nImpactVolume=30\n"));
    using Texts = std::array<std::string, 9>;
    EXPECT_EQ(ConvertUnits(l.record, l.panel, UnitSystem::Imperial).SpeedUnit, " fps ");
    const Texts imperial = {"32.8", "16.0", "90", "30", "656", "1312", "16.404", "60", "0.0"};
    EXPECT_EQ(l.panel.txtInfo, imperial);
    EXPECT_EQ(l.record.units, UnitSystem::Imperial);
    ConvertUnits(l.record, l.panel, UnitSystem::Imperial);  // already imperial: nothing changes
    EXPECT_EQ(l.panel.txtInfo, imperial);
    EXPECT_EQ(l.record.distance, 10 * FeetPerMetre);

    EXPECT_EQ(ConvertUnits(l.record, l.panel, UnitSystem::Metric).DistanceUnit, " m ");
    EXPECT_EQ(l.panel.txtInfo, (Texts{"10.0", "1.0370", "90", "30", "200", "400", "5", "60", "0.0"}));
    EXPECT_FALSE(l.panel.imperial);

    // Measuring keeps the precision of a switch; the file receives the rounded texts.
    ConvertUnits(l.record, l.panel, UnitSystem::Imperial);
    Settings measured = l.record;
    TakePanelIntoRecord(l.panel, measured);
    EXPECT_EQ(measured.distance, 10 * FeetPerMetre);
    EXPECT_EQ(measured.pelletmass, 1.037 * GrainsPerGram);
    TakeWindowFields(l.panel, measured);
    EXPECT_EQ(measured.distance, 10 * FeetPerMetre);
    EXPECT_EQ(measured.VelocityMin, 200 * FeetPerMetre);
    const fs::path path = test_support::FolderFor("settings") / "units.ini";
    ASSERT_EQ(SaveSettings(path.string(), l.panel, l.record), "");
    const auto file = LoadIniFile(path.string());
    EXPECT_EQ(file->Read("speed", "distance"), "32.8");
    EXPECT_EQ(file->Read("speed", "pelletmass"), "16");
    EXPECT_EQ(file->Read("calibration", "units"), "1");
}

TEST(Units, LabelsAndEnergy)
{
    const UnitLabels imperial = SetUnitLabels(UnitSystemOf(5));
    EXPECT_EQ(imperial.SpeedUnit, " fps ");
    EXPECT_EQ(imperial.system, UnitSystem::Imperial);
    EXPECT_EQ(SetUnitLabels(UnitSystemOf(0)).DistanceUnit, " m ");
    EXPECT_EQ(TrimUnit(" m/s "), "m/s");
    EXPECT_EQ(MuzzleEnergy(250, 16, UnitSystem::Metric), 500);
    EXPECT_EQ(MuzzleEnergy(1000, 16, UnitSystem::Imperial), 1000.0 * 1000.0 * 16 / 450240);
    // Conversions to and from the library's metric values, either way round.
    EXPECT_DOUBLE_EQ(SpeedToMetric(820.2, UnitSystem::Imperial), 250);
    EXPECT_DOUBLE_EQ(SpeedFromMetric(250, UnitSystem::Imperial), 820.2);
    EXPECT_DOUBLE_EQ(MassToMetric(15.432, UnitSystem::Imperial), 1);
    EXPECT_DOUBLE_EQ(MassFromMetric(0.5, UnitSystem::Imperial), 7.716);
    EXPECT_EQ(SpeedToMetric(250, UnitSystem::Metric) + MassFromMetric(0.5, UnitSystem::Metric), 250.5);
}

TEST(SampleRateText, OnlyRatesAbove1000AreTaken)
{
    const std::tuple<const char*, bool, int> rows[] = {
        {"500", false, 96000}, {"1000", false, 96000}, {"fast", false, 96000}, {"1001", true, 1001},
        {"4800", true, 4800},  {"44100.5", true, 44100}, {"44101.5", true, 44102},
    };
    for (const auto& [text, taken, frequency] : rows) {
        Settings s;
        s.frequency = 96000;
        EXPECT_EQ(ApplySampleRateText(text, s), taken) << text;
        EXPECT_EQ(s.frequency, frequency) << text;
    }
    EXPECT_DOUBLE_EQ(SampleTimeMsFor(96000), 1.0 / 96);
}

TEST(Locations, PortablePerUserOrExplicit)
{
    const fs::path dir = test_support::FolderFor("locations");
    fs::remove_all(dir);
    fs::create_directories(dir / "portable");
    std::ofstream(dir / "portable" / "settings.ini") << "[speed]\n";
    struct Row {
        Environment env;
        Layout layout;
        std::string settings, data;
    };
    const std::string h = dir.string() + "/home";
    const Row rows[] = {
        {{(dir / "portable").string(), h, "", "", ""}, Layout::Portable, (dir / "portable/settings.ini").string(),
         (dir / "portable").string()},
        {{"/usr/bin", h, "", "", ""}, Layout::PerUser, h + "/.config/quorvel/settings.ini", h + "/.local/share/quorvel"},
        {{"/usr/bin", h, "/cfg", "/dat", ""}, Layout::PerUser, "/cfg/quorvel/settings.ini", "/dat/quorvel"},
        // A relative XDG folder is ignored, as the XDG folder rules have it.
        {{"/usr/bin", h, "cfg", "dat", ""}, Layout::PerUser, h + "/.config/quorvel/settings.ini", h + "/.local/share/quorvel"},
        {{(dir / "portable").string(), h, "", "", "/srv/range/q.ini"}, Layout::Explicit, "/srv/range/q.ini", "/srv/range"},
    };
    for (const Row& row : rows) {
        const FileLocations where = LocateFiles(row.env);
        EXPECT_EQ(where.layout, row.layout) << row.settings;
        EXPECT_EQ(where.settingsFile, row.settings);
        EXPECT_EQ(where.dataFolder, row.data);
    }

    // The first start makes the folders and copies the shipped file; later ones keep what is there.
    FileLocations where = LocateFiles(rows[1].env);
    where.shippedSettings = QUORVEL_SHIPPED_SETTINGS;
    ASSERT_EQ(PrepareFiles(where), "");
    EXPECT_EQ(Slurp(where.settingsFile), Slurp(QUORVEL_SHIPPED_SETTINGS));
    EXPECT_TRUE(fs::is_directory(where.dataFolder));
    std::ofstream(where.settingsFile) << "[speed]\ndistance=7\n";
    ASSERT_EQ(PrepareFiles(where), "");
    EXPECT_EQ(Slurp(where.settingsFile), "[speed]\ndistance=7\n");
    where.dataFolder = where.settingsFile + "/data";  // a file in the way
    EXPECT_NE(PrepareFiles(where).find("Cannot make the folder"), std::string::npos);
}
