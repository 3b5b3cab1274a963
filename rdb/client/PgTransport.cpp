#include "rdb/client/PgTransport.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "rdb/engine/DisplayFunctions.h"
#include "rdb/engine/Engine.h"

namespace rdb {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxCachedTranslations = 128;
constexpr const char kLimitSql[] = "SELECT set_config('statement_timeout', $1, true)";

long long MsLeft(Clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

int EnvMs(const char* name, int fallback) {
    const char* env = std::getenv(name);
    if (env == nullptr) return fallback;
    char* end = nullptr;
    const long ms = std::strtol(env, &end, 10);
    if (end == env || *end != '\0' || ms < 0 || ms > 24L * 3600 * 1000) return fallback;
    return static_cast<int>(ms);
}

// The server says goodbye (shutdown, termination by an administrator) on an idle
// connection as a notice, FATAL or, on an immediate shutdown, a WARNING with the shutdown's
// SQLSTATE: that connection must not carry the next statement.
void OnNotice(void* arg, const PGresult* result) {
    const char* severity = PQresultErrorField(result, PG_DIAG_SEVERITY_NONLOCALIZED);
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    const std::string_view s = severity != nullptr ? severity : "";
    const std::string_view st = state != nullptr ? state : "";
    if (s == "FATAL" || s == "PANIC" || st.substr(0, 4) == "57P0" || st.substr(0, 2) == "08")
        *static_cast<bool*>(arg) = true;
}

// Errors after which the session is gone: connection exceptions, and the server shutting
// down or refusing (admin_shutdown, crash_shutdown, cannot_connect_now).
bool SessionLost(PGconn* conn, const std::string& state) {
    if (PQstatus(conn) != CONNECTION_OK) return true;
    return state.compare(0, 2, "08") == 0 || state == "57P01" || state == "57P02" || state == "57P03";
}

std::string AsciiLower(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

int32_t ClampCount(int64_t n) {
    return n > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                   : static_cast<int32_t>(n);
}

using Formatter = std::string (*)(std::string_view);

// The embedded engine's function for each column the desk formats; null where none.
std::vector<Formatter> DeskFormatters(const DeskWork& desk, int columns) {
    std::vector<Formatter> out;
    for (const DeskFormat& f : desk.formats) {
        if (f.column >= static_cast<size_t>(columns)) return {};  // not the statement it was planned for
        if (out.size() <= f.column) out.resize(f.column + 1, nullptr);
        out[f.column] = f.function == DisplayFunction::Tel    ? &FormatTel
                        : f.function == DisplayFunction::Date ? &FormatDate
                                                              : &FormatTime;
    }
    return out;
}

std::string_view Value(const PGresult* r, int row, int column) {
    return std::string_view(PQgetvalue(r, row, column), static_cast<size_t>(PQgetlength(r, row, column)));
}

// One row in row format into *out, which keeps its capacity from row to row: a list of
// 100,000 rows then costs no allocation per row. Columns with a formatter are formatted on
// the way in; NULL stays NULL.
void RowInto(const PGresult* r, int row, const std::vector<Formatter>& formatters, std::string* out) {
    out->clear();
    const int columns = PQnfields(r);
    for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(r, row, c)) {
            AppendRowValue(*out, std::string_view());
        } else if (static_cast<size_t>(c) < formatters.size() && formatters[c] != nullptr) {
            AppendRowValue(*out, formatters[c](Value(r, row, c)));
        } else {
            AppendRowValue(*out, Value(r, row, c));
        }
    }
}

// The rows of r in the order the server would have given them for ORDER BY keys over
// formatted digit columns: bytewise ("C"), trailing blanks ignored as bpchar ignores them,
// NULL first ascending and last descending. Rows equal in every key keep no particular order,
// as on the server.
std::vector<int> DeskOrder(const PGresult* r, const DeskWork& desk, const std::vector<Formatter>& formatters) {
    const int rows = PQntuples(r);
    std::vector<int> order(static_cast<size_t>(rows));
    for (int n = 0; n < rows; ++n) order[static_cast<size_t>(n)] = n;
    const size_t keys = desk.order.size();
    for (const DeskSortKey& k : desk.order) {
        if (k.column >= formatters.size() || formatters[k.column] == nullptr) return order;
    }
    struct Key {
        size_t offset = 0, length = 0;
        bool null = false;
    };
    std::vector<Key> key(static_cast<size_t>(rows) * keys);
    std::string text;
    for (int n = 0; n < rows; ++n) {
        for (size_t k = 0; k < keys; ++k) {
            const int c = static_cast<int>(desk.order[k].column);
            Key& e = key[static_cast<size_t>(n) * keys + k];
            e.null = PQgetisnull(r, n, c) != 0;
            if (e.null) continue;
            const std::string v = formatters[static_cast<size_t>(c)](Value(r, n, c));
            size_t len = v.size();
            while (len > 0 && v[len - 1] == ' ') --len;
            e.offset = text.size();
            e.length = len;
            text.append(v, 0, len);
        }
    }
    const auto less = [&](int a, int b) {
        for (size_t k = 0; k < keys; ++k) {
            const Key& x = key[static_cast<size_t>(a) * keys + k];
            const Key& y = key[static_cast<size_t>(b) * keys + k];
            int cmp = 0;
            if (x.null || y.null) {
                cmp = x.null == y.null ? 0 : (x.null ? -1 : 1);
            } else {
                cmp = std::string_view(text).substr(x.offset, x.length).compare(
                    std::string_view(text).substr(y.offset, y.length));
            }
            if (cmp != 0) return desk.order[k].descending ? cmp > 0 : cmp < 0;
        }
        return false;
    };
    std::sort(order.begin(), order.end(), less);
    return order;
}

}  // namespace

