#include "Sqlite.h"

#include <sqlite3.h>

namespace quorvel::sql {

Database::~Database() { Close(); }

Database::Database(Database&& other) noexcept : db_(other.db_) { other.db_ = nullptr; }

Database& Database::operator=(Database&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = other.db_;
        other.db_ = nullptr;
    }
    return *this;
}

std::optional<Error> Database::Open(const std::string& path, Mode mode)
{
    Close();
    const int flags =
        (mode == Mode::ReadWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
    int rc = 0;
    if (mode == Mode::Immutable) {
        std::string uri = "file:";
        for (const char c : path) {
            if (c == '%' || c == '?' || c == '#') {
                static constexpr char kHex[] = "0123456789abcdef";
                uri += {'%', kHex[(static_cast<unsigned char>(c) >> 4) & 15], kHex[static_cast<unsigned char>(c) & 15]};
            } else {
                uri += c;
            }
        }
        rc = sqlite3_open_v2((uri + "?immutable=1").c_str(), &db_, flags | SQLITE_OPEN_URI, nullptr);
    } else {
        rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    }
    if (rc == SQLITE_OK) return std::nullopt;
    Error e{rc, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)};
    Close();
    return e;
}

void Database::Close()
{
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
}

std::optional<Error> Database::Exec(std::string_view sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return std::nullopt;
    Error e{rc, message != nullptr ? message : sqlite3_errstr(rc)};
    sqlite3_free(message);
    return e;
}

std::int64_t Database::LastRowId() const { return sqlite3_last_insert_rowid(db_); }
int Database::Changes() const { return sqlite3_changes(db_); }
Error Database::LastError() const { return {sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)}; }

Statement::Statement(Database& db, std::string_view sql) : db_(db.Handle())
{
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK) {
        // A file that is no database already fails here; kept for Step to report.
        prepareError_ = Error{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
        stmt_ = nullptr;
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_), prepareError_(std::move(other.prepareError_))
{
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        prepareError_ = std::move(other.prepareError_);
        other.stmt_ = nullptr;
    }
    return *this;
}

Statement& Statement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

Statement& Statement::Bind(int index, double value)
{
    sqlite3_bind_double(stmt_, index, value);
    return *this;
}

Statement& Statement::Bind(int index, std::string_view text)
{
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::Bind(int index, const std::optional<std::string>& text)
{
    return text ? Bind(index, std::string_view(*text)) : BindNull(index);
}

Statement& Statement::BindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
    return *this;
}

bool Statement::Step(std::optional<Error>* error)
{
    if (stmt_ == nullptr) {
        if (error != nullptr) *error = prepareError_;
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE && error != nullptr) *error = Error{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
    return false;
}

std::optional<Error> Statement::Run()
{
    std::optional<Error> error;
    while (Step(&error)) {
    }
    Reset();
    return error;
}

void Statement::Reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
double Statement::Real(int column) const { return sqlite3_column_double(stmt_, column); }
bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

std::string Statement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text != nullptr ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}

}  // namespace quorvel::sql
