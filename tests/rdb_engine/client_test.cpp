// The five client calls (and the Ex variant) over the embedded engine.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "data/Queries.h"
#include "data/RdbClient.h"
#include "data/RecordTokenizer.h"
#include "rdb/client/Transport.h"
#include "rdb/engine/Engine.h"
#include "tests/support/Fixture.h"

namespace {

constexpr const char* kDb = "NEW_ACS";

struct Delivered {
    int32_t unused;
    int32_t requestId;
    int32_t columns;
    std::string row;
};

// The callback has no context; each thread collects its own rows.
thread_local std::vector<Delivered>* t_rows = nullptr;

int32_t Collect(int32_t unused, int32_t requestId, int32_t columns, const char* row) {
    if (t_rows != nullptr) t_rows->push_back({unused, requestId, columns, row});
    return 1;
}

class Client : public ::testing::Test {
protected:
    void SetUp() override {
        address_ = "file:" + dir_.File("client.db");
        rdb::Error made;
        ASSERT_TRUE(rdb::InitDatabase(dir_.File("client.db"), nullptr, &made)) << made.message;
        h_ = RDBServerOpen(address_.c_str(), "8907");
        ASSERT_GT(h_, 0);
        Execute("insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('demo', '데모', 'pw')");
        Execute("insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE) values (1, 'S', 'demo', 2)");
        Execute("insert into RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, COMMENT, AGENT_NM) "
                "values (1, 'demo', '20261201', '090000', 'a:;b', NULL)");
        Execute("insert into RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, COMMENT, AGENT_NM) "
                "values (1, 'demo', '20261201', '100000', ':;:;', '김상담')");
        Execute("insert into RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, COMMENT, AGENT_NM) "
                "values (1, 'demo', '20261202', '080000', NULL, '')");
        t_rows = &rows_;
        RDBSetEventCallBackFN(&Collect);
    }
    void TearDown() override { t_rows = nullptr; }

    void Execute(const std::string& sql) {
        RDB_ERROR err{};
        ASSERT_EQ(RDBExecuteSQL(h_, kDb, sql.c_str(), &err), 1) << err.nCode << " " << err.szMessage;
    }

