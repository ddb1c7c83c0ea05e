#include "ShotLibrary.h"

#include "Units.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

// Version 1 had neither the string's gun, pellet and notes nor exclusion
// and waveforms; the files it wrote are migrated in place.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS strings(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL DEFAULT '', gun TEXT NOT NULL DEFAULT '',
  pellet TEXT NOT NULL DEFAULT '', notes TEXT NOT NULL DEFAULT '', started_utc TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS shots(
  id INTEGER PRIMARY KEY, string_id INTEGER NOT NULL, number INTEGER, time_utc TEXT NOT NULL,
  kind TEXT NOT NULL, muzzle_velocity REAL, average_velocity REAL, energy REAL, samples INTEGER,
  sample_rate INTEGER NOT NULL, distance REAL, pellet_mass REAL, muzzle_volume INTEGER, impact_volume INTEGER,
  excluded INTEGER NOT NULL DEFAULT 0, exclude_reason TEXT NOT NULL DEFAULT '', waveform TEXT);
CREATE INDEX IF NOT EXISTS shots_by_string ON shots(string_id, id);
)";

constexpr const char* kFromVersion1 = R"(
ALTER TABLE strings ADD COLUMN gun TEXT NOT NULL DEFAULT '';
ALTER TABLE strings ADD COLUMN pellet TEXT NOT NULL DEFAULT '';
ALTER TABLE strings ADD COLUMN notes TEXT NOT NULL DEFAULT '';
ALTER TABLE shots ADD COLUMN excluded INTEGER NOT NULL DEFAULT 0;
ALTER TABLE shots ADD COLUMN exclude_reason TEXT NOT NULL DEFAULT '';
ALTER TABLE shots ADD COLUMN waveform TEXT;
CREATE INDEX IF NOT EXISTS shots_by_string ON shots(string_id, id);
)";

constexpr const char* kShotColumns =
    "string_id, number, time_utc, kind, muzzle_velocity, average_velocity, energy, samples, sample_rate, "
    "distance, pellet_mass, muzzle_volume, impact_volume, excluded, exclude_reason, waveform";

constexpr const char* kInsertString =
    "INSERT INTO strings(id, name, gun, pellet, notes, started_utc) VALUES(?, ?, ?, ?, ?, ?)";
// A string written with its first shot; one already there keeps its details.
constexpr const char* kAddString =
    "INSERT OR IGNORE INTO strings(id, name, gun, pellet, notes, started_utc) VALUES(?, ?, ?, ?, ?, ?)";

sql::Statement& BindString(sql::Statement& s, const StringInfo& info)
{
    return s.Bind(1, info.id).Bind(2, info.name).Bind(3, info.gun).Bind(4, info.pellet).Bind(5, info.notes).Bind(6, info.startedUtc);
}

StringInfo ReadString(const sql::Statement& s) { return {s.Int(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5)}; }

bool IsBusy(int code) { return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED; }
bool IsDamage(int code) { return (code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT; }

void BindOptional(sql::Statement& s, int index, const std::optional<double>& v)
{
    v ? s.Bind(index, *v) : s.BindNull(index);
}

std::optional<double> OptionalReal(const sql::Statement& s, int column)
{
    return s.IsNull(column) ? std::nullopt : std::optional<double>(s.Real(column));
}

ShotKind KindFromText(const std::string& text)
{
    if (text == "no impact") return ShotKind::NoImpact;
    if (text == "max velocity") return ShotKind::MaxVelocity;
    return ShotKind::Shot;
}

StoredShot ReadShot(const sql::Statement& s)
{
    StoredShot shot;
    shot.stringId = s.Int(0);
    if (!s.IsNull(1)) shot.number = static_cast<int>(s.Int(1));
    shot.timeUtc = s.Text(2);
    shot.kind = KindFromText(s.Text(3));
    shot.muzzleVelocity = OptionalReal(s, 4);
    shot.averageVelocity = OptionalReal(s, 5);
    shot.energy = OptionalReal(s, 6);
    if (!s.IsNull(7)) shot.samples = static_cast<int>(s.Int(7));
    shot.sampleRate = static_cast<int>(s.Int(8));
    shot.distance = s.Real(9);
    shot.pelletMass = s.Real(10);
    shot.muzzleVolume = static_cast<int>(s.Int(11));
    shot.impactVolume = static_cast<int>(s.Int(12));
    shot.excluded = s.Int(13) != 0;
    shot.excludeReason = s.Text(14);
    if (!s.IsNull(15)) shot.waveform = s.Text(15);
    return shot;
}

std::string AsideName(const std::string& path)
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &t);
    std::string aside = path + ".damaged-" + stamp;
    for (int n = 2; std::filesystem::exists(aside); ++n) aside = path + ".damaged-" + stamp + "-" + std::to_string(n);
    return aside;
}

}  // namespace

