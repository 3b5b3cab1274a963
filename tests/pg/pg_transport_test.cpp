// The PostgreSQL transport when things go wrong: the server restarts, dies, hangs, refuses
// the password or runs a statement too long; and sixteen desks at once.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "rdb/client/PgTransport.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PgCluster.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Clock = std::chrono::steady_clock;
using rdb::PgTransport;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool PassThrough(std::string_view sql, rdb::Translation* out, std::string*) {
    out->kind = rdb::Translation::Kind::Statement;
    out->sql = std::string(sql);
    return true;
}

// A fresh database with the schema and one service whose CALLBACK_DIST counts updates.
std::string FreshDatabase() {
    static std::atomic<int> next{0};
    PgCluster& cluster = SharedPgCluster();
    const std::string name = "tx_" + std::to_string(++next);
    cluster.Exec("CREATE DATABASE " + name + " OWNER " + kDeskLogin);
    const std::string uri = cluster.TcpUri(name, kDeskLogin);
    std::string error, message;
    rdb::pg::ConnPtr conn = rdb::pg::Connect(uri, 30000, &error);
    if (!conn) throw std::runtime_error(error);
    if (rdb::pg::EnsureSchema(conn.get(), &message) != rdb::pg::InitResult::Created) throw std::runtime_error(message);
    if (!rdb::pg::Command(conn.get(),
                          "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, CALLBACK_DIST) VALUES (1, 'svc', 'demo', 0);"
                          "INSERT INTO USER_INFO VALUES ('demo', '데모', 'pw')",
                          &error))
        throw std::runtime_error(error);
    return uri;
}

std::string Value(const std::string& uri, const std::string& sql) {
    std::string error;
    rdb::pg::ConnPtr conn = rdb::pg::Connect(uri, 30000, &error);
    rdb::pg::ResultPtr r = conn ? rdb::pg::Exec(conn.get(), sql, {}, &error) : nullptr;
    if (!r || PQntuples(r.get()) == 0) return "<error " + error + ">";
    return PQgetvalue(r.get(), 0, 0);
}

constexpr char kBump[] = "update SERVICE_INFO set CALLBACK_DIST = CALLBACK_DIST + 1 where SVC_ID = 1";
constexpr char kCounter[] = "SELECT CALLBACK_DIST FROM SERVICE_INFO WHERE SVC_ID = 1";

// Listens but never answers: a server that hangs.
class SilentListener {
public:
    SilentListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 8);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() { close(fd_); }
    uint16_t Port() const { return port_; }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

TEST(PgTransport, UnreachableServerFailsWithANegativeCodeNamingIt) {
    EXPECT_EQ(PgTransport("postgresql://x@127.0.0.1:1/db", &PassThrough).GetLimits().connectMs, 10000);

    RDB_ERROR err{};
    {
        PgTransport t("postgresql://desk@127.0.0.1:9/orvanta", &PassThrough);  // nobody listens on 9
        const auto start = Clock::now();
        EXPECT_EQ(t.Execute("NEW_ACS", kBump, &err), RDB_E_CONNECT);
        EXPECT_EQ(err.nCode, RDB_E_CONNECT);
        EXPECT_LT(MsSince(start), 5000);
        EXPECT_NE(std::string(err.szMessage).find("desk@127.0.0.1:9/orvanta"), std::string::npos) << err.szMessage;
    }
    // A server that accepts the connection and never answers: the connect limit ends it.
    SilentListener silent;
    PgTransport t("postgresql://desk@127.0.0.1:" + std::to_string(silent.Port()) + "/orvanta", &PassThrough);
    PgTransport::Limits limits = t.GetLimits();
    limits.connectMs = 1500;
    t.SetLimits(limits);
    const auto start = Clock::now();
    std::string row;
    EXPECT_EQ(t.QueryFirst("NEW_ACS", "select 1", &row, &err), RDB_E_TIMEOUT);
    EXPECT_EQ(err.nCode, RDB_E_TIMEOUT);
    EXPECT_GE(MsSince(start), 1400);
    EXPECT_LT(MsSince(start), 4000);
}

