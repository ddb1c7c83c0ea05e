#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "IniFile.h"
#include "support/Files.h"

using namespace quorvel;
using quorvel::test_support::Slurp;
namespace fs = std::filesystem;

namespace {
}  // namespace

TEST(IniRead, NamesMatchWithoutCaseAndValuesAreTrimmed)
{
    const IniDocument doc("; comment\n[Speed]\n  VELOCITYMIN = 50 \nvelocitymax=\"400\"\n;distance=9\n[other]\ndistance=7\n");
    EXPECT_EQ(doc.Read("speed", "VelocityMin"), "50");
    EXPECT_EQ(doc.Read("SPEED", "velocitymax"), "400");
    EXPECT_EQ(doc.Read("speed", "distance"), "");  // commented out; the other section's key is not ours
    EXPECT_EQ(doc.Read("nosuch", "x"), "");
    EXPECT_FALSE(doc.Has("speed", "distance"));
    const IniDocument longValue("[a]\nk=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(longValue.Read("a", "k").size(), 255u);
}

TEST(IniWrite, ReplacesInPlaceAndAppendsWhatIsMissing)
{
    IniDocument doc("; keep me\n[speed]\nVelocityMax = 400 ; old\nunknown=1\n\n[calibration]\nMuzzleVolume=50\n");
    doc.Write("speed", "velocitymax", "500");
    doc.Write("speed", "distance", "10");
    doc.Write("hardware", "frequency", "96000");
    doc.Write("CALIBRATION", "ImpactVolume", "30");
    EXPECT_EQ(doc.Text(),
              "; keep me\n[speed]\nVelocityMax = 500\nunknown=1\ndistance=10\n\n[calibration]\nMuzzleVolume=50\n"
              "ImpactVolume=30\n[hardware]\nfrequency=96000\n");
}

TEST(IniWrite, KeepsCrLfAndCompletesAnUnterminatedLastLine)
{
    IniDocument doc("[speed]\r\ndistance=10\r\n[calibration]\r\nunits=0");
    doc.Write("calibration", "offset", "1.5");
    doc.Write("speed", "distance", "12");
    EXPECT_EQ(doc.Text(), "[speed]\r\ndistance=12\r\n[calibration]\r\nunits=0\r\noffset=1.5\r\n");
    EXPECT_EQ(doc.Read("calibration", "units"), "0");
}

TEST(IniWrite, AnUntouchedDocumentIsByteForByteTheSame)
{
    const std::string text = "\xEF\xBB\xBF[speed]\r\nx=1\n\n  ; odd spacing  \n[ hardware ]\ndeviceNum=2\nno equals sign\n";
    IniDocument doc(text);
    EXPECT_EQ(doc.Text(), text);
    EXPECT_EQ(doc.Read("speed", "x"), "1");
    EXPECT_EQ(doc.Read("hardware", "deviceNum"), "2");
    doc.Write("hardware", "deviceNum", "2");
    EXPECT_EQ(doc.Text(), text);
}

TEST(IniFile, SaveReplacesTheFileWholeOrNotAtAll)
{
    const fs::path dir = fs::path(::testing::TempDir()) / "quorvel-ini";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "settings.ini";

    IniDocument doc;
    doc.Write("speed", "distance", "10");
    EXPECT_EQ(SaveIniFile(file.string(), doc), "");
    EXPECT_EQ(Slurp(file), "[speed]\ndistance=10\n");
    EXPECT_FALSE(fs::exists(dir / "settings.ini.tmp"));

    std::string error;
    const auto loaded = LoadIniFile(file.string(), &error);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Read("speed", "distance"), "10");

    // A folder that does not exist: a clear reason, nothing written.
    const std::string failure = SaveIniFile((dir / "missing" / "settings.ini").string(), doc);
    EXPECT_NE(failure.find("missing/settings.ini.tmp"), std::string::npos) << failure;
    EXPECT_NE(failure.find("No such file"), std::string::npos) << failure;

    // The target is a directory: the rename fails and the temporary file goes.
    fs::create_directories(dir / "occupied.ini");
    fs::create_directories(dir / "occupied.ini" / "x");
    EXPECT_NE(SaveIniFile((dir / "occupied.ini").string(), doc), "");
    EXPECT_FALSE(fs::exists(dir / "occupied.ini.tmp"));

    EXPECT_FALSE(LoadIniFile((dir / "nothing.ini").string(), &error));
    EXPECT_NE(error.find("nothing.ini"), std::string::npos);
    // A folder is not a settings file, even though it can be opened.
    EXPECT_FALSE(LoadIniFile((dir / "occupied.ini").string(), &error));
    EXPECT_NE(error.find("not a file"), std::string::npos) << error;

    // Saving keeps the file's permissions and writes through a link.
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(file, dir / "link.ini");
    doc.Write("speed", "distance", "11");
    EXPECT_EQ(SaveIniFile((dir / "link.ini").string(), doc), "");
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    EXPECT_EQ(Slurp(file), "[speed]\ndistance=11\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}
