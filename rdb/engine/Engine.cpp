#include "rdb/engine/Engine.h"

#include <sqlite3.h>

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "rdb/dialect/DialectAdapter.h"
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
// The caches are bounded in bytes too: a client sending many large statements must not
// make a connection hold them all. A desk's statements are a few kilobytes; longer texts
// are run without being kept.
constexpr size_t kMaxCachedTextBytes = 64 * 1024;
constexpr size_t kStatementCacheBytes = 4 * 1024 * 1024;
constexpr size_t kTranslationCacheBytes = 2 * 1024 * 1024;

// Virtual machine steps between two looks at the time limit and the client.
constexpr int kProgressSteps = 1000;
// How often, at most, the client is asked whether it is still there.
constexpr auto kAbandonPollInterval = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

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

bool SameNameNoCase(const char* a, const char* b) {
    return a != nullptr && sqlite3_stricmp(a, b) == 0;
}

// SQLite's own tables and the page statistics table: nothing a desk reads or writes.
bool IsInternalTable(const char* name) {
    return name != nullptr && (sqlite3_strnicmp(name, "sqlite_", 7) == 0 || SameNameNoCase(name, "dbstat"));
}

// The authorizer of desk connections. It sees every action of a statement as SQLite
// compiles it, so no spelling of a statement gets round it. Anything not named here is
// refused: ATTACH/DETACH, VACUUM, CREATE/DROP/ALTER of any kind, ANALYZE, REINDEX,
// transactions and savepoints (an open transaction would hold every other desk's writes).
int DeskAuthorizer(void*, int action, const char* a1, const char* a2, const char*, const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_READ:
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            return IsInternalTable(a1) ? SQLITE_DENY : SQLITE_OK;
        case SQLITE_FUNCTION:
            // load_extension would run foreign code; fts3_tokenizer hands out a memory address.
            return SameNameNoCase(a2, "load_extension") || SameNameNoCase(a2, "fts3_tokenizer")
                       ? SQLITE_DENY
                       : SQLITE_OK;
        case SQLITE_PRAGMA:
            // Only the operator's read-only checks.
            return SameNameNoCase(a1, "integrity_check") || SameNameNoCase(a1, "quick_check")
                       ? SQLITE_OK
                       : SQLITE_DENY;
        default:
            return SQLITE_DENY;
    }
}

