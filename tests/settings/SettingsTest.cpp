#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "NumberText.h"
#include "Settings.h"
#include "support/Files.h"

using namespace quorvel;
using quorvel::test_support::Slurp;
namespace fs = std::filesystem;

namespace {

fs::path TempFile(const std::string& name, const std::string& content)
{
    const fs::path dir = fs::path(::testing::TempDir()) / "quorvel-settings";
    fs::create_directories(dir);
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

const char* const kHandWritten =
    "# my air rifle\r\n"
    "[hardware]\r\n"
    "deviceNum=1\r\n"
    "datafilename=shots.txt\r\n"
    "frequency=44100\r\n"
    "\r\n"
    "[calibration]\r\n"
    "units=2\r\n"
    "MuzzleVolume=75.5\r\n"
    "ImpactVolume=74.5\r\n"
    "MicVolume=99999\r\n"
    "offset=-1.5\r\n"
    "FreezeIFdetected=1\r\n"
    "AutoSaveBasic=2\r\n"
    "lucky=7\r\n"
    "\r\n"
    "[speed]\r\n"
    "distance=12,5\r\n"
    "VelocityMin=100\r\n"
    "VelocityMax=1100\r\n"
    "pelletmass=8.44\r\n";

}  // namespace

TEST(LoadSettings, ReadsEveryKeyWithTheNumberParse)
{
    const LoadedSettings l = LoadSettingsFrom(IniDocument(kHandWritten));
    const Settings& s = l.record;
    EXPECT_EQ(s.distance, 12);
    EXPECT_EQ(s.VelocityMin, 100);
    EXPECT_EQ(s.VelocityMax, 1100);
    EXPECT_EQ(s.pelletmass, 8.44);
    EXPECT_EQ(s.RetainedVelocity, 0);  // missing
    EXPECT_EQ(s.offset, -1.5);
    EXPECT_EQ(s.MuzzleVolume, 76);
    EXPECT_EQ(s.ImpactVolume, 74);
    EXPECT_EQ(s.MicVolume, 32767);  // clamped to the 16-bit field
    EXPECT_EQ(s.frequency, 44100);
    EXPECT_EQ(s.deviceNum, 1);
    EXPECT_EQ(s.units, 2);
    EXPECT_EQ(s.datafilename, "shots.txt");
    EXPECT_DOUBLE_EQ(l.SampleTimeMs, 1000.0 / 44100);
    EXPECT_TRUE(l.panel.imperial);
    EXPECT_EQ(l.units.SpeedUnit, " fps ");
    EXPECT_TRUE(l.panel.switches[Switch::FreezeIfDetected]);
    EXPECT_FALSE(l.panel.switches[Switch::FreezeIfNoImpact]);
    EXPECT_TRUE(l.panel.switches[Switch::AutoSave]);
    EXPECT_EQ(l.panel.txtInfo[PanelField::Distance], "12");
    EXPECT_EQ(l.panel.txtInfo[PanelField::MicDistance], "6");
    EXPECT_EQ(l.panel.txtInfo[PanelField::PelletMass], "8.44");
    EXPECT_EQ(l.panel.txtInfo[PanelField::MuzzleVolume], "76");
    EXPECT_EQ(l.panel.txtInfo[PanelField::Offset], "-1.5");
    EXPECT_EQ(l.panel.rateText, "44100");
}

TEST(LoadSettings, MissingFileEndsWithTheMessageAndEmptyFileGivesZeros)
{
    const std::string missing = (fs::path(::testing::TempDir()) / "no-such-dir" / "settings.ini").string();
    const SettingsLoadResult r = LoadSettings(missing);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, missing + " not found !!!\nCan't continue");

    const SettingsLoadResult empty = LoadSettings(TempFile("empty.ini", "garbage\x01\x02[[]]=\n").string());
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.loaded.record.distance, 0);
    EXPECT_EQ(empty.loaded.record.frequency, 0);
    EXPECT_TRUE(std::isinf(empty.loaded.SampleTimeMs));
    EXPECT_FALSE(empty.loaded.panel.imperial);
}

TEST(SaveSettings, AHandWrittenFileKeepsEverythingButTheValues)
{
    const fs::path p = TempFile("hand.ini", kHandWritten);
    SettingsLoadResult r = LoadSettings(p.string());
    ASSERT_TRUE(r.ok);
    r.loaded.panel.volumePosition = 1234;
    ASSERT_EQ(SaveSettings(p.string(), r.loaded.panel, r.loaded.record), "");
    EXPECT_EQ(Slurp(p),
              "# my air rifle\r\n"
              "[hardware]\r\n"
              "deviceNum=1\r\n"
              "datafilename=shots.txt\r\n"
              "frequency=44100\r\n"
              "\r\n"
              "[calibration]\r\n"
              "units=1\r\n"
              "MuzzleVolume=76\r\n"
              "ImpactVolume=74\r\n"
              "MicVolume=1234\r\n"
              "offset=-1.5\r\n"
              "FreezeIFdetected=1\r\n"
              "AutoSaveBasic=1\r\n"
              "lucky=7\r\n"
              "freezeIFnoimpact=0\r\n"
              "freezeIFmaxexceed=0\r\n"
              "AutoSaveExtended=0\r\n"
              "AutoSaveWaveForm=0\r\n"
              "\r\n"
              "[speed]\r\n"
              "distance=12\r\n"
              "VelocityMin=100\r\n"
              "VelocityMax=1100\r\n"
              "pelletmass=8.44\r\n"
              "RetainedVelocity=0\r\n");
}

