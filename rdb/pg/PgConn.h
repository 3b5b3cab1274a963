// Small helpers over libpq shared by the desk's transport, the tools and the tests:
// owned connections and results, connecting with the desk's limits, server names for
// messages (never a password), and the error code of a SQLSTATE.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rdb::pg {

struct ConnCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct ResultClearer {
    void operator()(PGresult* r) const { PQclear(r); }
};
using ConnPtr = std::unique_ptr<PGconn, ConnCloser>;
using ResultPtr = std::unique_ptr<PGresult, ResultClearer>;

// What libpq itself reads from a connection URI, for naming the server.
struct UriParts {
    std::string user, host, hostaddr, port, dbname, service;
};
// False when libpq cannot read the URI, *problem then saying why without quoting it.
bool ReadUri(const std::string& uri, UriParts* parts, std::string* problem);

// How messages name the server of a connection URI: "USER@HOST:PORT/DB" with what the URI
// gives ("service NAME" for a service entry). Never contains a password or a control byte.
std::string ServerName(const UriParts& parts);
std::string ServerName(const std::string& uri);
// The same as an address: "postgresql://USER@HOST:PORT/DB", "?service=NAME" added.
std::string DisplayUri(const UriParts& parts);

// Control bytes (below 0x20, and 0x7f) written as \xHH, so a text from outside cannot
// drive the terminal of whoever reads the log.
std::string EscapeControlBytes(std::string_view text);

// Connect limit of the desk: an attempt gives up after this long, over all the hosts an
// address names.
inline constexpr int kConnectTimeoutMs = 10000;

// How long a connection waits for a server that has stopped answering: data the server
// has not acknowledged for this long drops the connection (TCP user timeout), and so does
// a quiet connection whose keepalive probes (after kKeepalivesIdleS, then every
// kKeepalivesIntervalS) go unanswered for as long.
inline constexpr int kTcpUserTimeoutMs = 10000;
inline constexpr int kKeepalivesIdleS = 4;
inline constexpr int kKeepalivesIntervalS = 2;
inline constexpr int kKeepalivesCount = 3;

// Connects to uri with the TCP settings above and a connect limit of timeoutMs (values
// given in the URI win over these defaults). An address with several hosts gives each
// host an equal share of what is left of the limit, in order, so a silent host does not
// use up the time of the next. Notices are not printed. Null on failure, *error naming the
// server and saying why; *timedOut set when a host gave no answer in time.
ConnPtr Connect(const std::string& uri, int timeoutMs, std::string* error, bool* timedOut = nullptr);

// The positive error code of a SQLSTATE: its five characters read as a base-36 number
// ("42P01" -> 6,844,177). Reversed by SqlStateFromCode. A missing or malformed state
// gives the code of XX000 (internal error).
int32_t CodeFromSqlState(std::string_view state);
std::string SqlStateFromCode(int32_t code);

// "SQLSTATE: primary message" of a failed result, on one line.
std::string ResultError(const PGresult* result);
// The SQLSTATE of a failed result ("" when libpq produced the error itself).
std::string ResultState(const PGresult* result);

// Parameters in text form; nullopt is NULL.
using Params = std::vector<std::optional<std::string>>;

// Runs one statement with parameters. Returns the result when it succeeded (commands and
// queries alike), else null with *error filled.
ResultPtr Exec(PGconn* conn, const std::string& sql, const Params& params, std::string* error);
// Runs statements without parameters (several allowed). False with *error on failure.
bool Command(PGconn* conn, const std::string& sql, std::string* error);

// An identifier quoted for SQL text.
std::string QuoteIdent(PGconn* conn, std::string_view name);

}  // namespace rdb::pg