struct PgTransport::Outcome {
    enum class Kind { Done, DbError, Failed };
    Kind kind = Kind::Done;
    int32_t code = 0;
    std::string message;
    int64_t rows = 0;
    bool found = false;
    std::string first;

    static Outcome Error(Kind kind, int32_t code, std::string message) {
        Outcome o;
        o.kind = kind;
        o.code = code;
        o.message = std::move(message);
        return o;
    }
};

PgTransport::PgTransport(std::string uri, Translator translate)
    : uri_(std::move(uri)),
      serverName_(pg::ServerName(uri_)),
      translate_(translate),
      limits_(LimitsFromEnvironment()) {}

PgTransport::~PgTransport() = default;

PgTransport::Limits PgTransport::LimitsFromEnvironment() {
    Limits l;
    l.connectMs = EnvMs("RDB_TIMEOUT_MS", l.connectMs);
    l.statementMs = EnvMs("RDB_STATEMENT_TIMEOUT_MS", l.statementMs);
    return Bounded(l);
}

PgTransport::Limits PgTransport::Bounded(Limits limits) {
    // Every wait of a call needs an end: a statement limit of 0 does not switch it off.
    if (limits.statementMs <= 0) limits.statementMs = kDefaultStatementMs;
    if (limits.graceMs < 0) limits.graceMs = 0;
    if (limits.connectMs <= 0) limits.connectMs = pg::kConnectTimeoutMs;
    return limits;
}

void PgTransport::SetLimits(const Limits& limits) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    limits_ = Bounded(limits);
}

PgTransport::Limits PgTransport::GetLimits() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return limits_;
}

void PgTransport::Disconnect() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    conn_.reset();
}

bool PgTransport::Translate(const std::string& sql, Translation* out, std::string* error) {
    auto it = translations_.find(sql);
    if (it != translations_.end()) {
        *out = it->second;
        return true;
    }
    Translation fresh;
    if (!translate_(sql, &fresh, error)) {
        if (error->empty()) *error = "statement could not be translated";
        return false;
    }
    // Texts carry dates and keys, so old ones pile up; starting over is cheap.
    if (translations_.size() >= kMaxCachedTranslations) translations_.clear();
    translations_.emplace(sql, fresh);
    *out = std::move(fresh);
    return true;
}

