// The TCP transport: same answers as the embedded engine, failures that come back quickly
// with the right codes, and a desk that survives the gateway going away and coming back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/RdbClient.h"
#include "rdb/client/TcpTransport.h"
#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Listener.h"
#include "rdb/net/Protocol.h"
#include "tests/rdb_net/net_test_util.h"
#include "tests/support/Fixture.h"
#include "tests/support/RdbdProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 600;

// Rows received by the process-wide callback of the C interface.
std::vector<std::string> g_rows;
std::vector<int32_t> g_requestIds;

int32_t CollectRow(int32_t, int32_t requestId, int32_t, const char* row) {
    g_rows.emplace_back(row);
    g_requestIds.push_back(requestId);
    return 1;
}

struct QueryResult {
    int32_t result = 0;
    int32_t rowCount = 0;
    int32_t code = 0;
    std::vector<std::string> rows;
};

QueryResult RunQuery(RDBHANDLE h, const std::string& sql) {
    g_rows.clear();
    g_requestIds.clear();
    RDBSetEventCallBackFN(CollectRow);
    QueryResult r;
    RDB_ERROR err{};
    r.result = RDBQueryRecord(h, "NEW_ACS", 7, sql.c_str(), &r.rowCount, &err);
    r.code = err.nCode;
    r.rows = g_rows;
    return r;
}

struct FirstResult {
    int32_t result = 0;
    int32_t code = 0;
    std::string row;
};

FirstResult RunFirst(RDBHANDLE h, const std::string& sql) {
    FirstResult r;
    char buf[RDB_FIRST_RECORD_SIZE] = {};
    RDB_ERROR err{};
    r.result = RDBQueryFirstRecord(h, "NEW_ACS", sql.c_str(), buf, &err);
    r.code = err.nCode;
    if (r.result > 0 && r.code == 0) r.row = buf;
    return r;
}

int64_t ElapsedMs(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class TcpTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        db_ = dir_.File("net.db");
        nettest::CreateNetTestDatabase(db_, kRecords);
    }

    TempDir dir_;
    std::string db_;
    RdbdProcess gateway_;
};

TEST_F(TcpTransportTest, AnswersAsTheEmbeddedEngineDoes) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    const RDBHANDLE local = RDBServerOpen(("file:" + db_).c_str(), "8907");
    const RDBHANDLE remote = RDBServerOpen(gateway_.Address().c_str(), "8907");
    ASSERT_GT(local, 0);
    ASSERT_GT(remote, 0);

    const std::vector<std::string> statements = {
        nettest::UnprocessedLoanListSql(nettest::kLoanService),
        nettest::NewRecordCountSql(nettest::kLoanService),
        "select SVC_ID, SVC_NM, NULL from SERVICE_INFO order by SVC_ID",
        "select ACS_ID from RST_INB where 1 = 0",
        "selec broken",
        "select NO_COLUMN from RST_INB",
    };
    for (const std::string& sql : statements) {
        SCOPED_TRACE(sql);
        const QueryResult a = RunQuery(local, sql);
        const QueryResult b = RunQuery(remote, sql);
        EXPECT_EQ(a.result, b.result);
        EXPECT_EQ(a.rowCount, b.rowCount);
        EXPECT_EQ(a.code, b.code);
        EXPECT_EQ(a.rows, b.rows);
        EXPECT_EQ(g_requestIds, std::vector<int32_t>(b.rows.size(), 7));

        const FirstResult fa = RunFirst(local, sql);
        const FirstResult fb = RunFirst(remote, sql);
        EXPECT_EQ(fa.result, fb.result);
        EXPECT_EQ(fa.code, fb.code);
        EXPECT_EQ(fa.row, fb.row);
    }

    // The loan list really came through: all unprocessed requests of the service, in
    // order, the memo's ":;" rewritten so that it adds no field.
    const QueryResult list =
        RunQuery(remote, nettest::UnprocessedLoanListSql(nettest::kLoanService));
    ASSERT_EQ(list.result, 1);
    ASSERT_EQ(list.rowCount, (kRecords + 5) / 6);
    ASSERT_EQ(list.rows.size(), static_cast<size_t>(list.rowCount));
    EXPECT_NE(list.rows[0].find("memo: ;x:;"), std::string::npos) << list.rows[0];
    EXPECT_EQ(list.rows[0].rfind("1:;", 0), 0u) << list.rows[0];

    const QueryResult bad = RunQuery(remote, "selec broken");
    EXPECT_EQ(bad.result, 0);
    EXPECT_GT(bad.code, 0) << "an engine error keeps the engine's own code";

    for (const char* sql :
         {"update RST_INB set COMMENT = 'x' where ACS_ID = 2", "update NO_TABLE set A = 1"}) {
        SCOPED_TRACE(sql);
        RDB_ERROR ea{};
        RDB_ERROR eb{};
        EXPECT_EQ(RDBExecuteSQL(local, "NEW_ACS", sql, &ea),
                  RDBExecuteSQL(remote, "NEW_ACS", sql, &eb));
        EXPECT_EQ(ea.nCode, eb.nCode);
    }
}

