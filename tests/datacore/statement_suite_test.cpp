// Every statement the desk sends, formatted as the desk formats it, run unchanged through the
// environment object and the client interface on the fixture database.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/Queries.h"
#include "platform/MessageBox.h"
#include "tests/support/Fixture.h"
#include "tests/support/ListCombo.h"
#include "tests/support/StatementServer.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using sql::ListKind;

std::vector<std::string> Column(const Rows& rows, size_t index) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(index < r.size() ? r[index] : "<missing>");
    return out;
}

class StatementSuite : public ::testing::TestWithParam<ServerKind> {
protected:
    void SetUp() override {
        server_ = StartStatementServer(GetParam());
        session_ = std::make_unique<EnvSession>(server_->Address());
    }
    CKestrimEnv& Env() { return session_->Env(); }
    Rows Query(const std::string& statement) {
        int32_t result = 0;
        RDB_ERROR err{};
        Rows rows = QueryRows(Env(), statement, &result, &err);
        EXPECT_GT(result, 0) << err.nCode << " " << err.szMessage << "\n" << statement;
        return rows;
    }
    std::string First(const std::string& statement) {
        std::string value = "<none>";
        EXPECT_EQ(Env().GetFirstRecord(value, statement), 1) << statement;
        return value;
    }

    platform::ScriptedMessages boxes_;
    std::unique_ptr<StatementServer> server_;
    std::unique_ptr<EnvSession> session_;
};

TEST_P(StatementSuite, LoginForms) {
    std::vector<std::string> row;
    ASSERT_EQ(Env().GetFirstRecord(row, sql::LoginSql("demo", "")), 1);
    EXPECT_EQ(row, (std::vector<std::string>{"demo", "데모상사", "", "pw"}));
    ASSERT_EQ(Env().GetFirstRecord(row, sql::LoginSql("demo", "김상담")), 1);
    EXPECT_EQ(row, (std::vector<std::string>{"demo", "데모상사", "김상담", "1234"}));
    // The agent must belong to that user.
    EXPECT_EQ(Env().GetFirstRecord(row, sql::LoginSql("other", "이상담")), 0);
    EXPECT_TRUE(row.empty());
    EXPECT_EQ(Env().GetFirstRecord(row, sql::LoginSql("nobody", "")), 0);
    // Quotes in the typed ID are data, never SQL.
    EXPECT_EQ(Env().GetFirstRecord(row, sql::LoginSql("x' or '1'='1", "")), 0);
    EXPECT_EQ(Env().GetFirstRecord(row, sql::LoginSql("demo' --", "")), 0);
    // Text comparison ignores case and trailing blanks; the stored ID comes back.
    ASSERT_EQ(Env().GetFirstRecord(row, sql::LoginSql("DEMO ", "")), 1);
    EXPECT_EQ(row[0], "demo");
    ASSERT_EQ(Env().GetFirstRecord(row, sql::LoginSql("emptypw", "")), 1);
    EXPECT_EQ(row[3], "");
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_P(StatementSuite, LookupsServiceTypesAndCombo) {
    EXPECT_EQ(Env().GetServiceType(101), 1);
    EXPECT_EQ(Env().GetServiceType(103), 3);
    EXPECT_EQ(Env().GetServiceType(999), 0);
    EXPECT_EQ(Env().GetCallbackDist(101), 1);
    EXPECT_EQ(Env().GetCallbackDist(102), 0);
    EXPECT_EQ(Env().GetNoReqDisp(101), 1);
    EXPECT_EQ(Env().GetNoReqDisp(102), 0);
    EXPECT_EQ(Env().GetNoReqDisp(999), 0);
    EXPECT_EQ(Env().GetMaxCallbackDist(), 1);
    Env().m_strUserId = "only3";  // no service of type 1 or 2
    EXPECT_EQ(Env().GetMaxCallbackDist(), 0);
    Env().m_strUserId = "dist2";
    EXPECT_EQ(Env().GetMaxCallbackDist(), 2);

    Env().m_strUserId = "demo";
    ASSERT_TRUE(Env().LoadServiceTypes());
    std::vector<int32_t> types = Env().m_nSvcTypes;
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Env().m_nSvcTypeCount, 2);

    ListCombo combo;
    EXPECT_EQ(Env().FillServiceCombo(&combo, sql::ServiceComboSql("demo")), 3);
    EXPECT_EQ(combo.items, (std::vector<std::string>{"101.대출상담", "102.일반상담", "103.안내방송"}));
    combo.selected = 1;
    EXPECT_EQ(Env().GetComboSelServiceId(&combo), "102");
    EXPECT_EQ(Env().GetComboSelText(&combo), "102.일반상담");
    combo.selected = -1;
    EXPECT_EQ(Env().GetComboSelServiceId(&combo), "");
    // Three columns: only the first becomes the item. The combo is not emptied first.
    EXPECT_EQ(Env().FillServiceCombo(&combo, "select SVC_ID, SVC_NM, USER_ID from SERVICE_INFO where SVC_ID = 201"), 1);
    EXPECT_EQ(combo.items.back(), "201");
    combo.selected = combo.GetCount() - 1;
    EXPECT_EQ(Env().GetComboSelServiceId(&combo), "");  // no '.' in the item
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_P(StatementSuite, LoanLayoutLists) {
    Rows rows = Query(sql::CallbackListSql(true, ListKind::Unprocessed, "101", kDay1, kDay3, ""));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"1", "2", "8", "3"}));
    ASSERT_EQ(rows[0].size(), 13u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "101.대출상담", "02-1234-5678", "010-1234-5678", "대납",
                                                 "500만이하", "2026-12-01", "09:00:00", "미처리", "", "35", "요청", ""}));
    EXPECT_EQ(rows[1][4], "현금");
    EXPECT_EQ(rows[1][5], "500만이상");
    EXPECT_EQ(rows[1][9], "memo: ;x");  // ":;" in a value cannot add a field
    EXPECT_EQ(rows[1][12], "김상담");
    EXPECT_EQ(rows[3][4], "");  // empty CUST_INFO: empty type and amount
    EXPECT_EQ(rows[3][5], "");

    rows = Query(sql::CallbackListSql(true, ListKind::Processed, "101", kDay1, kDay3, ""));
    ASSERT_EQ(Column(rows, 0), (std::vector<std::string>{"4"}));
    EXPECT_EQ(rows[0][4], "대납");
    EXPECT_EQ(rows[0][5], "");  // amount code 3 is no amount
    EXPECT_EQ(rows[0][8], "처리");

    // All records of the period but opt-outs: deleted and non-callback records included.
    rows = Query(sql::CallbackListSql(true, ListKind::All, "101", kDay1, kDay3, ""));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"1", "2", "8", "3", "4", "5", "6"}));
    EXPECT_EQ(rows.back()[11], "미요청");
}