bool PgTransport::Usable() {
    PGconn* c = conn_.get();
    if (c == nullptr || doomed_) return false;
    if (PQstatus(c) != CONNECTION_OK || PQtransactionStatus(c) != PQTRANS_IDLE ||
        PQpipelineStatus(c) != PQ_PIPELINE_OFF)
        return false;
    // An idle connection has nothing to read unless the server closed it or said goodbye.
    pollfd p{};
    p.fd = PQsocket(c);
    p.events = POLLIN;
    if (p.fd < 0) return false;
    // A goodbye and the end of the stream may arrive apart: look twice.
    for (int look = 0; look < 2 && poll(&p, 1, 0) > 0; ++look) {
        if (!PQconsumeInput(c)) return false;
        // Reading only buffers; parsing hands a goodbye to the notice hook, which dooms the
        // connection, instead of leaving it to be taken for the next statement's answer.
        PQisBusy(c);
        if (doomed_ || PQstatus(c) != CONNECTION_OK) return false;
    }
    return PQstatus(c) == CONNECTION_OK && !doomed_;
}

bool PgTransport::Send(const Translation& t, std::string* error) {
    PGconn* c = conn_.get();
    const std::string limit = std::to_string(limits_.statementMs);
    if (t.kind == Translation::Kind::Statement) {
        // One simple query: the limit and the statement run in one implicit transaction,
        // which ends with the statement and takes the limit with it.
        const std::string text = "SELECT set_config('statement_timeout', '" + limit + "', true);" + t.sql;
        if (PQsendQuery(c, text.c_str()) == 1) return Flush(error);
        *error = PQerrorMessage(c);
        return false;
    }
    // A procedure call: its arguments are bound, so it goes through the extended protocol,
    // the limit and the call pipelined in front of one Sync (one transaction, one round trip).
    // The adapter writes the call's text; a name alone is called with its ASCII letters
    // folded, as unquoted names are.
    std::string call = t.sql;
    if (call.empty()) call = "SELECT * FROM " + pg::QuoteIdent(c, AsciiLower(t.call.name)) + "(";
    std::vector<const char*> values;
    for (size_t i = 0; i < t.call.args.size(); ++i) {
        if (t.sql.empty()) call += (i > 0 ? ", $" : "$") + std::to_string(i + 1);
        const bool isNull = i < t.call.argIsNull.size() && t.call.argIsNull[i];
        values.push_back(isNull ? nullptr : t.call.args[i].c_str());
    }
    if (t.sql.empty()) call += ")";
    const char* limitValue[] = {limit.c_str()};
    if (PQenterPipelineMode(c) == 1 &&
        PQsendQueryParams(c, kLimitSql, 1, nullptr, limitValue, nullptr, nullptr, 0) == 1 &&
        PQsendQueryParams(c, call.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                          nullptr, nullptr, 0) == 1 &&
        PQpipelineSync(c) == 1)
        return Flush(error);
    *error = PQerrorMessage(c);
    return false;
}

bool PgTransport::Flush(std::string* error) {
    PGconn* c = conn_.get();
    for (;;) {
        const int pending = PQflush(c);
        if (pending == 0) return true;
        if (pending < 0) break;
        const long long left = MsLeft(deadline_);
        if (left <= 0) {
            *error = "no room to send within " + std::to_string(WaitMs()) + " ms";
            return false;
        }
        // While the server does not take more, it may be answering: read what it sends.
        pollfd p{};
        p.fd = PQsocket(c);
        p.events = POLLOUT | POLLIN;
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (p.revents & POLLIN) != 0 && !PQconsumeInput(c)) break;
    }
    *error = PQerrorMessage(c);
    return false;
}