const char* KindText(ShotKind kind)
{
    switch (kind) {
    case ShotKind::NoImpact: return "no impact";
    case ShotKind::MaxVelocity: return "max velocity";
    case ShotKind::Shot: break;
    }
    return "shot";
}

ShotLibrary::Opened ShotLibrary::Open(const std::string& path, bool check)
{
    db_.Close();
    path_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return {Status::Failed, "The shot library " + path + " is not a file."};
    // The mode decides, also for root: a shooter who made the file read-only
    // meant it.
    const bool readOnly = exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0);
    if (auto e = db_.Open(path, readOnly ? sql::Database::Mode::ReadOnly : sql::Database::Mode::ReadWrite)) {
        return {Status::Failed, "Cannot open the shot library " + path + ": " + e->message};
    }
    db_.Exec("PRAGMA busy_timeout = 1500");

    int version = 0;
    std::optional<sql::Error> error;
    if (check) {
        sql::Statement pages(db_, "PRAGMA quick_check(1)");
        if (pages.Step(&error) && pages.Text(0) != "ok") error = sql::Error{SQLITE_CORRUPT, pages.Text(0)};
    }
    if (!error) {
        sql::Statement v(db_, "PRAGMA user_version");
        if (v.Step(&error)) version = static_cast<int>(v.Int(0));
    }
    if (error && IsDamage(error->code) && !readOnly) return MoveAsideAndStartAgain(error->message);
    if (error) {
        db_.Close();
        const Status status = IsBusy(error->code) ? Status::Locked : IsDamage(error->code) ? Status::Damaged : Status::Failed;
        return {status, "Cannot read the shot library " + path + ": " + error->message};
    }
    if (version > kLibrarySchemaVersion) {
        db_.Close();
        return {Status::Newer, "The shot library " + path +
                                   " was written by a newer Quorvel; it is left as it is and no shot is stored."};
    }
    if (readOnly) {
        if (version < kLibrarySchemaVersion) {
            db_.Close();
            return {Status::ReadOnly, "The shot library " + path + " is read-only and too old to read."};
        }
        return {Status::ReadOnly, "The shot library " + path + " is read-only: shots are not stored."};
    }
    error = db_.Exec("PRAGMA journal_mode = WAL");
    if (!error) error = db_.Exec("PRAGMA synchronous = FULL");
    if (!error) error = Migrate(version);
    if (error) {
        db_.Close();
        const Status status = IsBusy(error->code) ? Status::Locked : Status::Failed;
        return {status, "Cannot write to the shot library " + path + ": " + error->message};
    }
    return {Status::Ok, ""};
}

ShotLibrary::Opened ShotLibrary::MoveAsideAndStartAgain(const std::string& reason)
{
    db_.Close();
    const std::string aside = AsideName(path_);
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    if (ec) return {Status::Damaged, "The shot library " + path_ + " is damaged (" + reason +
                                         ") and cannot be moved aside: " + ec.message()};
    // Its journal belongs to it; the shared-memory index is rebuilt anyway.
    std::filesystem::rename(path_ + "-wal", aside + "-wal", ec);
    std::filesystem::remove(path_ + "-shm", ec);
    Opened fresh = Open(path_);
    if (fresh.status != Status::Ok) return fresh;
    return {Status::Ok, "The shot library " + path_ + " was damaged (" + reason + "). It was moved to " + aside +
                            " and a new library started."};
}

std::optional<sql::Error> ShotLibrary::Migrate(int version)
{
    if (version == kLibrarySchemaVersion) return std::nullopt;
    return Write([&]() -> std::optional<sql::Error> {
        if (auto e = db_.Exec(version == 1 ? kFromVersion1 : kSchema)) return e;
        return db_.Exec("PRAGMA user_version = " + std::to_string(kLibrarySchemaVersion));
    });
}

