// The callback-rate procedure on a small fixture with hand-computed rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/Queries.h"
#include "rdb/engine/Procedures.h"
#include "tests/rdb_engine/EngineTestUtil.h"

using enginetest::Exec;
using enginetest::Insert;
using enginetest::OpenEngine;
using enginetest::Rec;
using enginetest::Rows;

namespace {

class CallbackRate : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        engine_ = OpenEngine(dir_->File("rate.db")).release();
        rdb::Engine& e = *engine_;
        Exec(e, "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE) VALUES "
                "(11, '상담', 'u1', 1), (12, 'B', 'u1', 2), (21, 'X', 'u2', 2), (31, 'Q', 'o''neil', 2)");
        // Service 11, period 1 to 2 December: hour 09 has 4 calls / 2 callbacks, hour 10
        // 3 / 2, hour 14 2 / 1 (a deleted record is still a call).
        Insert(e, {11, "u1", "20261201", "090000", "1"});
        Insert(e, {11, "u1", "20261201", "091500", "0"});
        Insert(e, {11, "u1", "20261201", "093000", "0"});
        Insert(e, {11, "u1", "20261202", "095959", "1"});
        Insert(e, {11, "u1", "20261202", "100000", "1"});
        Insert(e, {11, "u1", "20261202", "101000", "1"});
        Insert(e, {11, "u1", "20261202", "102000", "0"});
        Insert(e, {11, "u1", "20261202", "140000", "0"});
        Insert(e, {11, "u1", "20261201", "141500", "1", "0", "1"});
        // Outside the period, and a time without an hour.
        Insert(e, {11, "u1", "20261130", "090000", "1"});
        Insert(e, {11, "u1", "20261203", "090000", "1"});
        Insert(e, {11, "u1", "20261201", "ab", "1"});
        // Service 12: 8 calls in hour 10, one callback.
        for (int i = 0; i < 8; ++i) Insert(e, {12, "u1", "20261201", "10" + std::to_string(10 + i) + "00", i == 3 ? "1" : "0"});
        // Other users.
        Insert(e, {21, "u2", "20261201", "090000", "1"});
        Insert(e, {31, "o'neil", "20261201", "110000", "0"});
    }
    static void TearDownTestSuite() {
        delete engine_;
        delete dir_;
    }
    static TempDir* dir_;
    static rdb::Engine* engine_;
};

TempDir* CallbackRate::dir_ = nullptr;
rdb::Engine* CallbackRate::engine_ = nullptr;

TEST_F(CallbackRate, RowsPerServiceAndHourInOrder) {
    EXPECT_EQ(Rows(*engine_, sql::CallbackRateSql("u1", "20261201", "20261202")),
              (std::vector<std::string>{
                  "11.상담:;09시:;4:;2:;50.0%:;",
                  "11.상담:;10시:;3:;2:;66.7%:;",
                  "11.상담:;14시:;2:;1:;50.0%:;",
                  "12.B:;10시:;8:;1:;12.5%:;",
              }));
    // One day: the ends of the period are included.
    EXPECT_EQ(Rows(*engine_, sql::CallbackRateSql("u1", "20261130", "20261130")),
              std::vector<std::string>{"11.상담:;09시:;1:;1:;100.0%:;"});
    EXPECT_TRUE(Rows(*engine_, sql::CallbackRateSql("u1", "20261202", "20261201")).empty());
}

TEST_F(CallbackRate, ArgumentsAreDataNeverSql) {
    EXPECT_EQ(Rows(*engine_, sql::CallbackRateSql("o'neil", "20261201", "20261202")),
              std::vector<std::string>{"31.Q:;11시:;1:;0:;0.0%:;"});
    EXPECT_TRUE(Rows(*engine_, sql::CallbackRateSql("x' or '1'='1", "20261201", "20261202")).empty());
    EXPECT_TRUE(Rows(*engine_, sql::CallbackRateSql("u1", "x'); delete from RST_INB; --", "20261202")).empty());
    EXPECT_EQ(Rows(*engine_, "select count(*) from RST_INB"), std::vector<std::string>{"22:;"});
    // The user ID compares like any text column.
    EXPECT_EQ(Rows(*engine_, sql::CallbackRateSql("U2 ", "20261201", "20261202")),
              std::vector<std::string>{"21.X:;09시:;1:;1:;100.0%:;"});
}

TEST_F(CallbackRate, ProcedureNameIgnoresCase) {
    std::string lower = sql::CallbackRateSql("u2", "20261201", "20261202");
    lower.replace(lower.find("P_INB_"), 6, "p_inb_");
    EXPECT_EQ(Rows(*engine_, lower).size(), 1u);
}

TEST_F(CallbackRate, CallWithAnArgumentMissingIsRefused) {
    rdb::Error err;
    int64_t rows = -1;
    std::string sql = sql::CallbackRateSql("u1", "20261201", "20261202");
    sql.replace(sql.find(", '20261202'"), 12, "");
    EXPECT_FALSE(engine_->Query(sql, nullptr, &rows, &err));
    EXPECT_EQ(err.code, rdb::kErrProcedureArgs);
}

TEST_F(CallbackRate, NullUserMatchesNoRows) {
    rdb::Error err;
    int64_t rows = -1;
    std::string sql = sql::CallbackRateSql("u1", "20261201", "20261202");
    sql.replace(sql.find("'u1'"), 4, "NULL");
    EXPECT_TRUE(engine_->Query(sql, nullptr, &rows, &err)) << err.message;
    EXPECT_EQ(rows, 0);
}

TEST(CallbackRateText, OneDecimalRoundedHalfUp) {
    EXPECT_EQ(rdb::FormatRate(1, 8), "12.5%");
    EXPECT_EQ(rdb::FormatRate(2, 3), "66.7%");
    EXPECT_EQ(rdb::FormatRate(1, 3), "33.3%");
    EXPECT_EQ(rdb::FormatRate(5, 5), "100.0%");
    EXPECT_EQ(rdb::FormatRate(0, 5), "0.0%");
    EXPECT_EQ(rdb::FormatRate(0, 0), "0.0%");
    EXPECT_EQ(rdb::FormatRate(1, 2000), "0.1%");
    EXPECT_EQ(rdb::FormatRate(1, 2001), "0.0%");
}

}  // namespace
