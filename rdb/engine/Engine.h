// The database engine behind every transport: one SQLite connection that runs the
// SQL Server statements the desk sends, through the dialect adapter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace rdb {

struct Error {
    int32_t code = 0;
    std::string message;
};

// Error codes of the engine's own, beside SQLite's (extended) result codes, which engine
// failures carry unchanged. None of them collides with a SQLite code.
inline constexpr int32_t kErrTranslate = 102;          // statement the dialect adapter rejects
inline constexpr int32_t kErrProcedureArgs = 201;      // wrong number of procedure arguments
inline constexpr int32_t kErrUnknownProcedure = 2812;  // call of a procedure that does not exist

// Called once per result row with the number of columns and the row string in the
// client's row format (every value followed by ":;", NULL as empty, ":;" inside a value
// written as ": ;"). Returning false stops the query early (it still counts as success).
using RowSink = std::function<bool(int32_t columns, const std::string& row)>;

class Engine {
public:
    struct Options {
        int busyTimeoutMs = 10000;
        bool readOnly = false;
    };

    // Opens (creating when missing) the database at path. A new or empty database gets the
    // four tables, the two named indexes and everything else the statements rely on.
    // Functions, collation and procedures are registered on the connection every time.
    static std::unique_ptr<Engine> Open(const std::string& path, Error* err);
    static std::unique_ptr<Engine> Open(const std::string& path, const Options& opt, Error* err);

    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Runs a statement and delivers its rows in order. Statements without rows succeed with
    // *rowCount 0. Returns false with err filled on failure (rows delivered before the
    // failure stay delivered).
    bool Query(std::string_view sql, const RowSink& sink, int64_t* rowCount, Error* err);

    // First row only. Returns 1 (row in *row, in row format, columns in *columns), 0 (no
    // row), -1 (error, err filled).
    int QueryFirst(std::string_view sql, std::string* row, int32_t* columns, Error* err);

    // Runs a statement for its effect; rows, if any, are discarded. *changes receives the
    // number of rows changed (may be null). Returns false with err filled on failure.
    bool Execute(std::string_view sql, int64_t* changes, Error* err);

    sqlite3* Handle() const;
    const std::string& Path() const;

private:
    struct Impl;
    explicit Engine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Appends one value to a row string: the value with ":;" rewritten to ": ;", then ":;".
void AppendRowValue(std::string& row, std::string_view value);

}  // namespace rdb