TEST_P(StatementSuite, GeneralLayoutLists) {
    Rows rows = Query(sql::CallbackListSql(false, ListKind::Unprocessed, "102", kDay1, kDay3, ""));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"9", "102.일반상담", "031-123-4567", "010-2222-3333", "2026-12-01",
                                                 "08:00:00", "30", "미처리", "요청", "", ""}));
    rows = Query(sql::CallbackListSql(false, ListKind::Processed, "102", kDay1, kDay3, ""));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"11"}));
    rows = Query(sql::CallbackListSql(false, ListKind::All, "102", kDay1, kDay3, ""));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"9", "11"}));
}

TEST_P(StatementSuite, AgentConditionAndPeriods) {
    Rows rows = Query(sql::CallbackListSql(true, ListKind::Unprocessed, "101", kDay1, kDay3, "김상담"));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"2"}));
    rows = Query(sql::CallbackListSql(true, ListKind::All, "101", kDay1, kDay3, "이상담"));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"3"}));
    // One day only; a reversed period finds nothing but is no error.
    rows = Query(sql::CallbackListSql(true, ListKind::Unprocessed, "101", kDay2, kDay2, ""));
    EXPECT_EQ(Column(rows, 0), (std::vector<std::string>{"3"}));
    EXPECT_TRUE(Query(sql::CallbackListSql(true, ListKind::Unprocessed, "101", kDay3, kDay1, "")).empty());
    EXPECT_TRUE(Query(sql::CallbackListSql(false, ListKind::All, "102", kDay3, kDay1, "")).empty());
}

