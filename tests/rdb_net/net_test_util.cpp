#include "tests/rdb_net/net_test_util.h"

#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "data/Statements.h"
#include "platform/Format.h"
#include "rdb/engine/Engine.h"
#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Protocol.h"

namespace nettest {

namespace {

void Exec(sqlite3* db, const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        const std::string text = msg ? msg : "?";
        sqlite3_free(msg);
        throw std::runtime_error(text + " in " + sql);
    }
}

}  // namespace

void CreateNetTestDatabase(const std::string& path, int records) {
    rdb::Error err;
    rdb::Engine::Options options;
    options.create = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) throw std::runtime_error("cannot create " + path + ": " + err.message);
    sqlite3* db = engine->Handle();
    Exec(db, "BEGIN");
    Exec(db, "INSERT INTO USER_INFO (USER_ID, USER_NM, PASSWORD) VALUES ('u1', 'User', 'pw')");
    Exec(db,
         "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, "
         "NO_REQ_DISP) VALUES (101, '대출상담', 'u1', 1, 1, 1), (102, '일반', 'u1', 2, 0, 0)");
    Exec(db,
         "INSERT INTO USER_AGENT_INFO (SEQ_NO, USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) "
         "VALUES (1, 'u1', 'agent', 'pw', 0)");
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, "
                           "CUST_INFO, DIAL_DATE, DIAL_TIME, COMM_TIME, IS_PRINT, IS_CALLBACK, "
                           "IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) VALUES (?, 'u1', ?, ?, ?, ?, "
                           "?, ?, ?, ?, '0', '0', ?, NULL)",
                           -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    for (int i = 0; i < records; ++i) {
        const bool request = i % 3 == 0;
        char time[16];
        snprintf(time, sizeof time, "%02d%02d%02d", (i / 3600) % 24, (i / 60) % 60, i % 60);
        const std::string phone = "0101234" + std::to_string(1000 + i % 9000);
        sqlite3_bind_int(stmt, 1, i % 2 == 0 ? kLoanService : kGeneralService);
        sqlite3_bind_text(stmt, 2, phone.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, phone.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 4, i % 4 == 0 ? "" : "12", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 5, kDay, -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 6, time, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 7, "00:35", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 8, request ? "0" : "1", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 9, request ? "1" : "0", -1, SQLITE_STATIC);
        // A memo that holds the row terminator pair, which must arrive rewritten.
        sqlite3_bind_text(stmt, 10, i == 0 ? "memo:;x" : "", -1, SQLITE_STATIC);
        if (sqlite3_step(stmt) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    Exec(db, "COMMIT");
}

int64_t CountRows(const std::string& path, const std::string& sql) {
    // Through an engine of its own: the text columns need the engine's collation.
    rdb::Error err;
    rdb::Engine::Options options;
    options.readOnly = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) throw std::runtime_error("cannot open " + path + ": " + err.message);
    sqlite3_stmt* stmt = nullptr;
    int64_t n = -1;
    if (sqlite3_prepare_v2(engine->Handle(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        n = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return n;
}

std::string NewRecordCountSql(int service) {
    const std::string tpl = std::string(sql::kSqlCountHead) + sql::kSqlCountTabs +
                            sql::kSqlCountMiddle + sql::kSqlCountTabs + sql::kSqlCountTail;
    return platform::StrFormat(tpl.c_str(), std::to_string(service).c_str(), kDay, kDay);
}

std::string UnprocessedLoanListSql(int service) {
    const std::string tpl = std::string(sql::kSqlLoanListPrefix) + sql::kSqlLoanUnprocessedTail;
    return platform::StrFormat(tpl.c_str(), std::to_string(service).c_str(), kDay, kDay) +
           sql::kSqlListOrder;
}

uint16_t UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

RawClient::RawClient(uint16_t port, int receiveBuffer) {
    std::string err;
    if (receiveBuffer <= 0) {
        socket_ = rdb::net::Socket::Connect("127.0.0.1", port, 5000, &err);
        return;
    }
    // A small receive window, set before connecting, makes a client that does not read
    // fill up quickly.
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return;
    }
    socket_ = rdb::net::Socket(fd);
}

bool RawClient::Send(const std::string& bytes) {
    std::string err;
    return socket_.SendAll(bytes.data(), bytes.size(), 5000, &err) == rdb::net::IoStatus::Ok;
}

bool RawClient::Handshake() {
    std::string hello;
    rdb::net::AppendHello(hello, rdb::net::HelloMsg{});
    if (!Send(hello)) return false;
    rdb::net::FrameDecoder d;
    rdb::net::FrameView f;
    while (d.Next(&f) == rdb::net::FrameDecoder::Status::NeedMore) {
        char buf[256];
        size_t got = 0;
        std::string err;
        if (socket_.RecvSome(buf, sizeof buf, 5000, &got, &err) != rdb::net::IoStatus::Ok)
            return false;
        d.Feed(buf, got);
    }
    rdb::net::HelloOkMsg ok;
    return rdb::net::ParseHelloOk(f, &ok);
}

bool RawClient::WaitClosed(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[64 * 1024];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        size_t got = 0;
        std::string err;
        switch (socket_.RecvSome(buf, sizeof buf, static_cast<int>(left), &got, &err)) {
            case rdb::net::IoStatus::Ok:
                continue;
            case rdb::net::IoStatus::Timeout:
                return false;
            case rdb::net::IoStatus::Closed:
            case rdb::net::IoStatus::Error:
                return true;
        }
    }
}

std::string RawClient::Read(size_t max, int timeoutMs) {
    std::string out(max, '\0');
    size_t got = 0;
    std::string err;
    if (socket_.RecvSome(out.data(), max, timeoutMs, &got, &err) != rdb::net::IoStatus::Ok)
        return {};
    out.resize(got);
    return out;
}

}  // namespace nettest
