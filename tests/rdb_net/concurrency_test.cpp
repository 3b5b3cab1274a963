// Many desks on one gateway at once: counts, lists and updates in parallel for a few
// seconds. Every call succeeds (no busy errors), every update lands.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/RdbClient.h"
#include "tests/rdb_net/net_test_util.h"
#include "tests/support/Fixture.h"
#include "tests/support/RdbdProcess.h"

namespace {

constexpr int kRecords = 2000;
constexpr int kDesks = 16;
constexpr auto kRunFor = std::chrono::seconds(3);

thread_local int64_t t_rows = 0;

int32_t CountRow(int32_t, int32_t, int32_t, const char*) {
    ++t_rows;
    return 1;
}

TEST(GatewayConcurrency, SixteenDesksCountListAndUpdate) {
    TempDir dir;
    const std::string db = dir.File("busy.db");
    nettest::CreateNetTestDatabase(db, kRecords);
    RdbdProcess gateway;
    ASSERT_TRUE(gateway.Start(db)) << gateway.ErrorText();

    const std::string countSql = nettest::NewRecordCountSql(nettest::kLoanService);
    const std::string listSql = nettest::UnprocessedLoanListSql(nettest::kLoanService);
    const int64_t expectedRows = (kRecords + 5) / 6;
    const std::string expectedCount = std::to_string(expectedRows) + ":;";

    std::atomic<int64_t> increments{0};
    std::atomic<int64_t> calls{0};
    std::mutex failMutex;
    std::vector<std::string> failures;
    std::vector<int> lastWritten(kDesks, -1);
    auto fail = [&](const std::string& what) {
        std::lock_guard<std::mutex> lock(failMutex);
        if (failures.size() < 20) failures.push_back(what);
    };

    const auto deadline = std::chrono::steady_clock::now() + kRunFor;
    std::vector<std::thread> desks;
    for (int d = 0; d < kDesks; ++d) {
        desks.emplace_back([&, d] {
            const RDBHANDLE h = RDBServerOpen(gateway.Address().c_str(), "8907");
            if (h <= 0) {
                fail("open failed");
                return;
            }
            RDBSetEventCallBackFN(CountRow);
            for (int n = 0; std::chrono::steady_clock::now() < deadline; ++n) {
                RDB_ERROR err{};
                char buf[RDB_FIRST_RECORD_SIZE];
                int32_t r = RDBQueryFirstRecord(h, "NEW_ACS", countSql.c_str(), buf, &err);
                if (r != 1 || err.nCode != 0 || expectedCount != buf)
                    fail("count: " + std::to_string(r) + "/" + std::to_string(err.nCode) + " " +
                         err.szMessage);

                t_rows = 0;
                int32_t rows = 0;
                r = RDBQueryRecord(h, "NEW_ACS", 0, listSql.c_str(), &rows, &err);
                if (r != 1 || rows != expectedRows || t_rows != expectedRows)
                    fail("list: " + std::to_string(r) + "/" + std::to_string(err.nCode) + " " +
                         err.szMessage);

                const std::string memo = "update RST_INB set COMMENT = 'desk" + std::to_string(d) +
                                         "-" + std::to_string(n) +
                                         "' where ACS_ID = " + std::to_string(d + 2);
                r = RDBExecuteSQL(h, "NEW_ACS", memo.c_str(), &err);
                if (r != 1)
                    fail("memo: " + std::to_string(r) + "/" + std::to_string(err.nCode) + " " +
                         err.szMessage);
                else
                    lastWritten[d] = n;

                r = RDBExecuteSQL(
                    h, "NEW_ACS",
                    "update USER_AGENT_INFO set DIST_COUNT = DIST_COUNT + 1 where SEQ_NO = 1",
                    &err);
                if (r == 1)
                    ++increments;
                else
                    fail("increment: " + std::to_string(r) + "/" + std::to_string(err.nCode) + " " +
                         err.szMessage);
                calls += 4;
            }
        });
    }
    for (auto& t : desks) t.join();

    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_TRUE(failures.empty());
    EXPECT_GT(increments.load(), kDesks * 5) << "too little work got done";
    EXPECT_EQ(nettest::CountRows(db, "select DIST_COUNT from USER_AGENT_INFO where SEQ_NO = 1"),
              increments.load());
    for (int d = 0; d < kDesks; ++d) {
        EXPECT_EQ(nettest::CountRows(
                      db, "select count(*) from RST_INB where ACS_ID = " + std::to_string(d + 2) +
                              " and COMMENT = 'desk" + std::to_string(d) + "-" +
                              std::to_string(lastWritten[d]) + "'"),
                  1)
            << "desk " << d;
    }
    ASSERT_TRUE(gateway.Stop()) << gateway.ErrorText();
    EXPECT_EQ(gateway.LogText().find("failed (code"), std::string::npos) << gateway.LogText();
    std::printf("%lld calls from %d desks in %lld s\n", static_cast<long long>(calls.load()),
                kDesks, static_cast<long long>(kRunFor.count()));
}

}  // namespace
