#include "rdb/engine/Engine.h"

#include <sqlite3.h>

#include <charconv>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "rdb/engine/DialectAdapter.h"
#include "rdb/engine/DisplayFunctions.h"
#include "rdb/engine/Procedures.h"
#include "rdb/engine/Schema.h"
#include "rdb/engine/TextCollation.h"

namespace rdb {
namespace {

// Every desk runs the same few statements over and over (the count every ten seconds), so
// translations are kept by the statement text and prepared statements by the translated
// text.
constexpr size_t kMaxCachedStatements = 64;
constexpr size_t kMaxCachedTranslations = 128;

void SetDbError(sqlite3* db, Error* err) {
    if (err == nullptr) return;
    err->code = sqlite3_extended_errcode(db);
    err->message = sqlite3_errmsg(db);
}

void SetError(Error* err, int32_t code, std::string message) {
    if (err == nullptr) return;
    err->code = code;
    err->message = std::move(message);
}

bool IsBlankTail(const char* p, const char* end) {
    for (; p < end; ++p) {
        const char c = *p;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v' && c != ';')
            return false;
    }
    return true;
}

std::string FormatReal(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatBlob(const void* data, int bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "0x";
    const auto* p = static_cast<const unsigned char*>(data);
    for (int i = 0; i < bytes; ++i) {
        out += kHex[p[i] >> 4];
        out += kHex[p[i] & 0x0F];
    }
    return out;
}

void AppendColumn(std::string& row, sqlite3_stmt* stmt, int col) {
    switch (sqlite3_column_type(stmt, col)) {
        case SQLITE_NULL:
            AppendRowValue(row, std::string_view());
            break;
        case SQLITE_INTEGER:
            AppendRowValue(row, std::to_string(sqlite3_column_int64(stmt, col)));
            break;
        case SQLITE_FLOAT:
            AppendRowValue(row, FormatReal(sqlite3_column_double(stmt, col)));
            break;
        case SQLITE_BLOB: {
            const void* p = sqlite3_column_blob(stmt, col);
            AppendRowValue(row, FormatBlob(p, sqlite3_column_bytes(stmt, col)));
            break;
        }
        default: {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
            const int n = sqlite3_column_bytes(stmt, col);
            AppendRowValue(row, p == nullptr ? std::string_view()
                                             : std::string_view(p, static_cast<size_t>(n)));
            break;
        }
    }
}

}  // namespace

void AppendRowValue(std::string& row, std::string_view value) {
    size_t pos = 0;
    while (pos < value.size()) {
        const size_t hit = value.find(":;", pos);
        if (hit == std::string_view::npos) {
            row.append(value.substr(pos));
            break;
        }
        row.append(value.substr(pos, hit - pos));
        row.append(": ;");
        pos = hit + 2;
    }
    row.append(":;");
}

struct Engine::Impl {
    struct CachedStatement {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
        uint64_t lastUse = 0;
    };

    // A statement borrowed for one run: reset (and released or finalized) on every exit
    // path, so no read transaction outlives the call.
    class Lease {
    public:
        Lease() = default;
        Lease(sqlite3_stmt* stmt, CachedStatement* entry) : stmt_(stmt), entry_(entry) {
            if (entry_ != nullptr) entry_->inUse = true;
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() {
            if (stmt_ == nullptr) return;
            sqlite3_reset(stmt_);
            if (entry_ != nullptr) {
                sqlite3_clear_bindings(stmt_);
                entry_->inUse = false;
            } else {
                sqlite3_finalize(stmt_);
            }
        }
        sqlite3_stmt* get() const { return stmt_; }

    private:
        sqlite3_stmt* stmt_ = nullptr;
        CachedStatement* entry_ = nullptr;
    };

    sqlite3* db = nullptr;
    std::string path;
    std::recursive_mutex mutex;
    std::unordered_map<std::string, CachedStatement> cache;
    std::unordered_map<std::string, Translation> translations;
    uint64_t useClock = 0;

    ~Impl() {
        for (auto& [text, entry] : cache) sqlite3_finalize(entry.stmt);
        cache.clear();
        if (db != nullptr) sqlite3_close_v2(db);
    }

    void EvictIfFull() {
        while (cache.size() >= kMaxCachedStatements) {
            auto oldest = cache.end();
            for (auto it = cache.begin(); it != cache.end(); ++it) {
                if (it->second.inUse) continue;
                if (oldest == cache.end() || it->second.lastUse < oldest->second.lastUse) oldest = it;
            }
            if (oldest == cache.end()) return;  // all in use by nested calls
            sqlite3_finalize(oldest->second.stmt);
            cache.erase(oldest);
        }
    }

    // Steps one statement to its end (or until the sink stops), delivering rows.
    bool Step(sqlite3_stmt* stmt, const RowSink& sink, int64_t* rows, bool* stopped, Error* err) {
        const int columns = sqlite3_column_count(stmt);
        for (;;) {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_DONE) return true;
            if (rc != SQLITE_ROW) {
                SetDbError(db, err);
                return false;
            }
            ++*rows;
            if (!sink) continue;
            std::string row;
            for (int i = 0; i < columns; ++i) AppendColumn(row, stmt, i);
            if (!sink(columns, row)) {
                *stopped = true;
                return true;
            }
        }
    }