void ApplyDeskLimits(sqlite3* db) {
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_set_authorizer(db, &DeskAuthorizer, nullptr);
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

    enum class StopReason { None, TimeLimit, Abandoned };

    sqlite3* db = nullptr;
    std::string path;
    bool madeSchema = false;
    std::recursive_mutex mutex;
    std::unordered_map<std::string, CachedStatement> cache;
    size_t cacheBytes = 0;
    std::unordered_map<std::string, Translation> translations;
    size_t translationBytes = 0;
    uint64_t useClock = 0;

    bool deskLimits = false;
    // Time limit and client check of the statement that runs.
    int statementTimeoutMs = 0;
    std::function<bool()> abandoned;
    int depth = 0;
    Clock::time_point deadline;
    Clock::time_point nextAbandonPoll;
    StopReason stopReason = StopReason::None;

    static int Progress(void* self) {
        Impl* impl = static_cast<Impl*>(self);
        const auto now = Clock::now();
        if (impl->statementTimeoutMs > 0 && now >= impl->deadline) {
            impl->stopReason = StopReason::TimeLimit;
            return 1;
        }
        if (impl->abandoned && now >= impl->nextAbandonPoll) {
            impl->nextAbandonPoll = now + kAbandonPollInterval;
            bool gone = false;
            try {
                gone = impl->abandoned();
            } catch (...) {
                gone = false;
            }
            if (gone) {
                impl->stopReason = StopReason::Abandoned;
                return 1;
            }
        }
        return 0;
    }

    // Brackets one outermost call: starts the clock, and afterwards says why SQLite's
    // "interrupted" happened when the engine itself stopped the statement.
    void BeginCall() {
        if (depth++ > 0) return;
        stopReason = StopReason::None;
        const auto now = Clock::now();
        if (statementTimeoutMs > 0) deadline = now + std::chrono::milliseconds(statementTimeoutMs);
        nextAbandonPoll = now + kAbandonPollInterval;
    }
    void EndCall(bool ok, Error* err) {
        if (--depth > 0 || ok || err == nullptr) return;
        if (deskLimits && (err->code & 0xFF) == SQLITE_AUTH) {
            err->message = "statement refused (" + err->message +
                           "): a desk connection runs only the desk's own statements and "
                           "pragma integrity_check or quick_check";
            return;
        }
        if ((err->code & 0xFF) != SQLITE_INTERRUPT) return;
        if (stopReason == StopReason::TimeLimit) {
            err->message = "statement stopped: it ran longer than the limit of " +
                           FormatSeconds(statementTimeoutMs) + " s";
        } else if (stopReason == StopReason::Abandoned) {
            err->message = "statement stopped: its client has gone";
        }
    }
    static std::string FormatSeconds(int ms) {
        if (ms % 1000 == 0) return std::to_string(ms / 1000);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.1f", ms / 1000.0);
        return buf;
    }

    ~Impl() {
        for (auto& [text, entry] : cache) sqlite3_finalize(entry.stmt);
        cache.clear();
        if (db != nullptr) sqlite3_close_v2(db);
    }

    static size_t EntryBytes(const std::string& text, sqlite3_stmt* stmt) {
        return text.size() + static_cast<size_t>(sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_MEMUSED, 0));
    }

    // Makes room for an entry of `incoming` bytes: drops the least recently used statements
    // until both the count and the byte budget allow it. False when they cannot (every
    // entry in use by nested calls).
    bool MakeRoom(size_t incoming) {
        while (cache.size() >= kMaxCachedStatements || cacheBytes + incoming > kStatementCacheBytes) {
            auto oldest = cache.end();
            for (auto it = cache.begin(); it != cache.end(); ++it) {
                if (it->second.inUse) continue;
                if (oldest == cache.end() || it->second.lastUse < oldest->second.lastUse) oldest = it;
            }
            if (oldest == cache.end()) return false;
            const size_t bytes = EntryBytes(oldest->first, oldest->second.stmt);
            cacheBytes -= bytes < cacheBytes ? bytes : cacheBytes;
            sqlite3_finalize(oldest->second.stmt);
            cache.erase(oldest);
        }
        return true;
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
                const size_t bytes = single ? EntryBytes(text, stmt) : 0;
                if (single && text.size() <= kMaxCachedTextBytes && bytes <= kStatementCacheBytes / 4 &&
                    cache.find(text) == cache.end() && MakeRoom(bytes)) {
                    CachedStatement& entry = cache[text];
                    entry.stmt = stmt;
                    entry.lastUse = ++useClock;
                    cacheBytes += bytes;
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

    static size_t TranslationBytes(const Translation& t) {
        size_t n = t.sql.size() + t.call.name.size();
        for (const std::string& a : t.call.args) n += a.size();
        return n;
    }

    bool Dispatch(std::string_view sql, const RowSink& sink, int64_t* rows, Error* err) {
        *rows = 0;
        Translation t;
        const bool cacheable = sql.size() <= kMaxCachedTextBytes;
        auto it = cacheable ? translations.find(std::string(sql)) : translations.end();
        if (it != translations.end()) {
            // A copy: a nested call from a row handler may clear the map.
            t = it->second;
        } else {
            std::string message;
            if (!TranslateToSqlite(sql, &t, &message)) {
                SetError(err, kErrTranslate, message.empty() ? "statement could not be translated" : message);
                return false;
            }
            if (cacheable) {
                const size_t bytes = sql.size() + TranslationBytes(t);
                // Texts carry dates and keys, so old ones pile up; starting over is cheap.
                if (translations.size() >= kMaxCachedTranslations ||
                    translationBytes + bytes > kTranslationCacheBytes) {
                    translations.clear();
                    translationBytes = 0;
                }
                translations.emplace(std::string(sql), t);
                translationBytes += bytes;
            }
        }
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

    // One call from outside: under the time limit, and a failed allocation fails this call,
    // never the process or the thread serving it.
    bool Call(std::string_view sql, const RowSink& sink, int64_t* rows, Error* err) {
        bool ok = false;
        BeginCall();
        try {
            ok = Dispatch(sql, sink, rows, err);
        } catch (const std::bad_alloc&) {
            SetError(err, SQLITE_NOMEM, "out of memory");
        }
        EndCall(ok, err);
        return ok;
    }
};

Engine::Engine(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Engine::~Engine() = default;

std::unique_ptr<Engine> Engine::Open(const std::string& path, Error* err) {
    return Open(path, Options{}, err);
}

std::unique_ptr<Engine> Engine::Open(const std::string& path, const Options& opt, Error* err) {
    const bool create = opt.create && !opt.readOnly;
    if (!create) {
        // SQLite's own words for this are "unable to open database file".
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 && errno == ENOENT) {
            SetError(err, SQLITE_CANTOPEN, "database file " + path + " does not exist");
            return nullptr;
        }
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const int flags = opt.readOnly ? SQLITE_OPEN_READONLY
                                   : (SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
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
    // Look before changing anything: another application's file must stay as it is.
    SchemaState state = SchemaState::Empty;
    std::string missing;
    if (!InspectSchema(db, &state, &missing, err)) {
        if (err != nullptr) err->message = path + ": " + err->message;
        return nullptr;
    }
    if (state == SchemaState::Foreign) {
        SetError(err, SQLITE_NOTADB,
                 path + " is not an Orvanta database (it has no table " + missing + "); it was left unchanged");
        return nullptr;
    }
    if (state == SchemaState::Empty && !create) {
        SetError(err, SQLITE_NOTADB, path + " is an empty database without the Orvanta tables");
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
        impl->madeSchema = state == SchemaState::Empty;
    }
    // Limits go on last: the set-up above is the engine's own, unrestricted path.
    if (opt.deskLimits) ApplyDeskLimits(db);
    impl->deskLimits = opt.deskLimits;
    impl->statementTimeoutMs = opt.statementTimeoutMs > 0 ? opt.statementTimeoutMs : 0;
    impl->abandoned = opt.abandoned;
    if (impl->statementTimeoutMs > 0 || impl->abandoned)
        sqlite3_progress_handler(db, kProgressSteps, &Impl::Progress, impl.get());
    return std::unique_ptr<Engine>(new Engine(std::move(impl)));
}

bool Engine::Query(std::string_view sql, const RowSink& sink, int64_t* rowCount, Error* err) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    int64_t rows = 0;
    const bool ok = impl_->Call(sql, sink, &rows, err);
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
    if (!impl_->Call(sql, sink, &rows, err)) return -1;
    return found ? 1 : 0;
}

bool Engine::Execute(std::string_view sql, int64_t* changes, Error* err) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    const int64_t before = sqlite3_total_changes64(impl_->db);
    int64_t rows = 0;
    const bool ok = impl_->Call(sql, RowSink(), &rows, err);
    if (changes != nullptr) *changes = sqlite3_total_changes64(impl_->db) - before;
    return ok;
}

sqlite3* Engine::Handle() const { return impl_->db; }

const std::string& Engine::Path() const { return impl_->path; }

bool Engine::MadeSchema() const { return impl_->madeSchema; }

bool InitDatabase(const std::string& path, bool* existed, Error* err) {
    Engine::Options options;
    options.create = true;
    std::unique_ptr<Engine> engine = Engine::Open(path, options, err);
    if (!engine) return false;
    if (existed != nullptr) *existed = !engine->MadeSchema();
    return true;
}

}  // namespace rdb
