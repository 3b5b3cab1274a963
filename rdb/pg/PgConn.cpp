#include "rdb/pg/PgConn.h"

#include <poll.h>

#include <algorithm>
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

namespace {

// One host of an address: what replaces the address's host lists for one attempt. Empty
// when the address is tried as a whole.
struct HostChoice {
    std::string host, hostaddr, port;
    std::string label;  // how messages name it
};

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (;;) {
        const size_t comma = list.find(',', pos);
        out.push_back(list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (comma == std::string::npos) return out;
        pos = comma + 1;
    }
}

// The hosts of an address, one attempt each. libpq limits a connect attempt only in its
// blocking calls; ours waits itself, so it must move from a silent host to the next itself.
// Addresses it cannot take apart safely (one host, empty list entries, a service file that
// may name the hosts, prefer-standby's two rounds over all hosts) are tried as a whole.
std::vector<HostChoice> HostsOf(const std::string& uri) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &message);
    if (options == nullptr) {
        PQfreemem(message);
        return {};
    }
    std::string host, hostaddr, port, service, attrs;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        if (o->val == nullptr) continue;
        const std::string_view k = o->keyword;
        if (k == "host") host = o->val;
        else if (k == "hostaddr") hostaddr = o->val;
        else if (k == "port") port = o->val;
        else if (k == "service") service = o->val;
        else if (k == "target_session_attrs") attrs = o->val;
    }
    PQconninfoFree(options);
    if (!service.empty() || attrs == "prefer-standby") return {};
    const std::vector<std::string> hosts = host.empty() ? std::vector<std::string>() : SplitList(host);
    const std::vector<std::string> addrs = hostaddr.empty() ? std::vector<std::string>() : SplitList(hostaddr);
    const std::vector<std::string> ports = port.empty() ? std::vector<std::string>() : SplitList(port);
    const size_t n = std::max(hosts.size(), addrs.size());
    if (n < 2 || (!hosts.empty() && !addrs.empty() && hosts.size() != addrs.size()) ||
        (ports.size() > 1 && ports.size() != n))
        return {};
    std::vector<HostChoice> out;
    for (size_t i = 0; i < n; ++i) {
        HostChoice c;
        if (!hosts.empty()) c.host = hosts[i];
        if (!addrs.empty()) c.hostaddr = addrs[i];
        if (!ports.empty()) c.port = ports.size() == 1 ? ports[0] : ports[i];
        // libpq skips empty values, so an empty entry could not replace the list.
        if ((!hosts.empty() && c.host.empty()) || (!addrs.empty() && c.hostaddr.empty()) ||
            (!ports.empty() && c.port.empty()))
            return {};
        c.label = (c.host.empty() ? c.hostaddr : c.host) + (c.port.empty() ? "" : ":" + c.port);
        out.push_back(std::move(c));
    }
    return out;
}

// One connect attempt of at most timeoutMs: the whole address, or one host of it.
ConnPtr ConnectOnce(const std::string& uri, const HostChoice* only, int timeoutMs, std::string* why,
                    bool* timedOut) {
    using Clock = std::chrono::steady_clock;
    *timedOut = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string userTimeout = std::to_string(kTcpUserTimeoutMs);
    const std::string idle = std::to_string(kKeepalivesIdleS);
    const std::string interval = std::to_string(kKeepalivesIntervalS);
    const std::string count = std::to_string(kKeepalivesCount);
    // Defaults first: the URI, expanded from dbname, overrides them; one host's entries
    // come last and replace the URI's lists.
    std::vector<const char*> keywords = {"keepalives", "keepalives_idle", "keepalives_interval",
                                         "keepalives_count", "tcp_user_timeout",
                                         "fallback_application_name", "dbname"};
    std::vector<const char*> values = {"1", idle.c_str(), interval.c_str(), count.c_str(),
                                       userTimeout.c_str(), "orvanta", uri.c_str()};
    if (only != nullptr) {
        const std::pair<const char*, const std::string*> entries[] = {
            {"host", &only->host}, {"hostaddr", &only->hostaddr}, {"port", &only->port}};
        for (const auto& [keyword, value] : entries) {
            if (value->empty()) continue;
            keywords.push_back(keyword);
            values.push_back(value->c_str());
        }
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    ConnPtr conn(PQconnectStartParams(keywords.data(), values.data(), 1));
    auto fail = [&](const std::string& text) {
        *why = text;
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
            *timedOut = true;
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

}  // namespace

ConnPtr Connect(const std::string& uri, int timeoutMs, std::string* error, bool* timedOut) {
    using Clock = std::chrono::steady_clock;
    if (timedOut != nullptr) *timedOut = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::vector<HostChoice> hosts = HostsOf(uri);
    std::string why;
    bool late = false;
    ConnPtr conn;
    if (hosts.empty()) {
        conn = ConnectOnce(uri, nullptr, timeoutMs, &why, &late);
    } else {
        // Each host gets an equal share of what is left: a silent one costs its share, a
        // refusing one next to nothing, and the whole attempt stays within the limit.
        for (size_t i = 0; i < hosts.size() && !conn; ++i) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            const int share = static_cast<int>(std::max<long long>(left, 1) / static_cast<long long>(hosts.size() - i));
            std::string hostWhy;
            bool hostLate = false;
            conn = ConnectOnce(uri, &hosts[i], std::max(share, 1), &hostWhy, &hostLate);
            if (conn) break;
            late = late || hostLate;
            // libpq's own messages name the host; ours for a silent one does not.
            if (hostLate) hostWhy = hosts[i].label + ": " + hostWhy;
            why += (why.empty() ? "" : "; ") + hostWhy;
        }
    }
    if (conn) return conn;
    if (timedOut != nullptr) *timedOut = late;
    if (error != nullptr) *error = "cannot connect to PostgreSQL server " + ServerName(uri) + ": " + EscapeControlBytes(why);
    return ConnPtr();
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