// 0 would let a call wait for ever on a server that never answers: it means the default.
TEST(PgTransport, AStatementLimitOfZeroIsTheDefaultLimitNotNone) {
    const std::string uri = FreshDatabase();
    setenv("RDB_STATEMENT_TIMEOUT_MS", "0", 1);
    setenv("RDB_TIMEOUT_MS", "0", 1);
    PgTransport t(uri, &PassThrough);
    unsetenv("RDB_STATEMENT_TIMEOUT_MS");
    unsetenv("RDB_TIMEOUT_MS");
    EXPECT_EQ(t.GetLimits().statementMs, PgTransport::kDefaultStatementMs);
    EXPECT_EQ(t.GetLimits().connectMs, rdb::pg::kConnectTimeoutMs);
    RDB_ERROR err{};
    std::string row;
    ASSERT_EQ(t.QueryFirst("NEW_ACS", "show statement_timeout", &row, &err), 1) << err.szMessage;
    EXPECT_EQ(row, "30s:;");
    PgTransport::Limits limits = t.GetLimits();
    limits.statementMs = 0;
    t.SetLimits(limits);
    ASSERT_EQ(t.QueryFirst("NEW_ACS", "show statement_timeout", &row, &err), 1) << err.szMessage;
    EXPECT_EQ(row, "30s:;");
}

TEST(PgTransport, WrongPasswordSaysWhyAndNamesTheServerButNeverLogsThePassword) {
    PgCluster& cluster = SharedPgCluster();
    const std::string secret = "Wr0ng-Secret-771";
    const std::string port = std::to_string(cluster.Port());
    LogCapture log;
    platform::ScriptedMessages boxes;
    // The forms a password may take, and a scheme in capitals, which libpq would otherwise
    // take for a database name on its default server.
    for (const std::string& uri : {"postgresql://desk:" + secret + "@127.0.0.1:" + port + "/postgres",
                                   "postgres://desk@127.0.0.1:" + port + "/postgres?password=" + secret,
                                   "postgresql://desk:Pw?" + secret + "@127.0.0.1:" + port + "/postgres",
                                   "postgresql://desk@127.0.0.1:" + port + "/postgres?pass%77ord=" + secret,
                                   "POSTGRESQL://desk:" + secret + "@127.0.0.1:" + port + "/postgres"}) {
        EnvSession session(uri);
        RDB_ERROR err{};
        EXPECT_LT(RDBExecuteSQL(session.Env().m_hRdb, "NEW_ACS", kBump, &err), 0);
        const std::string message = err.szMessage;
        EXPECT_EQ(err.nCode, RDB_E_CONNECT);
        EXPECT_NE(message.find("desk@127.0.0.1:" + port + "/postgres"), std::string::npos) << message;
        EXPECT_NE(message.find("password authentication failed"), std::string::npos) << message;
        EXPECT_EQ(message.find(secret), std::string::npos) << message;
    }
    // Each open is logged, with the address as the desk shows it.
    EXPECT_EQ(log.Lines(), std::vector<std::string>(5, "[Orvanta]CKestrimEnv::RDBServerOpen IP(postgresql://desk@127.0.0.1:" +
                                                           port + "/postgres) PORT(8907)"));
    for (const std::string& line : log.Lines()) EXPECT_EQ(line.find(secret), std::string::npos) << line;
    EXPECT_EQ(cluster.LogText().find(secret), std::string::npos);
}

TEST(PgTransport, ServerRestartsAndCrashesMidSessionWithoutAnUpdateAppliedTwice) {
    PgCluster& cluster = SharedPgCluster();
    const std::string uri = FreshDatabase();
    EnvSession session(uri);
    RDB_ERROR err{};
    const RDBHANDLE h = session.Env().m_hRdb;
    ASSERT_EQ(RDBExecuteSQL(h, "NEW_ACS", kBump, &err), 1) << err.szMessage;
    ASSERT_TRUE(cluster.Restart("fast")) << cluster.ErrorText();
    ASSERT_EQ(RDBExecuteSQL(h, "NEW_ACS", kBump, &err), 1) << err.szMessage;
    EXPECT_EQ(Value(uri, kCounter), "2");
    // A crash: no goodbye from the server, only a closed socket.
    ASSERT_TRUE(cluster.Restart("immediate")) << cluster.ErrorText();
    char row[RDB_FIRST_RECORD_SIZE];
    ASSERT_EQ(RDBQueryFirstRecord(h, "NEW_ACS", "select CALLBACK_DIST from SERVICE_INFO where SVC_ID = 1", row, &err), 1)
        << err.szMessage;
    EXPECT_STREQ(row, "2:;");
    ASSERT_EQ(RDBExecuteSQL(h, "NEW_ACS", kBump, &err), 1) << err.szMessage;
    EXPECT_EQ(Value(uri, kCounter), "3");
}

