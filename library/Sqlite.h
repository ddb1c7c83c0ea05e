// The few pieces of SQLite's C API the library uses, each owned by one
// object: a connection, and statements prepared once and reused. Nothing
// else in the program holds an sqlite3 handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::sql {

// SQLite's result code and message of a failed call.
struct Error {
    int code = 0;
    std::string message;
};

// What a read gives: its rows, or why it could not be read (an unreadable
// library is not an empty one).
template <typename T>
struct Result {
    T value{};
    std::optional<Error> error;
    explicit operator bool() const { return !error; }
};

class Statement;

class Database {
public:
    Database() = default;
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Immutable: read-only media, where SQLite may not even make its
    // shared-memory file; the file must not change while it is open.
    enum class Mode { ReadWrite, ReadOnly, Immutable };
    // Opens (or, read-write, makes) the file; std::nullopt on success.
    std::optional<Error> Open(const std::string& path, Mode mode);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // Runs statements that return no rows.
    std::optional<Error> Exec(std::string_view sql);
    std::int64_t LastRowId() const;
    int Changes() const;
    Error LastError() const;
    sqlite3* Handle() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement() = default;
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Valid() const { return stmt_ != nullptr; }
    const Error& PrepareError() const { return prepareError_; }
    // Binds by position, from 1; a null optional binds NULL.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, double value);
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, const std::string& text) { return Bind(index, std::string_view(text)); }
    Statement& Bind(int index, const std::optional<std::string>& text);
    Statement& BindNull(int index);
    // True while it gives a row; false when done. `error` says whether it failed.
    bool Step(std::optional<Error>* error = nullptr);
    // Runs it to the end; std::nullopt on success. The statement is reset.
    std::optional<Error> Run();
    void Reset();

    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    Error prepareError_{21, "not prepared"};  // 21: SQLITE_MISUSE
};

}  // namespace quorvel::sql