    // Runs every statement of a translated text in order. A text holding one statement
    // keeps its prepared form in the cache; further statements are prepared for the run.
    bool Run(const std::string& text, const RowSink& sink, int64_t* rows, Error* err) {
        *rows = 0;
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        const char* next = begin;
        bool first = true;
        while (next < end && !IsBlankTail(next, end)) {
            std::unique_ptr<Lease> lease;
            if (first) {
                auto it = cache.find(text);
                if (it != cache.end() && !it->second.inUse) {
                    it->second.lastUse = ++useClock;
                    lease = std::make_unique<Lease>(it->second.stmt, &it->second);
                    next = end;
                }
            }
            if (!lease) {
                sqlite3_stmt* stmt = nullptr;
                const char* tail = nullptr;
                const int rc = sqlite3_prepare_v3(db, next, static_cast<int>(end - next),
                                                  first ? SQLITE_PREPARE_PERSISTENT : 0, &stmt,
                                                  &tail);
                if (rc != SQLITE_OK) {
                    SetDbError(db, err);
                    return false;
                }
                if (stmt == nullptr) break;  // only comments were left
                const bool single = first && IsBlankTail(tail, end);
                if (single && cache.find(text) == cache.end()) {
                    EvictIfFull();
                    CachedStatement& entry = cache[text];
                    entry.stmt = stmt;
                    entry.lastUse = ++useClock;
                    lease = std::make_unique<Lease>(stmt, &entry);
                } else {
                    lease = std::make_unique<Lease>(stmt, nullptr);
                }
                next = tail;
            }
            first = false;
            bool stopped = false;
            if (!Step(lease->get(), sink, rows, &stopped, err)) return false;
            if (stopped) break;
        }
        return true;
    }

    bool Dispatch(std::string_view sql, const RowSink& sink, int64_t* rows, Error* err) {
        *rows = 0;
        const Translation* found = nullptr;
        const std::string key(sql);
        auto it = translations.find(key);
        if (it != translations.end()) {
            found = &it->second;
        } else {
            Translation fresh;
            std::string message;
            if (!TranslateToSqlite(sql, &fresh, &message)) {
                SetError(err, kErrTranslate, message.empty() ? "statement could not be translated" : message);
                return false;
            }
            // Texts carry dates and keys, so old ones pile up; starting over is cheap.
            if (translations.size() >= kMaxCachedTranslations) translations.clear();
            found = &translations.emplace(key, std::move(fresh)).first->second;
        }
        // A copy: a nested call from a row handler may clear the map.
        const Translation t = *found;
        if (t.kind == Translation::Kind::Call) {
            Procedure proc = FindProcedure(t.call.name);
            if (proc == nullptr) {
                SetError(err, kErrUnknownProcedure,
                         "could not find stored procedure '" + t.call.name + "'");
                return false;
            }
            return proc(db, t.call, sink, rows, err);
        }
        return Run(t.sql, sink, rows, err);
    }
};

Engine::Engine(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Engine::~Engine() = default;

std::unique_ptr<Engine> Engine::Open(const std::string& path, Error* err) {
    return Open(path, Options{}, err);
}

std::unique_ptr<Engine> Engine::Open(const std::string& path, const Options& opt, Error* err) {
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const int flags = opt.readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (impl->db != nullptr) {
            SetDbError(impl->db, err);
        } else {
            SetError(err, rc, sqlite3_errstr(rc));
        }
        return nullptr;
    }
    sqlite3* db = impl->db;
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, opt.busyTimeoutMs);
    // Statements come from the network: no schema tampering, and "x" is always a name.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);

    if (RegisterTextCollation(db) != SQLITE_OK || RegisterDisplayFunctions(db) != SQLITE_OK) {
        SetDbError(db, err);
        return nullptr;
    }
    if (!opt.readOnly) {
        // WAL lets the desks read while the feed or another desk writes; the mode is
        // stored in the file, so it is only switched once.
        sqlite3_stmt* stmt = nullptr;
        std::string mode;
        if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            mode = p != nullptr ? p : "";
        }
        sqlite3_finalize(stmt);
        if (mode != "wal" && mode != "memory") {
            if (sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
                SetDbError(db, err);
                return nullptr;
            }
        }
        sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        if (!EnsureSchema(db, err)) return nullptr;
    }
    return std::unique_ptr<Engine>(new Engine(std::move(impl)));
}

bool Engine::Query(std::string_view sql, const RowSink& sink, int64_t* rowCount, Error* err) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    int64_t rows = 0;
    const bool ok = impl_->Dispatch(sql, sink, &rows, err);
    if (rowCount != nullptr) *rowCount = rows;
    return ok;
}

int Engine::QueryFirst(std::string_view sql, std::string* row, int32_t* columns, Error* err) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    bool found = false;
    auto sink = [&](int32_t cols, const std::string& r) {
        found = true;
        if (row != nullptr) *row = r;
        if (columns != nullptr) *columns = cols;
        return false;
    };
    int64_t rows = 0;
    if (!impl_->Dispatch(sql, sink, &rows, err)) return -1;
    return found ? 1 : 0;
}

bool Engine::Execute(std::string_view sql, int64_t* changes, Error* err) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    const int64_t before = sqlite3_total_changes64(impl_->db);
    int64_t rows = 0;
    const bool ok = impl_->Dispatch(sql, RowSink(), &rows, err);
    if (changes != nullptr) *changes = sqlite3_total_changes64(impl_->db) - before;
    return ok;
}

sqlite3* Engine::Handle() const { return impl_->db; }

const std::string& Engine::Path() const { return impl_->path; }

}  // namespace rdb
