#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "support/TempFolder.h"
#include "IniFile.h"
#include "support/Files.h"

using namespace quorvel;
using quorvel::test_support::Slurp;
namespace fs = std::filesystem;

TEST(IniRead, NamesMatchWithoutCaseAndValuesAreTrimmed)
{
    const IniDocument doc("; comment\n[Speed]\n  VELOCITYMIN = 50 \nvelocitymax=\"400\"\n;distance=9\n"
                          "a='1'\nb=\"2\nc=3'\nd=\"4'\n[other]\ndistance=7\n");
    EXPECT_EQ(doc.Read("speed", "VelocityMin"), "50");
    EXPECT_EQ(doc.Read("SPEED", "velocitymax"), "400");
    // One pair of matching quotes goes; a lone or mismatched quote stays.
    for (const auto& [key, value] : {std::pair{"a", "1"}, {"b", "\"2"}, {"c", "3'"}, {"d", "\"4'"}}) {
        EXPECT_EQ(doc.Read("speed", key), value) << key;
    }
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
    const fs::path dir = test_support::FolderFor("ini");
    fs::remove_all(dir);
    fs::create_directories(dir / "occupied.ini" / "x");
    const fs::path file = dir / "settings.ini";
    IniDocument doc;
    doc.Write("speed", "distance", "10");
    // A file that happens to have the name a careless save would take is not ours to touch.
    std::ofstream(dir / "settings.ini.tmp") << "someone's notes\n";
    EXPECT_EQ(SaveIniFile(file.string(), doc), "");
    EXPECT_EQ(Slurp(file), "[speed]\ndistance=10\n");
    EXPECT_EQ(Slurp(dir / "settings.ini.tmp"), "someone's notes\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << "no temporary file left";
    ASSERT_TRUE(LoadIniFile(file.string()));
    EXPECT_EQ(LoadIniFile(file.string())->Read("speed", "distance"), "10");

    // Saves that cannot happen give the reason and leave nothing behind:
    // a folder that does not exist, a target that is a folder.
    const std::string missing = SaveIniFile((dir / "missing" / "settings.ini").string(), doc);
    EXPECT_NE(missing.find("missing/settings.ini: No such file"), std::string::npos) << missing;
    EXPECT_NE(SaveIniFile((dir / "occupied.ini").string(), doc), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3) << "no temporary file left";
    // Loads that cannot happen name the file; a folder is no settings file,
    // though it opens, nor is a FIFO, which would wait for a writer.
    ::mkfifo((dir / "fifo.ini").c_str(), 0600);
    std::string error;
    for (const char* name : {"nothing.ini", "occupied.ini", "fifo.ini"}) {
        const auto loaded = LoadIniFile((dir / name).string());
        EXPECT_FALSE(loaded);
        error = loaded.Error();
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
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
