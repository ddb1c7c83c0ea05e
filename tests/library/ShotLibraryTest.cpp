#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "support/TempFolder.h"
#include "Files.h"
#include "LibraryWriter.h"
#include "PendingJobs.h"
#include "ShotLibrary.h"
#include "Sqlite.h"
#include "ShotDataImport.h"
#include "UtcTime.h"

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

// A fresh folder per test and the sqlite3 tool a shooter would use.
class Library : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::make_unique<test_support::TempFolder>(
            std::string("library-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        dir_ = folder_->Path();
        path_ = (dir_ / "library.sqlite").string();
    }
    void TearDown() override
    {
        ::umount((dir_ / "media").c_str());  // a read-only mount a failed test left
        folder_.reset();
    }
    std::string Query(const std::string& sql) const { return test_support::SqliteQuery(path_, sql); }
    static StringInfo String(std::int64_t id) { return {id, "String " + std::to_string(id), "", "", "", "2026-12-06T10:00:00Z"}; }
    static StoredShot Shot(std::int64_t string, int number, double velocity)
    {
        StoredShot s;
        s.stringId = string;
        s.number = number;
        s.timeUtc = "2026-12-06T10:00:0" + std::to_string(number % 10) + "Z";
        s.muzzleVelocity = velocity;
        s.averageVelocity = velocity - 2;
        s.energy = velocity * velocity * 0.547 / 2000;
        s.samples = 3800;
        s.sampleRate = 96000;
        s.distance = 10;
        s.pelletMass = 0.547;
        return s;
    }
    std::unique_ptr<test_support::TempFolder> folder_;
    fs::path dir_;
    std::string path_;
};

}  // namespace

// What the program stores is what any SQLite tool reads, under the
// documented names; statistics count only shots that are not excluded.
TEST_F(Library, StoresShotsUnderTheDocumentedSchemaAndCountsOnlyIncludedShots)
{
    ShotLibrary library;
    ASSERT_EQ(library.Open(path_).status, ShotLibrary::Status::Ok);
    for (int n = 1; n <= 4; ++n) ASSERT_FALSE(library.AddShot(String(7), Shot(7, n, 250 + n)));
    StoredShot miss = Shot(7, 0, 0);
    miss.number.reset();
    miss.kind = ShotOutcome::NoImpact;
    miss.muzzleVelocity = miss.averageVelocity = miss.energy = std::nullopt;
    ASSERT_FALSE(library.AddShot(String(7), miss));
    ASSERT_FALSE(library.SetExcluded(7, 4, true, "flyer"));
    ASSERT_FALSE(library.UpdateString({7, "JSB 8.44", "HW100", "JSB Exact", "cold day", "ignored"}));

    EXPECT_EQ(Query("PRAGMA user_version; PRAGMA journal_mode; SELECT name, gun, pellet, notes, started_utc FROM strings;"
                    "SELECT number, kind, muzzle_velocity, excluded, exclude_reason FROM shots WHERE string_id = 7 "
                    "AND (number IS NULL OR number > 3) ORDER BY id;"),
              "3\nwal\nJSB 8.44|HW100|JSB Exact|cold day|2026-12-06T10:00:00Z\n4|shot|254.0|1|flyer\n|no impact||0|\n");
    EXPECT_EQ(Query("SELECT group_concat(name) FROM pragma_table_info('shots');"),
              "id,string_id,number,time_utc,kind,muzzle_velocity,average_velocity,energy,samples,sample_rate,distance,"
              "pellet_mass,muzzle_volume,impact_volume,excluded,exclude_reason,waveform,method,muzzle_onset,impact_onset,"
              "timing_sd\n");

    const auto rows = library.Strings().value;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].summary.count, 3);
    EXPECT_EQ(rows[0].excluded, 1);
    EXPECT_DOUBLE_EQ(rows[0].summary.mean, 252);
    EXPECT_DOUBLE_EQ(rows[0].summary.Es(), 2);
    // Each counted shot's energy from its velocity and pellet mass: (251² + 252² + 253²) / 3 × 0.5 × 0.547 / 1000.
    EXPECT_NEAR(rows[0].averageEnergy, 17.36852633, 1e-8);

    // Deleted and brought back whole.
    const auto removed = library.Remove(7);
    ASSERT_TRUE(removed.value);
    EXPECT_EQ(Query("SELECT count(*) FROM shots; SELECT count(*) FROM strings;"), "0\n0\n");
    EXPECT_EQ(library.Restore(*removed.value).value, 7);
    EXPECT_EQ(Query("SELECT count(*), sum(excluded) FROM shots; SELECT name FROM strings;"), "5|1\nJSB 8.44\n");
}

