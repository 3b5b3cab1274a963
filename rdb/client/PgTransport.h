// "postgresql://..." (or "postgres://..."): the desk's statements on a PostgreSQL server
// through libpq, translated from the desk's dialect, with the embedded engine's results.
//
// Connection: made at the first call and kept; before it is reused the transport checks
// that the server has not closed it, and connects anew if it has. A statement is sent at
// most once: when the connection is lost after a statement may have reached the server,
// the call fails (RDB_E_DISCONNECTED) and the next call reconnects.
//
// Waiting: calls run on the caller's thread, the desk's window, so no wait is without an
// end. Connecting gives up after the connect limit, shared among the hosts of the address
// (pg::Connect). A server that stops answering (a silent network) drops the connection
// within about 10 s by the TCP settings of pg::Connect, whatever the statement limit. The
// window is not repainted meanwhile: pumping its events would run timers and queued calls
// that start other calls inside this one, and rows must reach the callback before the
// call returns.
//
// Time limit: every statement carries its own server-side limit, set for its transaction
// only (set_config(..., true)), so nothing of a call stays on the server's session and a
// transaction-pooling proxy may hand the session to another desk. No named prepared
// statements are used. If the server does not answer within the limit plus 10 s, the call
// fails with RDB_E_TIMEOUT and the connection is dropped. A limit of 0 does not switch the
// limit off: it means the default.
//
// Errors: a database error carries the positive code of its SQLSTATE (pg::CodeFromSqlState)
// and "SQLSTATE: message"; connection failures carry RDB_E_CONNECT, RDB_E_TIMEOUT or
// RDB_E_DISCONNECTED and a message naming the server (never its password).
//
// Display functions of digit columns, and an ORDER BY on them alone, are left to the desk
// (Translation::desk): the rows are formatted, and sorted, here with the embedded engine's
// functions before they are delivered.
//
// Rows are read completely before the first one reaches the callback, so a call made from
// inside a row callback finds the connection free and uses it. One call at a time per
// transport; calls from other threads wait.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rdb/client/Transport.h"
#include "rdb/dialect/DialectAdapter.h"
#include "rdb/pg/PgConn.h"

namespace rdb {

class PgTransport : public Transport {
public:
    using Translator = bool (*)(std::string_view tsql, Translation* out, std::string* error);

    static constexpr int kDefaultStatementMs = 30000;

    struct Limits {
        int connectMs = pg::kConnectTimeoutMs;    // 0: the default
        int statementMs = kDefaultStatementMs;    // 0: the default, never "no limit"
        int graceMs = 10000;  // extra wait for the server's answer beyond the limit
    };

    PgTransport(std::string uri, Translator translate);
    ~PgTransport() override;

    int32_t Query(const std::string& db, const std::string& sql, const ClientRowFn& onRow,
                  int32_t* rowCount, RDB_ERROR* err) override;
    int32_t QueryFirst(const std::string& db, const std::string& sql, std::string* row,
                       RDB_ERROR* err) override;
    int32_t Execute(const std::string& db, const std::string& sql, RDB_ERROR* err) override;

    void SetLimits(const Limits& limits);
    Limits GetLimits() const;
    // Drops the connection; the next call connects anew.
    void Disconnect();
    // The server as messages name it.
    const std::string& ServerName() const { return serverName_; }

    // The defaults, with RDB_TIMEOUT_MS (connect limit) and RDB_STATEMENT_TIMEOUT_MS
    // (statement limit) from the environment when set.
    static Limits LimitsFromEnvironment();
    // limits with every wait given an end: 0 or less becomes the default.
    static Limits Bounded(Limits limits);

private:
    struct Outcome;
    enum class Want { Rows, FirstRow, Nothing };

    Outcome Run(const std::string& sql, Want want, const ClientRowFn& onRow);
    bool Translate(const std::string& sql, Translation* out, std::string* error);
    bool Usable();
    bool Send(const Translation& t, std::string* error);
    // Sends what libpq holds, by deadline_.
    bool Flush(std::string* error);
    // The longest a statement's answer is waited for.
    int WaitMs() const { return limits_.statementMs + limits_.graceMs; }
    Outcome Collect(Want want, const DeskWork& desk, const ClientRowFn& onRow);
    // Hands the rows of results[1..end) to onRow (or the first one to out->first), with
    // what the desk still does to them (formatting, order).
    static void Deliver(const std::vector<pg::ResultPtr>& results, size_t end, Want want, const DeskWork& desk,
                        const ClientRowFn& onRow, Outcome* out);
    // The result of a row or statement call: 1 done, 0 database error, else the failure code.
    static int32_t CallResult(const Outcome& out, RDB_ERROR* err);

    std::string uri_;
    std::string serverName_;
    Translator translate_;
    Limits limits_;
    mutable std::recursive_mutex mutex_;
    pg::ConnPtr conn_;
    bool doomed_ = false;
    std::chrono::steady_clock::time_point deadline_;  // of the call's statement
    std::unordered_map<std::string, Translation> translations_;
};

std::unique_ptr<Transport> MakePgTransport(const std::string& uri);

// Hands the rows of r to onRow in row format (through *row, which keeps its capacity), with
// what desk leaves to the desk done to them: formatted, and in the desk's order when it has
// one. Only the first row when firstOnly. Returns the number of rows handed over.
int64_t DeliverDeskRows(const PGresult* r, const DeskWork& desk, bool firstOnly, const ClientRowFn& onRow,
                        std::string* row);

}  // namespace rdb
