// The statements the desk runs most use the named indexes; checked on the texts the desk
// actually sends, after translation.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "data/Queries.h"
#include "rdb/dialect/DialectAdapter.h"
#include "tests/rdb_engine/EngineTestUtil.h"

using enginetest::OpenEngine;

namespace {

class QueryPlan : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = OpenEngine(dir_.File("plan.db"));
        ASSERT_TRUE(engine_);
    }

    // The plan lines of a desk statement, joined with newlines.
    std::string Plan(const std::string& deskSql) {
        rdb::Translation t;
        std::string error;
        EXPECT_TRUE(rdb::TranslateToSqlite(deskSql, &t, &error)) << error;
        EXPECT_EQ(t.kind, rdb::Translation::Kind::Statement);
        sqlite3_stmt* stmt = nullptr;
        const std::string explain = "EXPLAIN QUERY PLAN " + t.sql;
        EXPECT_EQ(sqlite3_prepare_v2(engine_->Handle(), explain.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(engine_->Handle()) << "\n" << t.sql;
        std::string plan;
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW)
            plan += std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3))) + "\n";
        sqlite3_finalize(stmt);
        return plan;
    }

    static bool ScansRecordsWithoutIndex(const std::string& plan) {
        return plan.find("SCAN r\n") != std::string::npos || plan.find("SCAN RST_INB\n") != std::string::npos;
    }

    TempDir dir_;
    std::unique_ptr<rdb::Engine> engine_;
};

TEST_F(QueryPlan, NewRecordCountUsesXie7) {
    for (const char* agent : {"", "김상담"}) {
        const std::string plan = Plan(sql::NewCountSql("1001", "20261201", "20261208", agent));
        EXPECT_NE(plan.find("COVERING INDEX XIE7RST_INB"), std::string::npos) << plan;
        EXPECT_FALSE(ScansRecordsWithoutIndex(plan)) << plan;
    }
}

// The lists sort by their formatted date and time items, so a small sort of the one
// service's period remains; the search itself must be the index range.
TEST_F(QueryPlan, UnprocessedAndProcessedListsUseXie7) {
    for (bool loan : {true, false}) {
        for (auto kind : {sql::ListKind::Unprocessed, sql::ListKind::Processed}) {
            for (const char* agent : {"", "김상담"}) {
                const std::string plan = Plan(sql::CallbackListSql(loan, kind, "1001", "20261201", "20261208", agent));
                EXPECT_NE(plan.find("INDEX XIE7RST_INB (SVC_ID=? AND IS_CALLBACK=? AND IS_DELETE=? AND IS_PRINT=? "
                                    "AND DIAL_DATE>? AND DIAL_DATE<?)"),
                          std::string::npos)
                    << plan;
            }
        }
    }
}

TEST_F(QueryPlan, AllListUsesXie4) {
    for (bool loan : {true, false}) {
        const std::string plan = Plan(sql::CallbackListSql(loan, sql::ListKind::All, "1001", "20261201", "20261208", ""));
        EXPECT_NE(plan.find("INDEX XIE4RST_INB (SVC_ID=? AND DIAL_DATE>? AND DIAL_DATE<?)"), std::string::npos) << plan;
    }
}

TEST_F(QueryPlan, OptOutListAndDistributionStatusUseIndexes) {
    std::string plan = Plan(sql::DenyListSql("20261201", "20261208", "1001", "demo"));
    EXPECT_NE(plan.find("XIE4RST_INB"), std::string::npos) << plan;
    plan = Plan(sql::DenyListSql("20261201", "20261208", sql::kAllServicesId, "demo"));
    EXPECT_NE(plan.find("XIE5RST_INB"), std::string::npos) << plan;
    plan = Plan(sql::DistStatusSql("demo", "20261201", "20261208"));
    EXPECT_NE(plan.find("XIE6RST_INB"), std::string::npos) << plan;
    EXPECT_FALSE(ScansRecordsWithoutIndex(plan)) << plan;
}

}  // namespace