TEST_F(TcpTransportTest, DeadPortFailsFastWithConnectCodes) {
    const uint16_t port = nettest::UnusedPort();
    const RDBHANDLE h = RDBServerOpen("127.0.0.1", std::to_string(port).c_str());
    ASSERT_GT(h, 0) << "the handle stands for the address, not a live connection";

    auto start = Clock::now();
    RDB_ERROR err{};
    const int32_t exec = RDBExecuteSQL(h, "NEW_ACS", "update RST_INB set COMMENT = ''", &err);
    EXPECT_LT(exec, 0);
    EXPECT_EQ(exec, RDB_E_CONNECT);
    EXPECT_EQ(err.nCode, RDB_E_CONNECT);
    EXPECT_NE(std::string(err.szMessage).find(std::to_string(port)), std::string::npos)
        << err.szMessage;

    const QueryResult q = RunQuery(h, "select 1");
    EXPECT_LE(q.result, 0);
    EXPECT_LT(q.code, 0);
    EXPECT_TRUE(q.rows.empty());

    const FirstResult f = RunFirst(h, "select 1");
    EXPECT_LE(f.result, 0);
    EXPECT_LT(f.code, 0);
    EXPECT_LT(ElapsedMs(start), 2000);
}

TEST_F(TcpTransportTest, DeskStartedBeforeTheServerWorksOnceItIsUp) {
    const uint16_t port = nettest::UnusedPort();
    const RDBHANDLE h = RDBServerOpen(("127.0.0.1:" + std::to_string(port)).c_str(), "8907");
    ASSERT_GT(h, 0);
    EXPECT_LE(RunFirst(h, nettest::NewRecordCountSql(nettest::kLoanService)).result, 0);

    ASSERT_TRUE(gateway_.Start(db_, port)) << gateway_.ErrorText();
    const FirstResult f = RunFirst(h, nettest::NewRecordCountSql(nettest::kLoanService));
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.code, 0);
    EXPECT_EQ(f.row, std::to_string((kRecords + 5) / 6) + ":;");
}

TEST_F(TcpTransportTest, GatewayRestartIsInvisibleToAConnectedDesk) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    const RDBHANDLE h = RDBServerOpen(gateway_.Address().c_str(), "8907");
    const std::string count = nettest::NewRecordCountSql(nettest::kLoanService);
    ASSERT_EQ(RunFirst(h, count).result, 1);

    // Stopped and started again between two calls: the next call just works.
    ASSERT_TRUE(gateway_.Stop()) << gateway_.ErrorText() << gateway_.LogText();
    ASSERT_TRUE(gateway_.Restart()) << gateway_.ErrorText();
    RDB_ERROR err{};
    EXPECT_EQ(RDBExecuteSQL(h, "NEW_ACS",
                            "update RST_INB set COMMENT = 'after restart' where ACS_ID = 1", &err),
              1)
        << err.szMessage;
    EXPECT_EQ(
        nettest::CountRows(db_, "select count(*) from RST_INB where COMMENT = 'after restart'"), 1);

    // A call while the gateway is down fails with a reach code, the one after it is back
    // succeeds.
    ASSERT_TRUE(gateway_.Stop());
    const auto start = Clock::now();
    EXPECT_LT(RDBExecuteSQL(h, "NEW_ACS", "update RST_INB set COMMENT = ''", &err), 0);
    EXPECT_LT(ElapsedMs(start), 2000);
    ASSERT_TRUE(gateway_.Restart()) << gateway_.ErrorText();
    EXPECT_EQ(RunFirst(h, count).result, 1);
}

TEST_F(TcpTransportTest, KilledGatewayIsReconnectedAfterItsRestart) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    rdb::TcpTransport desk("127.0.0.1", gateway_.Port());
    std::string row;
    RDB_ERROR err{};
    ASSERT_EQ(desk.QueryFirst("NEW_ACS", "select 1", &row, &err), 1);
    gateway_.Kill();
    ASSERT_TRUE(gateway_.Restart()) << gateway_.ErrorText();
    EXPECT_EQ(desk.QueryFirst("NEW_ACS", "select 2", &row, &err), 1) << err.szMessage;
    EXPECT_EQ(row, "2:;");
}