    TempDir dir_;
    std::string address_;
    RDBHANDLE h_ = 0;
    std::vector<Delivered> rows_;
};

TEST_F(Client, QueryRecordDeliversEveryRowBeforeReturning) {
    int32_t count = -1;
    RDB_ERROR err{};
    const int32_t rc = RDBQueryRecord(h_, kDb, 77,
                                      "select ACS_ID, COMMENT, AGENT_NM, DIAL_DATE from RST_INB order by DIAL_DATE, DIAL_TIME",
                                      &count, &err);
    ASSERT_GT(rc, 0) << err.szMessage;
    EXPECT_EQ(count, 3);
    ASSERT_EQ(rows_.size(), 3u);
    for (const Delivered& d : rows_) {
        EXPECT_EQ(d.unused, 0);
        EXPECT_EQ(d.requestId, 77);
        EXPECT_EQ(d.columns, 4);
        // ":;" inside a value never adds a field; NULL is an empty field.
        EXPECT_EQ(CRecordTokenizer(d.row.c_str()).GetCount(), 4) << d.row;
    }
    EXPECT_EQ(rows_[0].row, "1:;a: ;b:;:;20261201:;");
    EXPECT_EQ(rows_[1].row, "2:;: ;: ;:;김상담:;20261201:;");
    EXPECT_EQ(rows_[2].row, "3:;:;:;20261202:;");

    // A statement without rows succeeds with a count of 0.
    rows_.clear();
    count = -1;
    EXPECT_GT(RDBQueryRecord(h_, kDb, 0, "select * from RST_INB where 1 = 0", &count, &err), 0);
    EXPECT_EQ(count, 0);
    EXPECT_GT(RDBQueryRecord(h_, kDb, 0, "update RST_INB set IS_PRINT = '1' where ACS_ID = 3 ", &count, &err), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(rows_.empty());
}

TEST_F(Client, QueryRecordFailureFillsTheRecord) {
    int32_t count = -1;
    RDB_ERROR err{};
    EXPECT_LE(RDBQueryRecord(h_, kDb, 0, "select * from NOPE", &count, &err), 0);
    EXPECT_EQ(err.nCode, 1);
    EXPECT_STREQ(err.szMessage, "no such table: NOPE");
    EXPECT_EQ(count, 0);
}

TEST_F(Client, FirstRecordStatuses) {
    char buf[RDB_FIRST_RECORD_SIZE];
    std::strcpy(buf, "before");
    RDB_ERROR err{};
    EXPECT_GT(RDBQueryFirstRecord(h_, kDb, "select count(*) as CNT from RST_INB", buf, &err), 0);
    EXPECT_EQ(err.nCode, 0);
    EXPECT_STREQ(buf, "3:;");

    std::strcpy(buf, "before");
    EXPECT_GT(RDBQueryFirstRecord(h_, kDb, "select * from RST_INB where ACS_ID = 99", buf, &err), 0);
    EXPECT_EQ(err.nCode, 1);
    EXPECT_STREQ(buf, "before");

    // An engine error whose code is 1 must not read as "no row".
    EXPECT_LE(RDBQueryFirstRecord(h_, kDb, "select * from NOPE", buf, &err), 0);
    EXPECT_EQ(err.nCode, 1);
    EXPECT_STREQ(err.szMessage, "no such table: NOPE");
    EXPECT_LE(RDBQueryFirstRecord(h_, kDb, "select (1", buf, &err), 0);
    EXPECT_EQ(err.nCode, rdb::kErrTranslate);
}

TEST_F(Client, LongFirstRecordIsCutAtAFieldBoundary) {
    const std::string a(2000, 'a'), b(2000, 'b'), c(2000, 'c');
    const std::string sql = "select '" + a + "', '" + b + "', '" + c + "'";
    char buf[RDB_FIRST_RECORD_SIZE + 16];
    std::memset(buf, 'Z', sizeof buf);
    RDB_ERROR err{};
    EXPECT_GT(RDBQueryFirstRecord(h_, kDb, sql.c_str(), buf, &err), 0);
    EXPECT_EQ(err.nCode, 0);
    EXPECT_EQ(std::string(buf), a + ":;" + b + ":;");
    EXPECT_EQ(buf[RDB_FIRST_RECORD_SIZE], 'Z');  // nothing beyond the classic buffer

    // The Ex variant tells the size and then delivers the whole row.
    int32_t needed = 0;
    char small[16];
    EXPECT_EQ(RDBQueryFirstRecordEx(h_, kDb, sql.c_str(), small, sizeof small, &needed, &err),
              RDB_FIRST_RECORD_TOO_SMALL);
    EXPECT_EQ(err.nCode, 0);
    EXPECT_EQ(needed, 6007);
    std::vector<char> big(static_cast<size_t>(needed));
    EXPECT_EQ(RDBQueryFirstRecordEx(h_, kDb, sql.c_str(), big.data(), needed, &needed, &err), 1);
    EXPECT_EQ(std::string(big.data()), a + ":;" + b + ":;" + c + ":;");
    EXPECT_EQ(RDBQueryFirstRecordEx(h_, kDb, "select 1 where 1 = 0", big.data(), needed, &needed, &err), 1);
    EXPECT_EQ(err.nCode, 1);
}

TEST_F(Client, ExecuteGivesOneOrZeroWithTheDatabaseErrorNamingTheFault) {
    RDB_ERROR err{};
    EXPECT_EQ(RDBExecuteSQL(h_, kDb, "update RST_INB set COMMENT = 'x' where ACS_ID = 1 ", &err), 1);
    EXPECT_EQ(RDBExecuteSQL(h_, kDb, "update RST_INB set NOPE = 'x' where ACS_ID = 1 ", &err), 0);
    EXPECT_EQ(err.nCode, 1);
    EXPECT_NE(std::string(err.szMessage).find("NOPE"), std::string::npos);
}

TEST_F(Client, KeyDifferingOnlyInCaseAndTrailingBlanksIsADuplicate) {
    RDB_ERROR err{};
    EXPECT_EQ(RDBExecuteSQL(h_, kDb, "insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('DEMO ', 'x', 'y')", &err), 0);
    EXPECT_EQ(err.nCode, 1555);  // the key compares without case and trailing blanks
}

TEST_F(Client, BadHandlesAndAddresses) {
    RDB_ERROR err{};
    int32_t count = 5;
    char buf[RDB_FIRST_RECORD_SIZE];
    EXPECT_LE(RDBQueryRecord(0, kDb, 0, "select 1", &count, &err), 0);
    EXPECT_EQ(err.nCode, RDB_E_BAD_HANDLE);
    EXPECT_LE(RDBQueryRecord(h_ + 1000, kDb, 0, "select 1", &count, &err), 0);
    EXPECT_LE(RDBQueryFirstRecord(-3, kDb, "select 1", buf, &err), 0);
    EXPECT_EQ(err.nCode, RDB_E_BAD_HANDLE);
    EXPECT_LT(RDBExecuteSQL(12345, kDb, "select 1", &err), 0);
    EXPECT_TRUE(rows_.empty());

    EXPECT_EQ(RDBServerOpen("file:", "8907"), 0);
    EXPECT_EQ(RDBServerOpen("file:/nonexistent-orvanta-dir/x.db", "8907"), 0);
    EXPECT_EQ(rdb::LastServerOpenError().nCode, RDB_E_OPEN);
    EXPECT_NE(std::string(rdb::LastServerOpenError().szMessage).find("/nonexistent-orvanta-dir/x.db"),
              std::string::npos);
    EXPECT_EQ(RDBServerOpen(nullptr, "8907"), 0);
    EXPECT_EQ(RDBServerOpen("host:notaport", "8907"), 0);

    // Null out-values are tolerated.
    EXPECT_GT(RDBQueryRecord(h_, kDb, 0, "select 1", nullptr, nullptr), 0);
    EXPECT_LE(RDBQueryRecord(h_, kDb, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_LE(RDBQueryFirstRecord(h_, kDb, "select 1", nullptr, &err), 0);
}

TEST_F(Client, ErrorTextIsCutToTheRecord) {
    RDB_ERROR err{};
    std::string longMessage(3000, 'x');
    longMessage[1002] = '\xEA';  // a three-byte character straddling the end
    longMessage[1003] = '\xB0';
    longMessage[1004] = '\x80';
    rdb::SetRdbError(&err, 7, longMessage);
    EXPECT_EQ(err.nCode, 7);
    EXPECT_EQ(std::strlen(err.szMessage), 1002u);
    rdb::SetRdbError(nullptr, 7, "ignored");
}

TEST_F(Client, ProcedureThroughTheClient) {
    Execute("insert into RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, IS_CALLBACK) values (1, 'demo', '20261201', '091000', '1')");
    int32_t count = 0;
    RDB_ERROR err{};
    ASSERT_GT(RDBQueryRecord(h_, kDb, 0, sql::CallbackRateSql("demo", "20261201", "20261201").c_str(), &count, &err), 0)
        << err.szMessage;
    ASSERT_EQ(count, 2);
    EXPECT_EQ(rows_[0].row, "1.S:;09시:;2:;1:;50.0%:;");
    EXPECT_EQ(rows_[0].columns, 5);
    EXPECT_EQ(rows_[1].row, "1.S:;10시:;1:;0:;0.0%:;");
}

// Several handles on several threads: each sees its own results, and the handle table
// and the process-wide callback hold up.
TEST_F(Client, HandlesOnSeveralThreads) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 40;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const RDBHANDLE h = RDBServerOpen(address_.c_str(), "8907");
            if (h <= 0) {
                ++failures;
                return;
            }
            std::vector<Delivered> mine;
            t_rows = &mine;
            for (int i = 0; i < kRounds; ++i) {
                RDB_ERROR err{};
                const std::string ins = "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('t" +
                                        std::to_string(t) + "', 'a" + std::to_string(i) + "', 'p', 1)";
                if (RDBExecuteSQL(h, kDb, ins.c_str(), &err) != 1) ++failures;
                mine.clear();
                int32_t count = 0;
                const std::string q = "select AGENT_NM from USER_AGENT_INFO where USER_ID = 't" + std::to_string(t) + "'";
                if (RDBQueryRecord(h, kDb, 1000 + t, q.c_str(), &count, &err) <= 0 || count != i + 1 ||
                    static_cast<int>(mine.size()) != i + 1 || mine.back().requestId != 1000 + t)
                    ++failures;
            }
            t_rows = nullptr;
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