PgTransport::Outcome PgTransport::Collect(Want want, const DeskWork& desk, const ClientRowFn& onRow) {
    PGconn* c = conn_.get();
    const bool pipeline = PQpipelineStatus(c) != PQ_PIPELINE_OFF;
    std::vector<pg::ResultPtr> results;
    int nulls = 0;
    for (;;) {
        while (PQisBusy(c)) {
            const long long left = MsLeft(deadline_);
            if (left <= 0) {
                conn_.reset();
                return Outcome::Error(Outcome::Kind::Failed, RDB_E_TIMEOUT,
                                      "no answer from PostgreSQL server " + serverName_ + " within " +
                                          std::to_string(WaitMs()) +
                                          " ms; the statement may or may not have been carried out");
            }
            pollfd p{};
            p.fd = PQsocket(c);
            p.events = POLLIN;
            const int r = poll(&p, 1, static_cast<int>(left));
            if (r < 0 && errno != EINTR) {
                conn_.reset();
                return Outcome::Error(Outcome::Kind::Failed, RDB_E_DISCONNECTED,
                                      "connection to PostgreSQL server " + serverName_ + " lost (" +
                                          std::strerror(errno) +
                                          "); the statement may or may not have been carried out");
            }
            if (r > 0 && !PQconsumeInput(c)) break;  // PQgetResult reports the loss
        }
        PGresult* r = PQgetResult(c);
        if (r == nullptr) {
            // Outside a pipeline the first null ends the results; inside, one ends each query.
            if (!pipeline || PQstatus(c) != CONNECTION_OK || ++nulls > 2) break;
            continue;
        }
        nulls = 0;
        if (PQresultStatus(r) == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        results.emplace_back(r);
    }
    if (pipeline && PQstatus(c) == CONNECTION_OK) PQexitPipelineMode(c);

    // The first result is the time limit's; the statement's follow.
    size_t failedAt = results.size();
    for (size_t i = 0; i < results.size(); ++i) {
        if (PQresultStatus(results[i].get()) == PGRES_FATAL_ERROR) {
            failedAt = i;
            break;
        }
    }
    Outcome out;
    if (failedAt < results.size() || results.empty()) {
        const PGresult* failed = failedAt < results.size() ? results[failedAt].get() : nullptr;
        const std::string state = pg::ResultState(failed);
        const std::string what = failed != nullptr ? pg::ResultError(failed) : std::string(PQerrorMessage(c));
        if (SessionLost(c, state)) {
            out = Outcome::Error(Outcome::Kind::Failed, RDB_E_DISCONNECTED,
                                 "connection to PostgreSQL server " + serverName_ + " lost (" + what +
                                     "); the statement may or may not have been carried out");
            conn_.reset();
        } else {
            out = Outcome::Error(Outcome::Kind::DbError, pg::CodeFromSqlState(state), what);
        }
    }
    // Rows of the statements before a failure stay delivered, as on the embedded engine.
    if (want != Want::Nothing) Deliver(results, failedAt, want, desk, onRow, &out);
    return out;
}

int64_t DeliverDeskRows(const PGresult* r, const DeskWork& desk, bool firstOnly, const ClientRowFn& onRow,
                        std::string* row) {
    const int rows = PQntuples(r);
    const int columns = PQnfields(r);
    const std::vector<Formatter> formatters = DeskFormatters(desk, columns);
    std::vector<int> order;
    if (!desk.order.empty() && !formatters.empty()) order = DeskOrder(r, desk, formatters);
    const int end = firstOnly ? std::min(rows, 1) : rows;
    for (int k = 0; k < end; ++k) {
        RowInto(r, order.empty() ? k : order[static_cast<size_t>(k)], formatters, row);
        if (onRow) onRow(columns, *row);
    }
    return end;
}

// Nothing here touches the connection any more: a row callback may use it. The first result
// is the time limit's.
void PgTransport::Deliver(const std::vector<pg::ResultPtr>& results, size_t end, Want want, const DeskWork& desk,
                          const ClientRowFn& onRow, Outcome* out) {
    std::string row;
    for (size_t i = 1; i < end && i < results.size(); ++i) {
        const PGresult* r = results[i].get();
        if (PQresultStatus(r) != PGRES_TUPLES_OK) continue;
        if (want == Want::FirstRow) {
            if (PQntuples(r) == 0) continue;
            out->found = DeliverDeskRows(r, desk, true, ClientRowFn(), &out->first) == 1;
            return;
        }
        out->rows += onRow ? DeliverDeskRows(r, desk, false, onRow, &row) : PQntuples(r);
    }
}

PgTransport::Outcome PgTransport::Run(const std::string& sql, Want want, const ClientRowFn& onRow) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Translation t;
    std::string error;
    if (!Translate(sql, &t, &error)) return Outcome::Error(Outcome::Kind::DbError, kErrTranslate, error);
    for (int attempt = 0;; ++attempt) {
        const bool reused = Usable();
        if (!reused) {
            conn_.reset();
            bool timedOut = false;
            conn_ = pg::Connect(uri_, limits_.connectMs, &error, &timedOut);
            if (!conn_) {
                return Outcome::Error(Outcome::Kind::Failed, timedOut ? RDB_E_TIMEOUT : RDB_E_CONNECT, error);
            }
            doomed_ = false;
            PQsetNoticeReceiver(conn_.get(), &OnNotice, &doomed_);
            // Nothing of a call may wait without an end, sending included.
            PQsetnonblocking(conn_.get(), 1);
        }
        deadline_ = Clock::now() + std::chrono::milliseconds(WaitMs());
        if (!Send(t, &error)) {
            conn_.reset();
            // Nothing of the statement left: a connection that had died unseen gets one
            // fresh try.
            if (reused && attempt == 0) continue;
            return Outcome::Error(Outcome::Kind::Failed, RDB_E_DISCONNECTED,
                                  "cannot send to PostgreSQL server " + serverName_ + ": " + error);
        }
        return Collect(want, t.desk, onRow);
    }
}