TEST_F(TcpTransportTest, NestedCallFromARowCallback) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    rdb::TcpTransport desk("127.0.0.1", gateway_.Port());
    int nested = 0;
    int rows = 0;
    int32_t count = 0;
    RDB_ERROR err{};
    const int32_t r = desk.Query(
        "NEW_ACS", "select SVC_ID from SERVICE_INFO order by SVC_ID",
        [&](int32_t, const std::string& row) {
            ++rows;
            std::string inner;
            RDB_ERROR innerErr{};
            if (desk.QueryFirst("NEW_ACS",
                                "select SVC_TYPE from SERVICE_INFO where SVC_ID = " +
                                    row.substr(0, row.find(':')),
                                &inner, &innerErr) == 1 &&
                innerErr.nCode == 0)
                ++nested;
        },
        &count, &err);
    EXPECT_EQ(r, 1) << err.szMessage;
    EXPECT_EQ(count, 2);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(nested, 2);
}

TEST_F(TcpTransportTest, LimitsOnStatementAndRowSize) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    rdb::TcpTransport desk("127.0.0.1", gateway_.Port());
    RDB_ERROR err{};
    const std::string huge = "select '" + std::string(rdb::net::kMaxFrameSize, 'x') + "'";
    EXPECT_EQ(desk.Execute("NEW_ACS", huge, &err), RDB_E_PROTOCOL);
    EXPECT_EQ(err.nCode, RDB_E_PROTOCOL);

    // A row that cannot travel in one frame fails its call, not the connection.
    int32_t count = 0;
    const int32_t r = desk.Query("NEW_ACS", "select hex(zeroblob(9000000))", nullptr, &count, &err);
    EXPECT_LE(r, 0);
    EXPECT_EQ(err.nCode, RDB_E_PROTOCOL) << err.szMessage;
    std::string row;
    EXPECT_EQ(desk.QueryFirst("NEW_ACS", "select 3", &row, &err), 1);
    EXPECT_EQ(row, "3:;");
}

TEST_F(TcpTransportTest, ConnectionsBeyondTheLimitAreRefusedUntilOneLeaves) {
    ASSERT_TRUE(gateway_.Start(db_, 0, {"--max-clients", "2"})) << gateway_.ErrorText();
    rdb::TcpTransport first("127.0.0.1", gateway_.Port());
    rdb::TcpTransport second("127.0.0.1", gateway_.Port());
    rdb::TcpTransport third("127.0.0.1", gateway_.Port());
    RDB_ERROR err{};
    ASSERT_EQ(first.Execute("NEW_ACS", "update RST_INB set COMMENT = '' where ACS_ID = 1", &err),
              1);
    ASSERT_EQ(second.Execute("NEW_ACS", "update RST_INB set COMMENT = '' where ACS_ID = 1", &err),
              1);
    EXPECT_EQ(third.Execute("NEW_ACS", "update RST_INB set COMMENT = '' where ACS_ID = 1", &err),
              RDB_E_CONNECT);
    first.Disconnect();
    int32_t r = 0;
    for (int i = 0; i < 100 && r != 1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        r = third.Execute("NEW_ACS", "update RST_INB set COMMENT = '' where ACS_ID = 1", &err);
    }
    EXPECT_EQ(r, 1) << err.szMessage;
    EXPECT_NE(gateway_.LogText().find("limit of 2 connections reached"), std::string::npos);
}

TEST_F(TcpTransportTest, StopsPromptlyWhileServingAndIdling) {
    ASSERT_TRUE(gateway_.Start(db_)) << gateway_.ErrorText();
    // One desk idle, one client stuck on a large reply it does not read.
    rdb::TcpTransport idle("127.0.0.1", gateway_.Port());
    RDB_ERROR err{};
    ASSERT_EQ(idle.Execute("NEW_ACS", "update RST_INB set COMMENT = '' where ACS_ID = 1", &err), 1);
    nettest::RawClient stuck(gateway_.Port(), 4096);
    ASSERT_TRUE(stuck.Handshake());
    std::string query;
    rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS",
                                    "select a.ACS_ID, b.RECV_PHONE from RST_INB a join RST_INB b"});
    ASSERT_TRUE(stuck.Send(query));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    EXPECT_TRUE(gateway_.Stop()) << gateway_.ErrorText();
    EXPECT_LT(ElapsedMs(start), 3000);
    EXPECT_NE(gateway_.LogText().find("gateway shutting down"), std::string::npos)
        << gateway_.LogText();
}

