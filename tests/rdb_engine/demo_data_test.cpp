// The demo data set: determinism, content the desk's features need, and isolation of users.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "data/Queries.h"
#include "rdb/demo/DemoData.h"
#include "tests/rdb_engine/EngineTestUtil.h"

using enginetest::Fields;
using enginetest::OpenEngine;
using enginetest::Rows;

namespace {

// 15:30 local time on 8 December 2026.
std::time_t FixedNow() {
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 8;
    tm.tm_hour = 15;
    tm.tm_min = 30;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string One(rdb::Engine& e, const std::string& sql) {
    const auto rows = Rows(e, sql);
    return rows.empty() ? "<none>" : Fields(rows.at(0)).at(0);
}

int Int(rdb::Engine& e, const std::string& sql) { return std::stoi(One(e, sql)); }

// One full demo database (default size) for the whole binary.
class DemoData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        engine_ = OpenEngine(dir_->File("demo.db")).release();
        rdb::DemoOptions opt;
        opt.now = FixedNow();
        rdb::Error err;
        ASSERT_TRUE(rdb::FillDemoData(*engine_, opt, &err)) << err.message;
    }
    static void TearDownTestSuite() {
        delete engine_;
        delete dir_;
    }
    static TempDir* dir_;
    static rdb::Engine* engine_;
};

TempDir* DemoData::dir_ = nullptr;
rdb::Engine* DemoData::engine_ = nullptr;

TEST_F(DemoData, UsersServicesAndAgents) {
    rdb::Engine& e = *engine_;
    EXPECT_EQ(Rows(e, "select USER_ID, PASSWORD from USER_INFO where USER_ID = 'demo'"),
              std::vector<std::string>{"demo:;demo:;"});
    EXPECT_EQ(Int(e, "select count(*) from SERVICE_INFO where USER_ID = 'demo' and SVC_TYPE = 1"), 1);
    EXPECT_EQ(Int(e, "select count(*) from SERVICE_INFO where USER_ID = 'demo' and SVC_TYPE = 2"), 2);
    EXPECT_EQ(Int(e, "select count(*) from SERVICE_INFO where USER_ID = 'demo' and SVC_TYPE = 3"), 1);
    EXPECT_EQ(Int(e, "select max(CALLBACK_DIST) from SERVICE_INFO where USER_ID = 'demo' and SVC_TYPE in (1,2) group by USER_ID"), 1);
    EXPECT_GE(Int(e, "select count(*) from SERVICE_INFO where USER_ID = 'demo' and NO_REQ_DISP = 1"), 1);
    EXPECT_GE(Int(e, "select count(*) from SERVICE_INFO where USER_ID = 'demo' and CALLBACK_DIST = 0"), 1);
    EXPECT_EQ(Rows(e, "select AGENT_NM, PASSWORD from USER_AGENT_INFO where USER_ID = 'demo' order by SEQ_NO"),
              (std::vector<std::string>{"김상담:;1234:;", "이상담:;1234:;", "박상담:;1234:;"}));
    // The printed logins work with the login statements of the desk.
    for (int i = 0; i < rdb::kDemoLoginCount; ++i) {
        const std::string id = rdb::kDemoLogins[i].loginId;
        const size_t at = id.find('@');
        const std::string sql = at == std::string::npos ? sql::LoginSql(id, "")
                                                        : sql::LoginSql(id.substr(at + 1), id.substr(0, at));
        const auto rows = Rows(e, sql);
        ASSERT_EQ(rows.size(), 1u) << id;
        EXPECT_EQ(Fields(rows[0]).at(3), rdb::kDemoLogins[i].password);
    }
}

TEST_F(DemoData, RecordsCoverTheFeatures) {
    rdb::Engine& e = *engine_;
    const int total = Int(e, "select count(*) from RST_INB");
    EXPECT_GT(total, 4000);
    EXPECT_EQ(Int(e, "select count(distinct DIAL_DATE) from RST_INB"), 14);
    EXPECT_EQ(One(e, "select max(DIAL_DATE) from RST_INB"), "20261208");
    EXPECT_EQ(One(e, "select min(DIAL_DATE) from RST_INB"), "20261125");
    // Today's calls have all come in already.
    EXPECT_LE(One(e, "select max(DIAL_TIME) from RST_INB where DIAL_DATE = '20261208'"), "153000");
    EXPECT_GT(Int(e, "select count(*) from RST_INB where DIAL_DATE = '20261208' and USER_ID = 'demo' and "
                     "IS_CALLBACK = '1' and IS_PRINT = '0' and IS_DELETE = '0'"), 5);
    for (const char* cond : {"IS_CALLBACK = '1'", "IS_CALLBACK = '0'", "IS_PRINT = '1'", "IS_DELETE = '1'",
                             "RES_REPLY = '9'", "COMMENT is not null", "AGENT_NM is not null",
                             "AGENT_NM is null and IS_CALLBACK = '1'", "CUST_INFO = '12'", "CUST_INFO = ''",
                             "CALLER_ID = ''"}) {
        EXPECT_GT(Int(e, std::string("select count(*) from RST_INB where USER_ID = 'demo' and ") + cond), 0) << cond;
    }
    // Numbers are stored as digits only and every one of them has a display form.
    for (const std::string& row : Rows(e, "select RECV_PHONE, CALLER_ID from RST_INB")) {
        for (const std::string& number : Fields(row))
            ASSERT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << row;
    }
    EXPECT_EQ(Int(e, "select count(*) from RST_INB where F_FMT_TEL(RECV_PHONE) = RECV_PHONE"), 0);
    EXPECT_EQ(Int(e, "select count(*) from RST_INB where length(DIAL_TIME) <> 6 or length(DIAL_DATE) <> 8"), 0);
    // Handed-out requests name an agent of the record's own user.
    EXPECT_EQ(Int(e, "select count(*) from RST_INB r where AGENT_NM is not null and not exists "
                     "(select 1 from USER_AGENT_INFO a where a.USER_ID = r.USER_ID and a.AGENT_NM = r.AGENT_NM)"), 0);
    EXPECT_EQ(Int(e, "select count(*) from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID "
                     "where r.AGENT_NM is not null and s.CALLBACK_DIST <> 1"), 0);
}