TEST_P(StatementSuite, NewRecordCount) {
    EXPECT_EQ(First(sql::NewCountSql("101", kDay1, kDay3, "")), "4");
    EXPECT_EQ(First(sql::NewCountSql("101", kDay1, kDay3, "김상담")), "1");
    EXPECT_EQ(First(sql::NewCountSql("101", kDay3, kDay1, "")), "0");
    EXPECT_EQ(First(sql::NewCountSql("201", kDay1, kDay3, "")), "1");
}

TEST_P(StatementSuite, RecordUpdates) {
    ASSERT_TRUE(Env().ExecuteSQL(sql::MarkProcessedSql("1")));
    EXPECT_EQ(First(sql::NewCountSql("101", kDay1, kDay3, "")), "3");
    ASSERT_TRUE(Env().ExecuteSQL(sql::UpdateCommentSql("it's :; fine", "3")));
    ASSERT_TRUE(Env().ExecuteSQL(sql::UpdateAgentSql("O'Neil", "3")));
    Rows rows = Query(sql::CallbackListSql(true, ListKind::Unprocessed, "101", kDay2, kDay2, "O'Neil"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][9], "it's : ; fine");
    EXPECT_EQ(rows[0][12], "O'Neil");
    // Handing out does not process: still counted.
    EXPECT_EQ(First(sql::NewCountSql("101", kDay2, kDay2, "")), "1");
    ASSERT_TRUE(Env().ExecuteSQL(sql::UpdateCommentSql("", "3")));
    EXPECT_EQ(First("select COMMENT from RST_INB where ACS_ID = 3"), "");
    EXPECT_TRUE(boxes_.Shown().empty());
}

// Keys go in without quotes, so a key that is not a whole integer makes no statement at all.
TEST_P(StatementSuite, KeysThatAreNotIntegersRefuseTheStatement) {
    for (const std::string key : {"0 or 1=1", " 3", "3 ", "３", "", "-", "3;", "0x3", "1e3",
                                  "12345678901234567890"}) {
        SCOPED_TRACE("key [" + key + "]");
        EXPECT_EQ(sql::MarkProcessedSql(key), "");
        EXPECT_EQ(sql::UpdateCommentSql("MARK", key), "");
        EXPECT_EQ(sql::UpdateAgentSql("MARK", key), "");
        EXPECT_EQ(sql::CallbackListSql(true, ListKind::All, key, kDay1, kDay3, ""), "");
        EXPECT_EQ(sql::NewCountSql(key, kDay1, kDay3, ""), "");
    }
    EXPECT_NE(sql::MarkProcessedSql("-1"), "");
    EXPECT_FALSE(Env().ExecuteSQL(sql::UpdateCommentSql("MARK", "0 or 1=1")));
    EXPECT_EQ(First("select count(*) from RST_INB where COMMENT = 'MARK'"), "0");
}

TEST_P(StatementSuite, CallbackRateProcedure) {
    Rows rows = Query(sql::CallbackRateSql("demo", kDay1, kDay3));
    ASSERT_FALSE(rows.empty());
    for (const auto& r : rows) {
        ASSERT_GE(r.size(), 5u);
        EXPECT_TRUE(r[0] == "101.대출상담" || r[0] == "102.일반상담") << r[0];
        EXPECT_NE(r[4].find('%'), std::string::npos) << r[4];
    }
    // Only the user and the period reach the procedure; quotes in them stay data.
    EXPECT_TRUE(Query(sql::CallbackRateSql("x' or '1'='1", kDay1, kDay3)).empty());
    EXPECT_TRUE(Query(sql::CallbackRateSql("demo", kDay3, kDay1)).empty());
}

TEST_P(StatementSuite, OptOutList) {
    // All services of the user, ordered by time of day alone: day 2 07:00 before day 3 09:15.
    Rows rows = Query(sql::DenyListSql(kDay1, kDay3, sql::kAllServicesId, "demo"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"102.일반상담", "0311234568", "01022224444", kDay2, "070000", "10"}));
    EXPECT_EQ(Column(rows, 5), (std::vector<std::string>{"10", "7"}));
    // One service: tested by SVC_ID only (the deleted opt-out is listed too).
    rows = Query(sql::DenyListSql(kDay1, kDay3, "101", "nobody"));
    EXPECT_EQ(Column(rows, 5), (std::vector<std::string>{"7"}));
    EXPECT_TRUE(Query(sql::DenyListSql(kDay3, kDay1, sql::kAllServicesId, "demo")).empty());
}