// Older files are brought to the current version in place, step by step;
// what they held keeps its meaning, and a shot stored afterwards says how
// it was timed.
TEST_F(Library, MigratesOlderFilesInPlace)
{
    struct Case {
        const char* fixture;
        const char* before;  // what the old columns held, read back after the upgrade
        double mean;
    };
    const Case cases[] = {
        {"library-v1.sqlite", "3|0|0|0\n2025-11-24 16:00||\n", 251.5},
        {"library-v2.sqlite", "4|1|1|0\nJSB 8.44 at 10 m|HW97K|cold morning\n", 251.5},
    };
    for (const Case& c : cases) {
        fs::remove(path_);
        fs::copy_file(std::string(QUORVEL_TEST_DATA "/") + c.fixture, path_);
        ShotLibrary library;
        ASSERT_EQ(library.Open(path_).status, ShotLibrary::Status::Ok) << c.fixture;
        EXPECT_EQ(Query("PRAGMA user_version; SELECT count(*), sum(excluded), count(waveform), count(method) FROM shots;"
                        "SELECT name, gun, notes FROM strings;"),
                  std::string("3\n") + c.before) << c.fixture;
        EXPECT_DOUBLE_EQ(library.Strings().value.at(0).summary.mean, c.mean) << c.fixture;
        StoredShot timed = Shot(library.Strings().value.at(0).info.id, 9, 251.25);
        timed.method = "onset";
        timed.muzzleOnset = 12345.25;
        timed.impactOnset = 16189.5;
        timed.timingSd = 0.125;
        ASSERT_FALSE(library.AddShot(library.Strings().value.at(0).info, timed)) << c.fixture;
        EXPECT_EQ(Query("SELECT method, muzzle_onset, impact_onset, timing_sd FROM shots WHERE number = 9;"),
                  "onset|12345.25|16189.5|0.125\n") << c.fixture;
    }
}

// Every kind of unusable file: one message naming it, and the file as it was.
TEST_F(Library, UnusableFilesAreLeftAsTheyWereWithAMessage)
{
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        ShotLibrary::Status status;
        bool movedAside;
    };
    const auto text = [](const std::string& p) { std::ofstream(p) << "shots, not a database\n"; };
    const auto newer = [this](const std::string& p) {
        ShotLibrary().Open(p);
        Query("PRAGMA user_version = 4;");
    };
    const auto readOnly = [](const std::string& p) {
        ShotLibrary l;
        l.Open(p);
        l.AddShot(String(1), Shot(1, 1, 250));
        l = ShotLibrary();
        fs::permissions(p, fs::perms::owner_read);
    };
    const std::vector<Case> cases = {{"not a database", text, ShotLibrary::Status::Ok, true},
                                     {"newer", newer, ShotLibrary::Status::Newer, false},
                                     {"read-only", readOnly, ShotLibrary::Status::ReadOnly, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        c.make(path_);
        const std::string before = test_support::Slurp(path_);
        ShotLibrary library;
        const auto opened = library.Open(path_);
        EXPECT_EQ(opened.status, c.status);
        EXPECT_NE(opened.message.find(path_), std::string::npos) << opened.message;
        std::vector<fs::path> aside;
        for (const auto& e : fs::directory_iterator(dir_)) {
            if (e.path().filename().string().find(".damaged-") != std::string::npos) aside.push_back(e.path());
        }
        ASSERT_EQ(aside.size(), c.movedAside ? 1u : 0u);
        EXPECT_EQ(test_support::Slurp(c.movedAside ? aside[0] : fs::path(path_)), before);
        if (c.status != ShotLibrary::Status::Ok) {
            EXPECT_TRUE(library.AddShot(String(2), Shot(2, 1, 250)));
        }
    }
}

