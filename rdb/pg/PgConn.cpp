#include "rdb/pg/PgConn.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace rdb::pg {
namespace {

// libpq's messages span lines ("...failed: ...\n\tIs the server running..."); the error
// record and the log want one line.
std::string OneLine(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !out.empty();
            continue;
        }
        if (blank) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

int Digit36(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

// Notices (and the goodbye an idle connection receives when the server shuts down) are
// none of the desk's business; the transport learns of a lost server by other means.
void IgnoreNotice(void*, const PGresult*) {}

}  // namespace

std::string EscapeControlBytes(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7f) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

bool ReadUri(const std::string& uri, UriParts* parts, std::string* problem) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &message);
    if (options == nullptr) {
        // libpq quotes the address (password and all), or a piece of it, after its reason:
        // "REASON: \"...\"". Keep the reason only.
        const std::string text = message != nullptr ? message : "";
        PQfreemem(message);
        const size_t quoted = text.find(": \"");
        const std::string reason = quoted == std::string::npos ? std::string() : text.substr(0, quoted);
        if (problem != nullptr) {
            *problem = "the PostgreSQL address cannot be read";
            if (!reason.empty()) *problem += " (" + EscapeControlBytes(reason) + ")";
        }
        return false;
    }
    UriParts p;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        const std::string_view k = o->keyword;
        if (k == "user") p.user = o->val;
        else if (k == "host") p.host = o->val;
        else if (k == "hostaddr") p.hostaddr = o->val;
        else if (k == "port") p.port = o->val;
        else if (k == "dbname") p.dbname = o->val;
        else if (k == "service") p.service = o->val;
    }
    PQconninfoFree(options);
    if (parts != nullptr) *parts = std::move(p);
    return true;
}

namespace {

// A value as messages show it: control bytes escaped, and a value that is itself a
// connection string (which may hold a password) not shown at all.
std::string Shown(const std::string& value) {
    if (value.find('=') != std::string::npos || value.find("://") != std::string::npos) return "***";
    return EscapeControlBytes(value);
}

}  // namespace

std::string ServerName(const UriParts& p) {
    std::string name;
    if (!p.service.empty()) name = "service " + Shown(p.service) + " ";
    if (!p.user.empty()) name += Shown(p.user) + "@";
    if (!p.host.empty()) {
        name += Shown(p.host);
    } else if (!p.hostaddr.empty()) {
        name += Shown(p.hostaddr);
    } else {
        name += "localhost";
    }
    if (!p.port.empty()) name += ":" + Shown(p.port);
    if (!p.dbname.empty()) name += "/" + Shown(p.dbname);
    return name;
}

std::string DisplayUri(const UriParts& p) {
    UriParts named = p;
    named.service.clear();
    // A socket folder as a URI writes it, so that it does not read as the path.
    for (size_t slash; (slash = named.host.find('/')) != std::string::npos;) named.host.replace(slash, 1, "%2F");
    std::string shown = "postgresql://" + ServerName(named);
    if (!p.service.empty()) shown += "?service=" + Shown(p.service);
    return shown;
}

std::string ServerName(const std::string& uri) {
    UriParts parts;
    return ReadUri(uri, &parts, nullptr) ? ServerName(parts) : "(unreadable address)";
}

ConnPtr Connect(const std::string& uri, int timeoutMs, std::string* error, bool* timedOut) {
    using Clock = std::chrono::steady_clock;
    if (timedOut != nullptr) *timedOut = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // libpq's own limit is per host and in whole seconds; ours covers the whole attempt.
    const std::string seconds = std::to_string(timeoutMs <= 1000 ? 1 : (timeoutMs + 999) / 1000);
    // Defaults first: the URI, expanded from dbname, overrides them.
    const char* const keywords[] = {"connect_timeout", "keepalives", "keepalives_idle",
                                    "keepalives_interval", "keepalives_count",
                                    "fallback_application_name", "dbname", nullptr};
    const char* const values[] = {seconds.c_str(), "1", "30", "10", "3", "orvanta", uri.c_str(),
                                  nullptr};
    ConnPtr conn(PQconnectStartParams(keywords, values, 1));
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = "cannot connect to PostgreSQL server " + ServerName(uri) + ": " + EscapeControlBytes(why);
        return ConnPtr();
    };
    if (!conn) return fail("out of memory");
    if (PQstatus(conn.get()) == CONNECTION_BAD) return fail(OneLine(PQerrorMessage(conn.get())));
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    for (;;) {
        if (state == PGRES_POLLING_OK) break;
        if (state == PGRES_POLLING_FAILED) return fail(OneLine(PQerrorMessage(conn.get())));
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            if (timedOut != nullptr) *timedOut = true;
            return fail("no answer within " + std::to_string(timeoutMs) + " ms");
        }
        pollfd p{};
        p.fd = PQsocket(conn.get());
        p.events = state == PGRES_POLLING_READING ? POLLIN : POLLOUT;
        if (p.fd < 0) return fail(OneLine(PQerrorMessage(conn.get())));
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno != EINTR) return fail(std::strerror(errno));
        if (r <= 0) continue;
        state = PQconnectPoll(conn.get());
    }
    PQsetNoticeReceiver(conn.get(), &IgnoreNotice, nullptr);
    return conn;
}

int32_t CodeFromSqlState(std::string_view state) {
    // XX000, internal_error.
    constexpr int32_t kInternal = (33 * 36 + 33) * 36 * 36 * 36;
    if (state.size() != 5) return kInternal;
    int32_t code = 0;
    for (char c : state) {
        const int d = Digit36(c);
        if (d < 0) return kInternal;
        code = code * 36 + d;
    }
    return code > 0 ? code : kInternal;
}

std::string SqlStateFromCode(int32_t code) {
    static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (code <= 0 || code >= 36 * 36 * 36 * 36 * 36) return std::string();
    std::string s(5, '0');
    for (int i = 4; i >= 0; --i) {
        s[i] = kDigits[code % 36];
        code /= 36;
    }
    return s;
}

std::string ResultState(const PGresult* result) {
    const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return state != nullptr ? state : "";
}

std::string ResultError(const PGresult* result) {
    if (result == nullptr) return "no result (out of memory or connection lost)";
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    const std::string text = OneLine(primary != nullptr ? primary : PQresultErrorMessage(result));
    const std::string state = ResultState(result);
    return state.empty() ? text : state + ": " + text;
}

ResultPtr Exec(PGconn* conn, const std::string& sql, const Params& params, std::string* error) {
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
    ResultPtr r(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                             values.data(), nullptr, nullptr, 0));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return r;
    if (error != nullptr) *error = r ? ResultError(r.get()) : OneLine(PQerrorMessage(conn));
    return ResultPtr();
}

bool Command(PGconn* conn, const std::string& sql, std::string* error) {
    // PQexec keeps only the last result of several statements; errors stop the text.
    ResultPtr r(PQexec(conn, sql.c_str()));
    const ExecStatusType status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) return true;
    if (error != nullptr) *error = r ? ResultError(r.get()) : OneLine(PQerrorMessage(conn));
    return false;
}

std::string QuoteIdent(PGconn* conn, std::string_view name) {
    char* quoted = PQescapeIdentifier(conn, name.data(), name.size());
    if (quoted == nullptr) return std::string();
    std::string out = quoted;
    PQfreemem(quoted);
    return out;
}

}  // namespace rdb::pg