TEST(PgTransport, AStatementCutOffOnTheServerIsNotSentAgain) {
    PgCluster& cluster = SharedPgCluster();
    const std::string uri = FreshDatabase();
    PgTransport t(uri, &PassThrough);
    RDB_ERROR err{};
    ASSERT_EQ(t.Execute("NEW_ACS", "select 1", &err), 1) << err.szMessage;
    // An administrator ends the desk's session while its update runs.
    std::thread killer([&] {
        for (int i = 0; i < 100; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!cluster.Rows("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                              "WHERE query LIKE '%pg_sleep(2)%' AND pid <> pg_backend_pid()")
                     .empty())
                return;
        }
    });
    const int32_t rc = t.Execute(
        "NEW_ACS", std::string(kBump) + " and (select true from pg_sleep(2))", &err);
    killer.join();
    EXPECT_EQ(rc, RDB_E_DISCONNECTED) << err.szMessage;
    EXPECT_EQ(err.nCode, RDB_E_DISCONNECTED);
    EXPECT_EQ(Value(uri, kCounter), "0");  // cut off, rolled back, and never sent again
    ASSERT_EQ(t.Execute("NEW_ACS", kBump, &err), 1) << err.szMessage;
    EXPECT_EQ(Value(uri, kCounter), "1");
}

TEST(PgTransport, TheServerStopsARunawayStatementAndTheDeskCarriesOn) {
    const std::string uri = FreshDatabase();
    // A procedure call takes the other road (bound arguments, pipelined limit).
    auto asCall = [](std::string_view sql, rdb::Translation* out, std::string*) {
        out->kind = rdb::Translation::Kind::Call;
        out->call.name = "PG_SLEEP";
        out->call.args = {std::string(sql)};
        out->call.argIsNull = {false};
        return true;
    };
    for (PgTransport::Translator translate : {&PassThrough, +asCall}) {
        PgTransport t(uri, translate);
        PgTransport::Limits limits = t.GetLimits();
        limits.statementMs = 400;
        t.SetLimits(limits);
        RDB_ERROR err{};
        int32_t rows = 0;
        const auto start = Clock::now();
        const std::string sql = translate == &PassThrough ? "select pg_sleep(5)" : "5";
        EXPECT_EQ(t.Query("NEW_ACS", sql, nullptr, &rows, &err), 0);
        EXPECT_EQ(err.nCode, rdb::pg::CodeFromSqlState("57014")) << err.szMessage;
        EXPECT_EQ(std::string(err.szMessage).rfind("57014: ", 0), 0u) << err.szMessage;
        EXPECT_LT(MsSince(start), 3000);
        // Quick statements still run, on the same connection.
        const std::string quick = translate == &PassThrough ? "select pg_sleep(0.05)" : "0.05";
        EXPECT_EQ(t.Query("NEW_ACS", quick, nullptr, &rows, &err), 1) << err.szMessage;
        EXPECT_EQ(rows, 1);
    }
}

TEST(PgTransport, SixteenDesksAtOnceLoseNoUpdate) {
    const std::string uri = FreshDatabase();
    constexpr int kDesks = 16;
    constexpr int kRounds = 12;
    {
        std::string error;
        rdb::pg::ConnPtr conn = rdb::pg::Connect(uri, 30000, &error);
        ASSERT_TRUE(conn) << error;
        ASSERT_TRUE(rdb::pg::Command(conn.get(),
                                     "INSERT INTO USER_AGENT_INFO (SEQ_NO, USER_ID, AGENT_NM, DIST_COUNT) "
                                     "SELECT g, 'demo', 'agent' || g, 0 FROM generate_series(1, 16) g;"
                                     "INSERT INTO RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, IS_CALLBACK) "
                                     "SELECT 1, 'demo', '20261201', '090000', '1' FROM generate_series(1, 200)",
                                     &error))
            << error;
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> desks;
    for (int d = 1; d <= kDesks; ++d) {
        desks.emplace_back([&, d] {
            const RDBHANDLE h = RDBServerOpen(uri.c_str(), "8907");
            RDB_ERROR err{};
            char row[RDB_FIRST_RECORD_SIZE];
            int32_t rows = 0;
            for (int i = 0; i < kRounds; ++i) {
                const std::string own = "update USER_AGENT_INFO set DIST_COUNT = DIST_COUNT + 1 where SEQ_NO = " +
                                        std::to_string(d);
                if (RDBQueryFirstRecord(h, "NEW_ACS",
                                        "select count(*) as CNT from RST_INB where SVC_ID = 1 and IS_PRINT = '0'", row,
                                        &err) <= 0 ||
                    RDBQueryRecord(h, "NEW_ACS", 0, "select ACS_ID from RST_INB where SVC_ID = 1 order by ACS_ID",
                                   &rows, &err) <= 0 ||
                    rows != 200 || RDBExecuteSQL(h, "NEW_ACS", own.c_str(), &err) != 1 ||
                    RDBExecuteSQL(h, "NEW_ACS", kBump, &err) != 1)
                    ++failures;
            }
        });
    }
    for (std::thread& t : desks) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Value(uri, kCounter), std::to_string(kDesks * kRounds));
    EXPECT_EQ(Value(uri, "SELECT count(*) FROM USER_AGENT_INFO WHERE DIST_COUNT = " + std::to_string(kRounds)),
              std::to_string(kDesks));
}