std::optional<sql::Error> ShotLibrary::Write(const std::function<std::optional<sql::Error>()>& work)
{
    if (!db_.IsOpen()) return sql::Error{SQLITE_MISUSE, "the shot library is not open"};
    // IMMEDIATE takes the write lock at once, so a busy database is waited
    // for here (busy_timeout) rather than failing halfway.
    if (auto e = db_.Exec("BEGIN IMMEDIATE")) return e;
    auto e = work();
    if (!e) e = db_.Exec("COMMIT");
    if (e) db_.Exec("ROLLBACK");
    return e;
}

std::optional<sql::Error> ShotLibrary::UpdateString(const StringInfo& info)
{
    return Write([&] {
        sql::Statement s(db_, std::string(kInsertString) +
                                  " ON CONFLICT(id) DO UPDATE SET name = excluded.name, gun = excluded.gun, "
                                  "pellet = excluded.pellet, notes = excluded.notes");
        return BindString(s, info).Run();
    });
}

std::optional<sql::Error> ShotLibrary::InsertShot(const StoredShot& shot)
{
    sql::Statement s(db_, std::string("INSERT INTO shots(") + kShotColumns +
                              ") VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    s.Bind(1, shot.stringId);
    shot.number ? s.Bind(2, std::int64_t{*shot.number}) : s.BindNull(2);
    s.Bind(3, shot.timeUtc).Bind(4, std::string_view(KindText(shot.kind)));
    BindOptional(s, 5, shot.muzzleVelocity);
    BindOptional(s, 6, shot.averageVelocity);
    BindOptional(s, 7, shot.energy);
    shot.samples ? s.Bind(8, std::int64_t{*shot.samples}) : s.BindNull(8);
    s.Bind(9, std::int64_t{shot.sampleRate}).Bind(10, shot.distance).Bind(11, shot.pelletMass);
    s.Bind(12, std::int64_t{shot.muzzleVolume}).Bind(13, std::int64_t{shot.impactVolume});
    s.Bind(14, std::int64_t{shot.excluded ? 1 : 0}).Bind(15, shot.excludeReason).Bind(16, shot.waveform);
    return s.Run();
}

std::optional<sql::Error> ShotLibrary::AddShot(const StringInfo& string, const StoredShot& shot)
{
    return Write([&]() -> std::optional<sql::Error> {
        sql::Statement s(db_, kAddString);
        if (auto e = BindString(s, string).Run()) return e;
        return InsertShot(shot);
    });
}

std::optional<sql::Error> ShotLibrary::SetExcluded(std::int64_t stringId, int number, bool excluded,
                                                   const std::string& reason)
{
    return Write([&] {
        sql::Statement s(db_, "UPDATE shots SET excluded = ?, exclude_reason = ? WHERE string_id = ? AND number = ? "
                              "AND kind = 'shot'");
        s.Bind(1, std::int64_t{excluded ? 1 : 0}).Bind(2, excluded ? reason : std::string()).Bind(3, stringId);
        s.Bind(4, std::int64_t{number});
        return s.Run();
    });
}

std::optional<sql::Error> ShotLibrary::SetWaveform(std::int64_t stringId, int number, const std::string& path)
{
    return Write([&] {
        sql::Statement s(db_, "UPDATE shots SET waveform = ? WHERE string_id = ? AND number = ? AND kind = 'shot'");
        return s.Bind(1, path).Bind(2, stringId).Bind(3, std::int64_t{number}).Run();
    });
}

std::int64_t ShotLibrary::DataVersion()
{
    if (!db_.IsOpen()) return -1;
    sql::Statement s(db_, "PRAGMA data_version");
    return s.Step() ? s.Int(0) : -1;
}

std::vector<StringRow> ShotLibrary::Strings()
{
    std::vector<StringRow> rows;
    if (!db_.IsOpen()) return rows;
    sql::Statement s(db_, "SELECT id, name, gun, pellet, notes, started_utc FROM strings ORDER BY started_utc DESC, id DESC");
    while (s.Step()) {
        rows.push_back({ReadString(s), {}, 0, 0});
    }
    // One pass over every shot in string order is far quicker than a query
    // per string; the statistics are the program's own, not SQL's.
    std::unordered_map<std::int64_t, std::size_t> index;
    for (std::size_t i = 0; i < rows.size(); ++i) index[rows[i].info.id] = i;
    sql::Statement shots(db_, "SELECT string_id, muzzle_velocity, pellet_mass, excluded FROM shots "
                              "WHERE kind = 'shot' ORDER BY string_id, id");
    std::vector<double> velocities;
    double energy = 0;
    std::int64_t current = 0;
    const auto finish = [&] {
        const auto it = index.find(current);
        if (it == index.end()) return;
        StringRow& row = rows[it->second];
        row.summary = Summarize(velocities);
        row.averageEnergy = velocities.empty() ? 0 : energy / static_cast<double>(velocities.size());
    };
    while (shots.Step()) {
        if (shots.Int(0) != current) {
            finish();
            current = shots.Int(0);
            velocities.clear();
            energy = 0;
        }
        if (shots.Int(3) != 0) {
            if (const auto it = index.find(current); it != index.end()) ++rows[it->second].excluded;
            continue;
        }
        velocities.push_back(shots.Real(1));
        energy += MuzzleEnergy(shots.Real(1), shots.Real(2), true);
    }
    finish();
    return rows;
}

std::vector<StoredShot> ShotLibrary::Shots(std::int64_t stringId)
{
    std::vector<StoredShot> shots;
    if (!db_.IsOpen()) return shots;
    sql::Statement s(db_, std::string("SELECT ") + kShotColumns + " FROM shots WHERE string_id = ? ORDER BY id");
    s.Bind(1, stringId);
    while (s.Step()) shots.push_back(ReadShot(s));
    return shots;
}

std::int64_t ShotLibrary::UnusedStringId(std::int64_t wanted)
{
    if (!db_.IsOpen()) return wanted;
    sql::Statement s(db_, "SELECT max(id) FROM strings WHERE id >= ?");
    s.Bind(1, wanted);
    if (!s.Step() || s.IsNull(0)) return wanted;
    return s.Int(0) + 1;
}

std::optional<StoredString> ShotLibrary::Remove(std::int64_t stringId)
{
    StoredString removed;
    sql::Statement s(db_, "SELECT id, name, gun, pellet, notes, started_utc FROM strings WHERE id = ?");
    s.Bind(1, stringId);
    if (!s.Step()) return std::nullopt;
    removed.info = ReadString(s);
    removed.shots = Shots(stringId);
    const auto e = Write([&]() -> std::optional<sql::Error> {
        sql::Statement shots(db_, "DELETE FROM shots WHERE string_id = ?");
        if (auto e = shots.Bind(1, stringId).Run()) return e;
        sql::Statement string(db_, "DELETE FROM strings WHERE id = ?");
        return string.Bind(1, stringId).Run();
    });
    if (e) return std::nullopt;
    return removed;
}

std::optional<sql::Error> ShotLibrary::Restore(const StoredString& removed)
{
    return Write([&]() -> std::optional<sql::Error> {
        sql::Statement s(db_, kInsertString);
        if (auto e = BindString(s, removed.info).Run()) return e;
        for (const StoredShot& shot : removed.shots) {
            if (auto e = InsertShot(shot)) return e;
        }
        return std::nullopt;
    });
}

std::optional<sql::Error> ShotLibrary::Import(const std::vector<StoredString>& strings, int* added)
{
    *added = 0;
    int count = 0;
    const auto e = Write([&]() -> std::optional<sql::Error> {
        // The file holds the average to five decimals: what was stored live
        // and later imported is the same shot.
        sql::Statement known(db_, "SELECT 1 FROM shots WHERE time_utc = ? AND abs(average_velocity - ?) < 1e-4 LIMIT 1");
        sql::Statement string(db_, kAddString);
        for (const StoredString& s : strings) {
            if (auto e = BindString(string, s.info).Run()) return e;
            for (const StoredShot& shot : s.shots) {
                known.Bind(1, shot.timeUtc).Bind(2, shot.averageVelocity.value_or(0));
                const bool there = known.Step();
                known.Reset();
                if (there) continue;
                if (auto e = InsertShot(shot)) return e;
                ++count;
            }
        }
        return std::nullopt;
    });
    if (!e) *added = count;
    return e;
}

}  // namespace quorvel