TEST(SaveSettings, AFileMadeFromNothingHasTheDocumentedLayout)
{
    const fs::path p = fs::path(::testing::TempDir()) / "quorvel-settings" / "fresh.ini";
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
    // What is saved is what the panel shows, and the panel reads back the same.
    const LoadedSettings again = LoadSettingsFrom(IniDocument(Slurp(p)));
    EXPECT_EQ(again.panel.txtInfo, panel.txtInfo);
    EXPECT_EQ(again.record.datafilename, "");
    EXPECT_EQ(Slurp(p).find("datafilename"), std::string::npos);
}

TEST(SaveSettings, AFailedSaveNamesTheFileAndLeavesItAlone)
{
    const fs::path dir = fs::path(::testing::TempDir()) / "quorvel-settings" / "is-a-folder.ini";
    fs::create_directories(dir / "inside");
    Settings record;
    SettingsPanel panel;
    const std::string message = SaveSettings(dir.string(), panel, record);
    EXPECT_NE(message, "");
    EXPECT_NE(message.find("is-a-folder.ini"), std::string::npos) << message;
    EXPECT_TRUE(fs::is_directory(dir / "inside"));
}

TEST(Units, SwitchingConvertsStoredValuesAndShowsRoundedTexts)
{
    LoadedSettings l = LoadSettingsFrom(IniDocument(
        "[speed]\ndistance=10\nVelocityMin=200\nVelocityMax=400\npelletmass=1.037\nRetainedVelocity=90\n"
        "[calibration]\noffset=0\nMuzzleVolume=60\nImpactVolume=30\n"));
    EXPECT_EQ(ConvertUnits(l.record, l.panel, UnitSystem::Imperial).SpeedUnit, " fps ");
    auto& t = l.panel.txtInfo;
    EXPECT_EQ(t[PanelField::Distance], "32.8");
    EXPECT_EQ(t[PanelField::VelocityMin], "656");
    EXPECT_EQ(t[PanelField::VelocityMax], "1312");
    EXPECT_EQ(t[PanelField::PelletMass], "16.0");
    EXPECT_EQ(t[PanelField::Offset], "0.0");
    EXPECT_EQ(t[PanelField::MicDistance], "16.404");
    EXPECT_EQ(l.record.units, 1);
    ConvertUnits(l.record, l.panel, UnitSystem::Imperial);  // already imperial: nothing changes
    EXPECT_EQ(t[PanelField::Distance], "32.8");
    EXPECT_EQ(l.record.distance, 10 * FeetPerMetre);

    EXPECT_EQ(ConvertUnits(l.record, l.panel, UnitSystem::Metric).DistanceUnit, " m ");
    EXPECT_EQ(t[PanelField::Distance], "10.0");
    EXPECT_EQ(t[PanelField::VelocityMin], "200");
    EXPECT_EQ(t[PanelField::VelocityMax], "400");
    EXPECT_EQ(t[PanelField::PelletMass], "1.0370");
    EXPECT_EQ(t[PanelField::Offset], "0.0");
    EXPECT_EQ(t[PanelField::RetainedVelocity], "90");
    EXPECT_EQ(t[PanelField::MuzzleVolume], "60");
    EXPECT_EQ(t[PanelField::ImpactVolume], "30");
    EXPECT_FALSE(l.panel.imperial);

    // The file receives the rounded texts, not the record's exact values.
    IniDocument file;
    TakePanelIntoRecord(l.panel, l.record);
    WriteSettingsTo(file, l.record, l.panel);
    EXPECT_EQ(file.Read("speed", "distance"), "10");
    EXPECT_EQ(file.Read("speed", "pelletmass"), "1.037");
    EXPECT_EQ(file.Read("calibration", "units"), "0");
}

TEST(Units, LabelsAndEnergy)
{
    const UnitLabels metric = SetUnitLabels(0);
    const UnitLabels imperial = SetUnitLabels(5);
    EXPECT_EQ(metric.SpeedUnit, " m/s ");
    EXPECT_EQ(metric.SpeedFormat, "000.0");
    EXPECT_EQ(imperial.DistanceUnit, " feet ");
    EXPECT_EQ(imperial.MassUnit, " grain ");
    EXPECT_EQ(imperial.EnergyUnit, " fpe ");
    EXPECT_EQ(imperial.SpeedFormat, "0000");
    EXPECT_TRUE(IsMetric(metric));
    EXPECT_FALSE(IsMetric(imperial));
    EXPECT_EQ(TrimUnit(" m/s "), "m/s");

    EXPECT_EQ(MuzzleEnergy(250, 16, true), 500);
    EXPECT_EQ(FormatPattern(MuzzleEnergy(1000, 16, false), "000.0"), "035.5");
    EXPECT_EQ(MuzzleEnergy(1000, 16, false), 1000.0 * 1000.0 * 16 / 450240);
}

TEST(SampleRateText, OnlyRatesAbove1000AreTaken)
{
    Settings s;
    s.frequency = 96000;
    EXPECT_FALSE(ApplySampleRateText("500", s));
    EXPECT_FALSE(ApplySampleRateText("fast", s));
    EXPECT_EQ(s.frequency, 96000);
    EXPECT_TRUE(ApplySampleRateText("4800", s));
    EXPECT_EQ(s.frequency, 4800);
    EXPECT_TRUE(ApplySampleRateText("44100.5", s));
    EXPECT_EQ(s.frequency, 44100);
}