TEST(TcpTransportTimeouts, EnvironmentOverridesTheDefaults) {
    EXPECT_EQ(rdb::TcpTransport::TimeoutsFromEnvironment().ioMs, 10000);
    setenv("RDB_TIMEOUT_MS", "250", 1);
    const auto t = rdb::TcpTransport::TimeoutsFromEnvironment();
    unsetenv("RDB_TIMEOUT_MS");
    EXPECT_EQ(t.connectMs, 250);
    EXPECT_EQ(t.ioMs, 250);
    setenv("RDB_TIMEOUT_MS", "junk", 1);
    EXPECT_EQ(rdb::TcpTransport::TimeoutsFromEnvironment().ioMs, 10000);
    unsetenv("RDB_TIMEOUT_MS");
}

// A stand-in gateway that follows a script, for server faults the real one never commits.
class FakeGateway {
public:
    using Script = std::function<void(rdb::net::Socket&, rdb::net::FrameDecoder&)>;

    explicit FakeGateway(Script script) : script_(std::move(script)) {
        std::string err;
        listener_ = rdb::net::Listener::Bind("127.0.0.1", 0, 16, &err);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FakeGateway() {
        stop_ = true;
        thread_.join();
    }
    uint16_t Port() const { return listener_.Port(); }

    // Reads one frame (or gives up after 5 s).
    static bool ReadFrame(rdb::net::Socket& s, rdb::net::FrameDecoder& d, rdb::net::FrameView* f) {
        while (d.Next(f) == rdb::net::FrameDecoder::Status::NeedMore) {
            char buf[4096];
            size_t got = 0;
            std::string err;
            if (s.RecvSome(buf, sizeof buf, 5000, &got, &err) != rdb::net::IoStatus::Ok)
                return false;
            d.Feed(buf, got);
        }
        return !d.Failed();
    }
    static void Send(rdb::net::Socket& s, const std::string& bytes) {
        std::string err;
        s.SendAll(bytes.data(), bytes.size(), 5000, &err);
    }
    // Answers the handshake and reads the request; returns its id.
    static uint32_t Greet(rdb::net::Socket& s, rdb::net::FrameDecoder& d) {
        rdb::net::FrameView f;
        if (!ReadFrame(s, d, &f)) return 0;
        std::string ok;
        rdb::net::AppendHelloOk(ok, {});
        Send(s, ok);
        if (!ReadFrame(s, d, &f)) return 0;
        rdb::net::RequestMsg req;
        return rdb::net::ParseRequest(f, &req) ? req.requestId : 0;
    }

private:
    void Serve() {
        while (!stop_) {
            rdb::net::Socket s;
            std::string err;
            if (listener_.Accept(&s, &err) != rdb::net::IoStatus::Ok) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            rdb::net::FrameDecoder d;
            script_(s, d);
        }
    }

    Script script_;
    rdb::net::Listener listener_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

// Short waits for replies; connecting keeps room for a slow, busy machine.
rdb::TcpTransport::Timeouts Short() {
    rdb::TcpTransport::Timeouts t;
    t.connectMs = 2000;
    t.ioMs = 300;
    return t;
}

TEST(TcpTransportFaults, ServerThatNeverAnswersTheHandshake) {
    std::string err;
    // Listening without ever accepting: the connection completes in the backlog.
    rdb::net::Listener silent = rdb::net::Listener::Bind("127.0.0.1", 0, 16, &err);
    rdb::TcpTransport desk("127.0.0.1", silent.Port());
    rdb::TcpTransport::Timeouts t = Short();
    t.connectMs = 300;
    desk.SetTimeouts(t);
    RDB_ERROR rerr{};
    const auto start = Clock::now();
    EXPECT_EQ(desk.Execute("NEW_ACS", "select 1", &rerr), RDB_E_CONNECT);
    EXPECT_LT(ElapsedMs(start), 2000);
    EXPECT_NE(std::string(rerr.szMessage).find("handshake"), std::string::npos) << rerr.szMessage;
}

TEST(TcpTransportFaults, ServerThatHangsAfterTheRequest) {
    FakeGateway fake([](rdb::net::Socket& s, rdb::net::FrameDecoder& d) {
        FakeGateway::Greet(s, d);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    rdb::TcpTransport desk("127.0.0.1", fake.Port());
    desk.SetTimeouts(Short());
    RDB_ERROR err{};
    int32_t count = 0;
    const auto start = Clock::now();
    EXPECT_EQ(desk.Query("NEW_ACS", "select 1", nullptr, &count, &err), RDB_E_TIMEOUT);
    EXPECT_EQ(err.nCode, RDB_E_TIMEOUT);
    EXPECT_LT(ElapsedMs(start), 2000);
}

TEST(TcpTransportFaults, ServerThatClosesInTheMiddleOfAReply) {
    FakeGateway fake([](rdb::net::Socket& s, rdb::net::FrameDecoder& d) {
        FakeGateway::Greet(s, d);
        std::string rows;
        rdb::net::AppendRow(rows, 1, "a:;");
        rdb::net::AppendRow(rows, 1, "b:;");
        FakeGateway::Send(s, rows);
    });
    rdb::TcpTransport desk("127.0.0.1", fake.Port());
    desk.SetTimeouts(Short());
    std::vector<std::string> got;
    RDB_ERROR err{};
    int32_t count = 0;
    EXPECT_EQ(desk.Query(
                  "NEW_ACS", "select x", [&](int32_t, const std::string& r) { got.push_back(r); },
                  &count, &err),
              RDB_E_DISCONNECTED);
    EXPECT_EQ(got, (std::vector<std::string>{"a:;", "b:;"}));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(err.nCode, RDB_E_DISCONNECTED);
}

TEST(TcpTransportFaults, MalformedOrOutOfStepReplies) {
    struct Case {
        const char* name;
        std::function<std::string(uint32_t id)> reply;
    } cases[] = {
        {"negative length", [](uint32_t) { return std::string("\xFF\xFF\xFF\xF0\x21", 5); }},
        {"wrong request id",
         [](uint32_t id) {
             std::string s;
             rdb::net::AppendDone(s, {id + 1, 0});
             return s;
         }},
        {"row count mismatch",
         [](uint32_t id) {
             std::string s;
             rdb::net::AppendDone(s, {id, 5});
             return s;
         }},
        {"handshake frame mid-call",
         [](uint32_t) {
             std::string s;
             rdb::net::AppendHelloOk(s, {});
             return s;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeGateway fake([&c](rdb::net::Socket& s, rdb::net::FrameDecoder& d) {
            const uint32_t id = FakeGateway::Greet(s, d);
            FakeGateway::Send(s, c.reply(id));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
        rdb::TcpTransport desk("127.0.0.1", fake.Port());
        desk.SetTimeouts(Short());
        RDB_ERROR err{};
        int32_t count = 0;
        EXPECT_EQ(desk.Query("NEW_ACS", "select 1", nullptr, &count, &err), RDB_E_PROTOCOL);
        EXPECT_EQ(err.nCode, RDB_E_PROTOCOL);
    }
}

}  // namespace

namespace {

// An UPDATE that reached the gateway may have been applied: after the link drops it must not
// be sent again, or it could be applied twice.
TEST(TcpTransportFaults, RequestIsNeverResentOnceTheGatewayHasReadIt) {
    std::mutex mutex;
    std::vector<std::string> seen;  // every request read, on any connection
    FakeGateway fake([&](rdb::net::Socket& s, rdb::net::FrameDecoder& d) {
        rdb::net::FrameView f;
        if (!FakeGateway::ReadFrame(s, d, &f)) return;
        std::string reply;
        rdb::net::AppendHelloOk(reply, {});
        FakeGateway::Send(s, reply);
        // Answers the first request of the connection, reads the next and hangs up.
        for (int n = 0; n < 2; ++n) {
            rdb::net::RequestMsg req;
            if (!FakeGateway::ReadFrame(s, d, &f) || !rdb::net::ParseRequest(f, &req)) return;
            {
                std::lock_guard<std::mutex> lock(mutex);
                seen.emplace_back(req.sql);
            }
            if (n == 0) {
                reply.clear();
                rdb::net::AppendDone(reply, {req.requestId, 1});
                FakeGateway::Send(s, reply);
            }
        }
    });
    rdb::TcpTransport desk("127.0.0.1", fake.Port());
    desk.SetTimeouts(Short());
    RDB_ERROR err{};
    ASSERT_EQ(desk.Execute("NEW_ACS", "update RST_INB set IS_PRINT = '1' where ACS_ID = 1 ", &err), 1);
    const std::string second = "update RST_INB set AGENT_NM = '김상담' where ACS_ID = 2 ";
    EXPECT_LT(desk.Execute("NEW_ACS", second, &err), 0);
    EXPECT_EQ(err.nCode, RDB_E_DISCONNECTED) << err.szMessage;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), second), 1) << "the request was sent again";
}

}  // namespace