// A row callback that asks the database something of its own, as list views do.
RDBHANDLE g_handle = 0;
std::vector<std::string> g_seen;

int32_t NestingCallback(int32_t, int32_t, int32_t columns, const char* row) {
    char inner[RDB_FIRST_RECORD_SIZE];
    RDB_ERROR err{};
    const std::string sql = "select USER_NM from USER_INFO where USER_ID = 'demo'";
    const int32_t rc = RDBQueryFirstRecord(g_handle, "NEW_ACS", sql.c_str(), inner, &err);
    g_seen.push_back(std::to_string(columns) + "|" + row + "|" + (rc == 1 && err.nCode == 0 ? inner : "fail"));
    return 1;
}

TEST(PgTransport, RowsKeepQuotesAndTerminatorsAndACallbackMayCallBack) {
    const std::string uri = FreshDatabase();
    EnvSession session(uri);
    g_handle = session.Env().m_hRdb;
    RDB_ERROR err{};
    // Quotes, the terminator pair, a tab, a backslash, Hangul and a trailing blank.
    ASSERT_EQ(RDBExecuteSQL(g_handle, "NEW_ACS",
                            "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('q''1', 'it''s :; a\tb\\c 김 ', "
                            "null)",
                            &err),
              1)
        << err.szMessage;
    g_seen.clear();
    RDBSetEventCallBackFN(&NestingCallback);
    int32_t rows = 0;
    ASSERT_EQ(RDBQueryRecord(g_handle, "NEW_ACS", 0,
                             "select USER_ID, USER_NM, PASSWORD from USER_INFO order by USER_ID", &rows, &err),
              1)
        << err.szMessage;
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(g_seen, (std::vector<std::string>{"3|demo:;데모:;pw:;|데모:;",
                                                "3|q'1:;it's : ; a\tb\\c 김 :;:;|데모:;"}));
    // 0, 1 and many changed rows all succeed with 1; a database error is 0 with its SQLSTATE.
    EXPECT_EQ(RDBExecuteSQL(g_handle, "NEW_ACS", "update USER_INFO set PASSWORD = 'x' where USER_ID = 'none'", &err), 1);
    EXPECT_EQ(RDBExecuteSQL(g_handle, "NEW_ACS", "update USER_INFO set PASSWORD = 'x' where USER_ID = 'demo'", &err), 1);
    EXPECT_EQ(RDBExecuteSQL(g_handle, "NEW_ACS", "update USER_INFO set PASSWORD = 'x'", &err), 1);
    EXPECT_EQ(RDBExecuteSQL(g_handle, "NEW_ACS", "insert into USER_INFO (USER_ID) values ('DEMO ')", &err), 0);
    EXPECT_EQ(rdb::pg::SqlStateFromCode(err.nCode), "23505") << err.szMessage;  // the same user, by the collation
}

std::vector<std::string> Split(const std::string& row) {
    std::vector<std::string> out;
    for (size_t at = 0, next; (next = row.find(":;", at)) != std::string::npos; at = next + 2)
        out.push_back(row.substr(at, next - at));
    return out;
}