TEST_P(StatementSuite, AgentManagement) {
    Rows rows = Query(sql::AgentListSql("demo"));
    EXPECT_EQ(Column(rows, 1), (std::vector<std::string>{"김상담", "이상담"}));
    EXPECT_EQ(rows[0][2], "1234");
    EXPECT_EQ(rows[0][3], "10");

    EXPECT_EQ(Env().RecordExists(sql::AgentExistsSql("demo", "김상담")), 1);
    EXPECT_EQ(Env().RecordExists(sql::AgentExistsSql("demo", "O'Neil")), 0);
    ASSERT_TRUE(Env().ExecuteSQL(sql::AgentInsertSql("demo", "O'Neil", "p'w", 7)));
    EXPECT_EQ(Env().RecordExists(sql::AgentExistsSql("demo", "O'Neil")), 1);
    EXPECT_EQ(Env().RecordExists(sql::AgentExistsSql("other", "O'Neil")), 0);

    rows = Query(sql::AgentListSql("demo"));
    ASSERT_EQ(rows.size(), 3u);
    // Ordered by name: Latin letters before Hangul.
    EXPECT_EQ(Column(rows, 1), (std::vector<std::string>{"O'Neil", "김상담", "이상담"}));
    EXPECT_EQ(rows[0][2], "p'w");
    int seq = std::stoi(rows[0][0]);
    ASSERT_TRUE(Env().ExecuteSQL(sql::AgentUpdateSql("new", 99999, seq)));
    rows = Query(sql::AgentListSql("demo"));
    EXPECT_EQ(rows[0][2], "new");
    EXPECT_EQ(rows[0][3], "99999");
    ASSERT_TRUE(Env().ExecuteSQL(sql::AgentDeleteSql(seq)));
    EXPECT_EQ(Query(sql::AgentListSql("demo")).size(), 2u);
    EXPECT_TRUE(Query(sql::AgentListSql("nobody")).empty());
    EXPECT_TRUE(Query(sql::AgentNamesSql("demo")).size() == 2u);
    EXPECT_EQ(Column(Query(sql::AgentNamesSql("demo")), 0), (std::vector<std::string>{"김상담", "이상담"}));
}

TEST_P(StatementSuite, DistributionStatusWithSubtotals) {
    Rows rows = Query(sql::DistStatusSql("demo", kDay1, kDay3));
    Rows expected = {
        {"미분배", kDay1, "3"}, {"미분배", kDay3, "1"}, {"미분배", "소계", "4"},
        {"김상담", kDay1, "1"}, {"김상담", kDay2, "1"}, {"김상담", "소계", "2"},
        {"이상담", kDay2, "1"}, {"이상담", "소계", "1"}, {"총계", "-", "7"},
    };
    EXPECT_EQ(rows, expected);
    // Nothing in the period: not even a total row.
    EXPECT_TRUE(Query(sql::DistStatusSql("demo", kDay3, kDay1)).empty());
    // Another user's agents are never counted.
    rows = Query(sql::DistStatusSql("other", kDay1, kDay3));
    EXPECT_EQ(rows, (Rows{{"김상담", kDay1, "1"}, {"김상담", "소계", "1"}, {"총계", "-", "1"}}));
}

// tests/pg builds this file again to run the same suite on PostgreSQL.
#ifdef STATEMENT_SUITE_ON_POSTGRES
INSTANTIATE_TEST_SUITE_P(Transports, StatementSuite, ::testing::Values(ServerKind::Postgres),
                         [](const auto& info) { return ServerKindName(info.param); });
#else
INSTANTIATE_TEST_SUITE_P(Transports, StatementSuite, ::testing::ValuesIn(StatementServerKinds()),
                         [](const auto& info) { return ServerKindName(info.param); });
#endif

}  // namespace
