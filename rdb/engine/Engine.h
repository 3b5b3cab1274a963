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
        // Make the database (file and schema) when path does not exist or is an empty file.
        // Only the operator's set-up steps ask for this: a mistyped path must be reported,
        // never turned into an empty database.
        bool create = false;
        // For connections that run statements sent by desks: refuse what a desk never sends
        // (other database files, VACUUM, schema changes, transactions, pragmas other than
        // integrity_check and quick_check, extension loading, functions that reveal memory).
        bool deskLimits = false;
        // A statement running longer than this fails (0: no limit).
        int statementTimeoutMs = 0;
        // Asked now and then while a statement runs; true stops it (its client has gone).
        std::function<bool()> abandoned;
    };

    // Opens the database at path. The file must exist and hold the four tables (missing
    // indexes are added); anything else is refused and left unchanged, unless opt.create
    // asks for a new database, which gets the whole schema. Functions, collation and
    // procedures are registered on the connection every time.
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
    // Whether this open made the schema of a new database.
    bool MadeSchema() const;

private:
    struct Impl;
    explicit Engine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The operator's set-up step: creates a new database with the schema at path. An existing
// database of ours is left as it is (*existed true); an existing file that holds anything
// else is refused unchanged. Returns false with err filled.
bool InitDatabase(const std::string& path, bool* existed, Error* err);

// Appends one value to a row string: the value with ":;" rewritten to ": ;", then ":;".
void AppendRowValue(std::string& row, std::string_view value);

}  // namespace rdb