int32_t PgTransport::Query(const std::string&, const std::string& sql, const ClientRowFn& onRow,
                           int32_t* rowCount, RDB_ERROR* err) {
    const Outcome out = Run(sql, Want::Rows, onRow);
    if (rowCount != nullptr) *rowCount = ClampCount(out.rows);
    return CallResult(out, err);
}

int32_t PgTransport::QueryFirst(const std::string&, const std::string& sql, std::string* row, RDB_ERROR* err) {
    Outcome out = Run(sql, Want::FirstRow, ClientRowFn());
    switch (out.kind) {
        case Outcome::Kind::Done:
            if (out.found) {
                if (row != nullptr) *row = std::move(out.first);
                SetRdbError(err, 0, std::string());
            } else {
                if (row != nullptr) row->clear();
                SetRdbError(err, 1, std::string());
            }
            return 1;
        case Outcome::Kind::DbError:
            // A failed call, not a status: a code of 1 would read as "no row".
            SetRdbError(err, out.code, out.message);
            return 0;
        case Outcome::Kind::Failed:
            break;
    }
    SetRdbError(err, out.code, out.message);
    return out.code;
}

int32_t PgTransport::Execute(const std::string&, const std::string& sql, RDB_ERROR* err) {
    const Outcome out = Run(sql, Want::Nothing, ClientRowFn());
    return CallResult(out, err);
}

int32_t PgTransport::CallResult(const Outcome& out, RDB_ERROR* err) {
    SetRdbError(err, out.code, out.message);
    switch (out.kind) {
        case Outcome::Kind::Done:
            return 1;
        case Outcome::Kind::DbError:
            return 0;
        case Outcome::Kind::Failed:
            break;
    }
    return out.code;
}

std::unique_ptr<Transport> MakePgTransport(const std::string& uri) {
    return std::make_unique<PgTransport>(uri, &TranslateToPostgres);
}

}  // namespace rdb
