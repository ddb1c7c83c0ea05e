// The shot library: every shot and miss, in strings, in one SQLite file that
// shooters may query with any SQLite tool (the schema is documented in the
// README). One object owns one connection and the statements it prepared;
// every write is a transaction of its own, in a WAL journal with
// synchronous=FULL, so a shot that was stored survives a killed program or
// a power cut. Reads say when they fail: an unreadable library is not an
// empty one. Windows ask it for rows and statistics; they never write SQL.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Detection.h"
#include "Sqlite.h"
#include "StringStatistics.h"

namespace quorvel {

inline constexpr int kLibrarySchemaVersion = 3;

// How an outcome is stored: "shot", "no impact", "max velocity", "rate too low".
const char* KindText(ShotOutcome kind);
ShotOutcome KindFromText(const std::string& text);

// Velocities in m/s, energy in J, distance in m, mass in g, whatever units
// the window shows; times ISO 8601 UTC.
struct StoredShot {
    std::int64_t stringId = 0;
    std::optional<int> number;  // the shot's number in its string; none for a miss
    std::string timeUtc;
    ShotOutcome kind = ShotOutcome::Shot;
    std::optional<double> muzzleVelocity;
    std::optional<double> averageVelocity;
    std::optional<double> energy;
    std::optional<int> samples;
    int sampleRate = 0;
    double distance = 0;
    double pelletMass = 0;
    int muzzleVolume = 0;
    int impactVolume = 0;
    bool excluded = false;
    std::string excludeReason;
    std::optional<std::string> waveform;  // the waveform file saved with it
    // How it was timed (version 3; none for shots stored before): the
    // method's name, the muzzle's and the impact's onsets in samples of the
    // recording (fractions for the onset method; no impact for a miss), and
    // one standard deviation of their difference in samples where the
    // method gives one.
    std::optional<std::string> method;
    std::optional<double> muzzleOnset;
    std::optional<double> impactOnset;
    std::optional<double> timingSd;
};

struct StringInfo {
    std::int64_t id = 0;
    std::string name;
    std::string gun;
    std::string pellet;
    std::string notes;
    std::string startedUtc;
};

// A string as the library lists it: its details and the statistics of the
// shots that count (not excluded, not misses).
struct StringRow {
    StringInfo info;
    Summary summary;
    int excluded = 0;
    double averageEnergy = 0;  // J, from each counted shot's velocity and pellet mass
};

// A string with its shots: taken out of the library for Undo, exported, imported.
struct StoredString {
    StringInfo info;
    std::vector<StoredShot> shots;
};

// The strings one recorder made, by the id it knows them by, to the id the
// library gave them: two programs that start a string in the same
// millisecond get two strings, and a recorder's string deleted while shots
// still arrive is not brought back by them.
using StringIds = std::unordered_map<std::int64_t, std::int64_t>;

// How far a long job has come; Cancel from any thread.
struct LibraryProgress {
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> cancel{false};
};

class ShotLibrary {
public:
    enum class Status { Ok, Locked, ReadOnly, Damaged, Newer, Failed };
    struct Opened {
        Status status = Status::Failed;
        std::string message;  // for the shooter, naming the file; empty when all is well
    };
    // Opens or makes the library. A file that is no database (or a damaged
    // one) is moved aside and a new library started; a newer schema is left
    // alone; a read-only file (by its mode, also for root) or one on
    // read-only media is opened for reading only. `check` reads every page
    // first (PRAGMA quick_check): the writer does at start; a window opened
    // later may skip it and open at once.
    Opened Open(const std::string& path, bool check = true);
    bool IsOpen() const { return db_.IsOpen(); }
    const std::string& Path() const { return path_; }

    // Writes. With `ids` the string is one of a recorder's (see StringIds);
    // without, its id is the library's own.
    std::optional<sql::Error> AddShot(const StringInfo& string, const StoredShot& shot, StringIds* ids = nullptr);
    std::optional<sql::Error> UpdateString(const StringInfo& info, StringIds* ids = nullptr);
    std::optional<sql::Error> SetExcluded(std::int64_t stringId, int number, bool excluded, const std::string& reason);
    std::optional<sql::Error> SetWaveform(std::int64_t stringId, int number, const std::string& path);
    // Takes a string out whole, in one transaction; nothing when it is not there.
    sql::Result<std::optional<StoredString>> Remove(std::int64_t stringId);
    // Puts it back; under a new id when its own was taken meanwhile. The id used.
    sql::Result<std::int64_t> Restore(const StoredString& removed);
    // Adds the shots that are not there yet (the same time and average
    // velocity), with their strings, in one transaction; the count added.
    // Cancelled, nothing is added.
    sql::Result<int> Import(const std::vector<StoredString>& strings, LibraryProgress* progress = nullptr);

    // Reads. Changes whenever another connection (the writer, another
    // program) commits to the file; -1 when it cannot be read.
    std::int64_t DataVersion();
    sql::Result<std::vector<StringRow>> Strings();  // newest first
    sql::Result<std::vector<StoredShot>> Shots(std::int64_t stringId);

private:
    Opened OpenFile(bool check);
    std::optional<sql::Error> ReadVersion(bool check, int* version);
    Opened MoveAsideAndStartAgain(const std::string& reason);
    std::optional<sql::Error> Migrate(int version);
    std::optional<sql::Error> InsertShot(const StoredShot& shot);
    std::optional<sql::Error> Write(const std::function<std::optional<sql::Error>()>& work);
    // Inside a write: the library's id of a recorder's string, made if need be.
    std::optional<sql::Error> StringFor(const StringInfo& string, StringIds& ids, std::int64_t* id);
    bool StringExists(std::int64_t id, std::optional<sql::Error>* error);
    std::int64_t NextStringId(std::int64_t wanted, std::optional<sql::Error>* error);
    // The statement for `sql`, prepared the first time it is asked for.
    sql::Statement& Prepared(const char* sql);

    std::string path_;
    sql::Database db_;
    std::map<const char*, sql::Statement> prepared_;
};

}  // namespace quorvel