// Shots measured while the library cannot be written wait in order and are
// stored when it can; the shooter hears once of the trouble and once of its end.
TEST_F(Library, TheWriterKeepsShotsThroughALockAndAFullDiskAndStoresThemAfter)
{
    std::mutex m;
    std::vector<std::string> told;
    {
        ShotLibrary().Open(path_);
        sql::Database other;
        ASSERT_FALSE(other.Open(path_, sql::Database::Mode::ReadWrite));
        ASSERT_FALSE(other.Exec("BEGIN EXCLUSIVE"));
        LibraryWriter writer(path_, [&](bool, const std::string& s) { std::lock_guard l(m); told.push_back(s); },
                             std::chrono::milliseconds(50));
        for (int n = 1; n <= 3; ++n) writer.Store(String(1), Shot(1, n, 250 + n));
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        EXPECT_EQ(writer.Waiting(), 3);
        other.Exec("COMMIT");
        EXPECT_TRUE(writer.WaitIdle(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
        EXPECT_EQ(writer.Finish().kept, 0);
    }
    EXPECT_EQ(Query("SELECT group_concat(number) FROM shots;"), "1,2,3\n");
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[0].find("locked"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("every kept shot is stored"), std::string::npos);

    // A full disk: writing beyond the file size limit fails as ENOSPC would.
    told.clear();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    LibraryWriter writer(path_, [&](bool, const std::string& s) { std::lock_guard l(m); told.push_back(s); },
                         std::chrono::milliseconds(50));
    rlimit full = old;
    full.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &full);
    for (int n = 4; n <= 40; ++n) writer.Store(String(1), Shot(1, n, 250));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(writer.Waiting(), 0);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(writer.WaitIdle(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    EXPECT_EQ(writer.Finish().kept, 0);
    EXPECT_EQ(Query("SELECT count(*) FROM shots;"), "40\n");
    EXPECT_EQ(told.size(), 2u);
}

TEST(UtcTime, LocalDaysBecomeUtcAndComeBackWithTheirOffset)
{
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    // 6 December 2026 22:04:05 local (winter, UTC+1) and 1 July 2026 12:00 (summer, UTC+2).
    EXPECT_EQ(UtcIsoFromLocalDays(46362 + (22 * 3600 + 4 * 60 + 5) / 86400.0), "2026-12-06T21:04:05Z");
    EXPECT_EQ(UtcIsoFromLocalDays(46204.5), "2026-07-01T10:00:00Z");
    EXPECT_EQ(LocalIsoWithOffset("2026-07-01T10:00:00Z"), "2026-07-01T12:00:00+02:00");
    EXPECT_EQ(LocalTimeText("2026-12-06T21:04:05Z"), "2026-12-06 22:04:05");
    EXPECT_FALSE(ParseUtcIso("2026-12-06 21:04:05"));
    ::unsetenv("TZ");
    ::tzset();
}

// The shot data file's average velocity becomes a muzzle velocity with
// today's retained velocity and offset, in the units the window shows, and
// is stored in metric; figures no air gun reaches are refused by line.
TEST(ShotDataImport, WorksOutMuzzleVelocityAndRefusesTheImpossible)
{
    struct Row {
        const char* line;
        std::int16_t units;
        double retained, offset;
        double average, muzzle;  // m/s as stored; 0 for a refused line
        bool impossible;
    };
    const Row rows[] = {
        {"2026-12-06 10:00:01 , 1 , 200.00000", 0, 90, 2, 200, 1.05 * 200 + 2, false},
        {"2026-12-06 10:00:01 , 1 , 656.16000", 1, 96, 0, 200, 204, false},
        {"2026-12-06 10:00:01 , 1 , 200,00000 , 10 , 0.547 , 60 , 30 , 4800 , 96000", 0, 100, 0, 200, 200, false},
        {"2026-12-06 10:00:01 , 1 , 1e308", 0, 90, 0, 0, 0, true},
        {"2026-12-06 10:00:01 , 1 , 1600", 0, 90, 0, 0, 0, true},
        {"2026-12-06 10:00:01 , 1 , 200 , 0 , 0.547 , 60 , 30 , 4800 , 96000", 0, 90, 0, 0, 0, true},
        {"2026-12-06 10:00:01 , 1 , 0", 0, 90, 0, 0, 0, false},
    };
    for (const Row& r : rows) {
        Settings settings;
        settings.units = UnitSystemOf(r.units);
        settings.RetainedVelocity = r.retained;
        settings.offset = r.offset;
        settings.distance = 10;
        settings.pelletmass = 0.547;
        settings.frequency = 96000;
        const ImportedFile file = ReadShotDataFile(std::string("\n") + r.line + "\n", settings);
        EXPECT_EQ(file.impossibleLines, r.impossible ? std::vector<int>{2} : std::vector<int>{}) << r.line;
        if (r.average == 0) {
            EXPECT_EQ(file.shots, 0) << r.line;
            continue;
        }
        ASSERT_EQ(file.shots, 1) << r.line;
        const StoredShot& shot = file.strings.at(0).shots.at(0);
        EXPECT_NEAR(*shot.averageVelocity, r.average, 1e-9) << r.line;
        EXPECT_NEAR(*shot.muzzleVelocity, r.muzzle, 1e-9) << r.line;
        const double grams = r.units == 0 ? 0.547 : 0.547 / 15.432;  // the mass setting is in grains when imperial
        EXPECT_NEAR(*shot.energy, r.muzzle * r.muzzle * 0.5 * grams / 1000, 1e-9) << r.line;
    }
}

// Two recorders that start a string in the same millisecond get two
// strings; a recorder's string deleted while shots arrive is not brought
// back by them, and Undo always can bring it back.
TEST_F(Library, RecordersNeverShareAStringAndADeletedOneStaysDeletedUntilUndo)
{
    ShotLibrary first, second, window;
    for (ShotLibrary* l : {&first, &second, &window}) ASSERT_EQ(l->Open(path_).status, ShotLibrary::Status::Ok);
    StringIds firstIds, secondIds;
    for (int n = 1; n <= 3; ++n) {
        ASSERT_FALSE(first.AddShot(String(1000), Shot(1000, n, 250), &firstIds));
        ASSERT_FALSE(second.AddShot(String(1000), Shot(1000, n, 260), &secondIds));
    }
    EXPECT_EQ(Query("SELECT group_concat(number) FROM shots GROUP BY string_id ORDER BY string_id;"), "1,2,3\n1,2,3\n");
    EXPECT_EQ(firstIds.at(1000), 1000);
    EXPECT_NE(secondIds.at(1000), 1000);

    const auto removed = window.Remove(1000);
    ASSERT_TRUE(removed.value);
    ASSERT_FALSE(first.AddShot(String(1000), Shot(1000, 4, 251), &firstIds));
    EXPECT_EQ(Query("SELECT count(*) FROM shots WHERE string_id = 1000;"), "0\n");
    EXPECT_EQ(window.Restore(*removed.value).value, 1000);
    EXPECT_EQ(Query("SELECT count(*), count(DISTINCT string_id) FROM shots;"), "7|3\n");
    EXPECT_FALSE(window.Remove(424242).value) << "nothing to remove is no error";
}

// What a library that cannot be written could not store waits in the
// pending file when the writer ends, and the next writer that can write
// stores it into the same strings and removes the file.
TEST_F(Library, ShotsThatCannotBeStoredWaitInThePendingFile)
{
    ShotLibrary().Open(path_);
    fs::permissions(path_, fs::perms::owner_read);
    {
        LibraryWriter writer(path_, [](bool, const std::string&) {}, std::chrono::milliseconds(20));
        StringInfo tabbed = String(5);
        tabbed.notes = "cold\tday\nwindy \\ gusty";
        for (int n = 1; n <= 3; ++n) writer.Store(tabbed, Shot(5, n, 250 + n));
        writer.SetExcluded(5, 2, true, "flyer");
        const LibraryWriter::Ended ended = writer.Finish();
        EXPECT_EQ(ended.kept, 3);
        EXPECT_NE(ended.message.find(PendingPath(path_)), std::string::npos) << ended.message;
    }
    ASSERT_TRUE(fs::exists(PendingPath(path_)));
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write);
    LibraryWriter writer(path_, [](bool, const std::string&) {});
    ASSERT_TRUE(writer.WaitIdle(std::chrono::steady_clock::now() + std::chrono::seconds(20)));
    EXPECT_EQ(writer.Finish().kept, 0);
    EXPECT_FALSE(fs::exists(PendingPath(path_)));
    EXPECT_EQ(Query("SELECT group_concat(number || ':' || excluded) FROM shots WHERE string_id = 5;"
                    "SELECT notes FROM strings;"),
              "1:0,2:1,3:0\ncold\tday\nwindy \\ gusty\n");
}

// A library on read-only media (a stick write-protected, a read-only
// mount) is still browsed and exported; new shots wait. Needs root to mount.
TEST_F(Library, ALibraryOnReadOnlyMediaCanBeBrowsed)
{
    const fs::path media = dir_ / "media";
    fs::create_directories(media);
    if (::geteuid() != 0 || ::mount("tmpfs", media.c_str(), "tmpfs", 0, "size=4m") != 0) GTEST_SKIP() << "cannot mount";
    {
        ShotLibrary writer;
        ASSERT_EQ(writer.Open(path_).status, ShotLibrary::Status::Ok);
        ASSERT_FALSE(writer.AddShot(String(3), Shot(3, 1, 250)));
        Query("PRAGMA wal_checkpoint(TRUNCATE);");
        // Copied while it is open: the journal comes along, its index does not.
        for (const char* suffix : {"", "-wal"}) fs::copy_file(path_ + suffix, (media / "library.sqlite").string() + suffix);
    }
    ASSERT_EQ(::mount(nullptr, media.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    ShotLibrary library;
    const auto opened = library.Open((media / "library.sqlite").string());
    EXPECT_EQ(opened.status, ShotLibrary::Status::ReadOnly) << opened.message;
    EXPECT_EQ(library.Strings().value.size(), 1u);
    EXPECT_TRUE(library.AddShot(String(3), Shot(3, 2, 250)));
    library = ShotLibrary();
    ::umount(media.c_str());
}