TEST_F(DemoData, UsersAreIsolated) {
    rdb::Engine& e = *engine_;
    EXPECT_GT(Int(e, "select count(*) from RST_INB where USER_ID = 'other'"), 0);
    EXPECT_EQ(Int(e, "select count(*) from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID "
                     "where r.USER_ID <> s.USER_ID"), 0);
    for (const std::string& row : Rows(e, sql::CallbackRateSql("demo", "20261125", "20261208")))
        EXPECT_EQ(row.rfind("100", 0), 0u) << row;  // demo services are 100x
    for (const std::string& row : Rows(e, sql::DistStatusSql("demo", "20261125", "20261208")))
        EXPECT_EQ(row.find("정상담"), std::string::npos) << row;
    // The other user's agent of the same name sees only that user's requests.
    const int otherKim = Int(e, "select count(*) from RST_INB where USER_ID = 'other' and AGENT_NM = '김상담'");
    const int demoKim = Int(e, "select count(*) from RST_INB where USER_ID = 'demo' and AGENT_NM = '김상담'");
    EXPECT_GT(otherKim, 0);
    EXPECT_GT(demoKim, 0);
    EXPECT_EQ(Int(e, "select count(*) from RST_INB where SVC_ID = 1001 and AGENT_NM = '김상담'") +
                  Int(e, "select count(*) from RST_INB where SVC_ID = 1002 and AGENT_NM = '김상담'"),
              demoKim);
}

TEST_F(DemoData, FillingAgainChangesNothing) {
    const int before = Int(*engine_, "select count(*) from RST_INB");
    rdb::DemoOptions opt;
    opt.now = FixedNow();
    rdb::Error err;
    EXPECT_TRUE(rdb::FillDemoData(*engine_, opt, &err));
    EXPECT_EQ(Int(*engine_, "select count(*) from RST_INB"), before);
}

TEST_F(DemoData, FeedAddsUnprocessedRequestsOfToday) {
    rdb::Engine& e = *engine_;
    rdb::Error err;
    const int64_t first = rdb::FeedOneRequest(e, 1, &err);
    const int64_t second = rdb::FeedOneRequest(e, 2, &err);
    ASSERT_GT(first, 0) << err.message;
    EXPECT_GT(second, first);
    char today[16];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(today, sizeof today, "%Y%m%d", &tm);
    const auto rows = Rows(e, "select r.DIAL_DATE, r.IS_CALLBACK, r.IS_PRINT, r.IS_DELETE, s.USER_ID, s.SVC_TYPE, "
                              "r.AGENT_NM from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID where ACS_ID in (" +
                              std::to_string(first) + ", " + std::to_string(second) + ")");
    ASSERT_EQ(rows.size(), 2u);
    for (const std::string& row : rows) {
        const auto f = Fields(row);
        EXPECT_EQ(f[0], today);
        EXPECT_EQ(f[1] + f[2] + f[3], "100");
        EXPECT_EQ(f[4], "demo");
        EXPECT_TRUE(f[5] == "1" || f[5] == "2") << row;
        EXPECT_EQ(f[6], "");
    }
}

std::vector<std::string> Dump(const std::string& path, uint32_t seed) {
    auto e = OpenEngine(path);
    rdb::DemoOptions opt;
    opt.days = 3;
    opt.recordsPerDay = 150;
    opt.seed = seed;
    opt.now = FixedNow();
    rdb::Error err;
    EXPECT_TRUE(rdb::FillDemoData(*e, opt, &err)) << err.message;
    std::vector<std::string> out = Rows(*e, "select * from RST_INB order by ACS_ID");
    for (const std::string& r : Rows(*e, "select * from USER_AGENT_INFO order by SEQ_NO")) out.push_back(r);
    return out;
}

TEST(DemoDataSeed, TodayIsNeverEmptyAndNeverAhead) {
    TempDir dir;
    auto e = OpenEngine(dir.File("early.db"));
    rdb::DemoOptions opt;
    opt.days = 2;
    opt.recordsPerDay = 200;
    opt.now = FixedNow() - 15 * 3600;  // 00:30
    rdb::Error err;
    ASSERT_TRUE(rdb::FillDemoData(*e, opt, &err)) << err.message;
    EXPECT_GE(Int(*e, "select count(*) from RST_INB where DIAL_DATE = '20261208'"), 12);
    EXPECT_LE(One(*e, "select max(DIAL_TIME) from RST_INB where DIAL_DATE = '20261208'"), "003000");
    EXPECT_GT(Int(*e, "select count(*) from RST_INB where DIAL_DATE = '20261207'"), 150);
}

TEST(DemoDataSeed, SameSeedSameDataOtherSeedOtherData) {
    TempDir dir;
    const auto a = Dump(dir.File("a.db"), 7);
    const auto b = Dump(dir.File("b.db"), 7);
    const auto c = Dump(dir.File("c.db"), 8);
    EXPECT_GT(a.size(), 300u);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

}  // namespace