// The display functions and an order on their results, left to the desk, give the rows the
// server gives when it runs them itself: the same values, and the same sequence of keys
// (rows equal in every key may come either way).
TEST(PgTransport, ListsFormattedAndSortedOnTheDeskAsOnTheServer) {
    const std::string uri = FreshDatabase();
    std::string error;
    {
        rdb::pg::ConnPtr conn = rdb::pg::Connect(uri, 30000, &error);
        // A 10-digit number sorts before its 8-digit prefix once formatted; trailing blanks
        // make no difference to the order (the time decides between the two '2026120'
        // dates), and an unknown length stays as it is.
        ASSERT_TRUE(rdb::pg::Command(conn.get(),
                                     "INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, DIAL_DATE, DIAL_TIME) VALUES "
                                     "(1, 'demo', '0101234567', '20261201', '0900'),"
                                     "(1, 'demo', '01012345', '2026120 ', '0800'),"
                                     "(1, 'demo', '01012345 ', '2026120', '0930'),"
                                     "(1, 'demo', NULL, '20261202', '101500'),"
                                     "(1, 'demo', '0212345678', '20261130', '1015'),"
                                     "(1, 'demo', '15881234', '20261201', '09')",
                                     &error))
            << error;
    }
    auto desk = rdb::MakePgTransport(uri);
    PgTransport server(uri, &PassThrough);
    const auto rows = [](rdb::Transport& t, const std::string& sql) {
        std::vector<std::string> out;
        RDB_ERROR err{};
        int32_t n = 0;
        EXPECT_EQ(t.Query("", sql, [&](int32_t, const std::string& row) { out.push_back(row); }, &n, &err), 1)
            << err.szMessage << "\n" << sql;
        return out;
    };
    const std::string list = "select ACS_ID, dbo.F_FMT_TEL(RECV_PHONE) RECV_PHONE, dbo.F_FMT_DATE(DIAL_DATE)DIAL_DATE, "
                             "dbo.F_FMT_TIME(DIAL_TIME) as DIAL_TIME from RST_INB with(nolock) order by ";
    const std::string onServer = "SELECT ACS_ID, F_FMT_TEL(RECV_PHONE) AS RECV_PHONE, F_FMT_DATE(DIAL_DATE) AS "
                                 "DIAL_DATE, F_FMT_TIME(DIAL_TIME) AS DIAL_TIME FROM RST_INB ORDER BY ";
    const struct {
        const char* order;
        const char* serverOrder;
        std::vector<size_t> keys;
    } kOrders[] = {
        {"DIAL_DATE, DIAL_TIME", "DIAL_DATE NULLS FIRST, DIAL_TIME NULLS FIRST", {2, 3}},
        {"RECV_PHONE", "RECV_PHONE NULLS FIRST", {1}},
        {"RECV_PHONE desc, DIAL_DATE asc", "RECV_PHONE DESC NULLS LAST, DIAL_DATE NULLS FIRST", {1, 2}},
    };
    for (const auto& o : kOrders) {
        rdb::Translation t;
        ASSERT_TRUE(rdb::TranslateToPostgres(list + o.order, &t, &error));
        ASSERT_EQ(t.desk.order.size(), o.keys.size()) << "the order is the desk's: " << t.sql;
        const std::vector<std::string> got = rows(*desk, list + o.order);
        const std::vector<std::string> want = rows(server, onServer + o.serverOrder);
        ASSERT_EQ(got.size(), 6u);
        std::vector<std::string> gotKeys, wantKeys;
        for (size_t r = 0; r < got.size(); ++r) {
            for (size_t k : o.keys) {
                gotKeys.push_back(Split(got[r])[k]);
                wantKeys.push_back(Split(want[r])[k]);
            }
        }
        EXPECT_EQ(gotKeys, wantKeys) << o.order;
        std::vector<std::string> gotSet = got, wantSet = want;
        std::sort(gotSet.begin(), gotSet.end());
        std::sort(wantSet.begin(), wantSet.end());
        EXPECT_EQ(gotSet, wantSet) << o.order;
    }
    // The first row of a sorted list is the first in that order.
    std::string first;
    RDB_ERROR err{};
    ASSERT_EQ(desk->QueryFirst("", list + "RECV_PHONE desc", &first, &err), 1);
    EXPECT_EQ(Split(first)[1], "1588-1234");
}

TEST(PgErrorCodes, EverySqlStateHasItsOwnPositiveCode) {
    for (const char* state : {"42P01", "23505", "57014", "XX000", "08006", "HV00R", "ZZZZZ", "00001"}) {
        const int32_t code = rdb::pg::CodeFromSqlState(state);
        EXPECT_GT(code, 0) << state;
        EXPECT_EQ(rdb::pg::SqlStateFromCode(code), state);
    }
    EXPECT_EQ(rdb::pg::CodeFromSqlState("42P01"), 6844177);  // the figure the README gives operators
    EXPECT_EQ(rdb::pg::CodeFromSqlState("42p01"), rdb::pg::CodeFromSqlState("XX000"));  // malformed
    EXPECT_EQ(rdb::pg::CodeFromSqlState(""), rdb::pg::CodeFromSqlState("XX000"));
}

}  // namespace
