// Opening the library: finding out what the file is (a library, an older
// one, a newer one, a damaged one, one that cannot be written), bringing an
// older one up to date step by step, and the transactions every write runs
// in. The rows themselves are in LibraryRows.cpp.
#include "ShotLibrary.h"

#include <cerrno>
#include <ctime>
#include <filesystem>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LibrarySql.h"

namespace quorvel {

using namespace librarysql;

namespace {

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

std::string FolderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

}  // namespace

const char* KindText(ShotOutcome kind)
{
    switch (kind) {
    case ShotOutcome::NoImpact: return "no impact";
    case ShotOutcome::TooClose: return "max velocity";
    case ShotOutcome::RateTooLow: return "rate too low";
    case ShotOutcome::Shot: break;
    }
    return "shot";
}

ShotOutcome KindFromText(const std::string& text)
{
    for (const ShotOutcome kind : {ShotOutcome::NoImpact, ShotOutcome::TooClose, ShotOutcome::RateTooLow}) {
        if (text == KindText(kind)) return kind;
    }
    return ShotOutcome::Shot;
}

ShotLibrary::Opened ShotLibrary::Open(const std::string& path, bool check)
{
    prepared_.clear();
    db_.Close();
    path_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return {Status::Failed, "The shot library " + path + " is not a file."};
    return OpenFile(check);
}

ShotLibrary::Opened ShotLibrary::OpenFile(bool check)
{
    const std::string& path = path_;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    // The mode decides, also for root: a shooter who made the file read-only
    // meant it. On read-only media SQLite may not be able to make its
    // shared-memory file beside it; the file is then read as it lies.
    const bool readOnly = exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0);
    const bool media = readOnly && ::access(FolderOf(path).c_str(), W_OK) != 0;
    using Mode = sql::Database::Mode;
    if (auto e = db_.Open(path, readOnly ? Mode::ReadOnly : Mode::ReadWrite)) {
        return {Status::Failed, "Cannot open the shot library " + path + ": " + e->message};
    }
    int version = 0;
    std::optional<sql::Error> error = ReadVersion(check, &version);
    if (error && (error->code & 0xff) == SQLITE_CANTOPEN && media && !db_.Open(path, Mode::Immutable)) {
        error = ReadVersion(check, &version);
    }
    if (error && IsDamage(error->code) && !readOnly) return MoveAsideAndStartAgain(error->message);
    if (error) {
        db_.Close();
        const Status status = IsBusy(error->code) ? Status::Locked : IsDamage(error->code) ? Status::Damaged : Status::Failed;
        return {status, "Cannot read the shot library " + path + ": " + error->message};
    }
    if (version > kLibrarySchemaVersion) {
        db_.Close();
        return {Status::Newer, "The shot library " + path + " was written by a newer Quorvel and is left as it is."};
    }
    if (readOnly) {
        if (version < kLibrarySchemaVersion) {
            db_.Close();
            return {Status::ReadOnly, "The shot library " + path + " is read-only and too old to read."};
        }
        return {Status::ReadOnly, "The shot library " + path + " is read-only: it can be browsed and exported."};
    }
    error = db_.Exec("PRAGMA journal_mode = WAL");
    if (!error) error = db_.Exec("PRAGMA synchronous = FULL");
    if (!error) error = Migrate(version);
    if (!error) error = db_.Exec(kTimeIndex);
    if (error) {
        db_.Close();
        const Status status = IsBusy(error->code) ? Status::Locked : Status::Failed;
        return {status, "Cannot write to the shot library " + path + ": " + error->message};
    }
    return {Status::Ok, ""};
}

std::optional<sql::Error> ShotLibrary::ReadVersion(bool check, int* version)
{
    db_.Exec("PRAGMA busy_timeout = 1500");
    std::optional<sql::Error> error;
    if (check) {
        sql::Statement pages(db_, "PRAGMA quick_check(1)");
        if (pages.Step(&error) && pages.Text(0) != "ok") error = sql::Error{SQLITE_CORRUPT, pages.Text(0)};
    }
    if (!error) {
        sql::Statement v(db_, "PRAGMA user_version");
        if (v.Step(&error)) *version = static_cast<int>(v.Int(0));
    }
    return error;
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
        if (version == 0) {
            if (auto e = db_.Exec(kSchema)) return e;
        } else {
            for (const Migration& step : kMigrations) {
                if (step.to <= version) continue;
                if (auto e = db_.Exec(step.sql)) return e;
            }
        }
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

sql::Statement& ShotLibrary::Prepared(const char* text)
{
    auto it = prepared_.find(text);
    if (it == prepared_.end()) it = prepared_.emplace(text, sql::Statement(db_, text)).first;
    return it->second;
}

std::int64_t ShotLibrary::DataVersion()
{
    if (!db_.IsOpen()) return -1;
    sql::Statement& s = Prepared("PRAGMA data_version");
    const std::int64_t version = s.Step() ? s.Int(0) : -1;
    s.Reset();
    return version;
}

namespace librarysql {

sql::Statement& BindString(sql::Statement& s, const StringInfo& info)
{
    return s.Bind(1, info.id).Bind(2, info.name).Bind(3, info.gun).Bind(4, info.pellet).Bind(5, info.notes).Bind(6, info.startedUtc);
}

StringInfo ReadString(const sql::Statement& s) { return {s.Int(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4), s.Text(5)}; }

bool IsBusy(int code) { return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED; }
bool IsDamage(int code) { return (code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT; }

}  // namespace librarysql

}  // namespace quorvel
