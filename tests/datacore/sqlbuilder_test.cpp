#include <gtest/gtest.h>

#include "data/Queries.h"
#include "data/SqlBuilder.h"
#include "data/SqlText.h"
#include "tests/support/Fixture.h"

namespace {

TEST(SqlBuilder, InsertListsColumnsThenValuesInTheOrderAdded) {
    CSqlBuilder ins(SQL_INSERT);
    ins.m_strTable = "T";
    EXPECT_EQ(ins.GetSql(), "insert into T (  ) values (  ) ");
    ins.AddValue("A", "%d", 0);
    ins.AddQuoted("B", "");
    EXPECT_EQ(ins.GetSql(), "insert into T ( A, B ) values ( 0, '' ) ");
}

TEST(SqlBuilder, UpdateHasAConditionOnlyWhenGivenAndOnlyOnce) {
    CSqlBuilder upd(SQL_UPDATE);
    upd.m_strTable = "USER_AGENT_INFO";
    upd.AddValue("DIST_COUNT", "%d", 7);
    EXPECT_EQ(upd.GetSql(), "update USER_AGENT_INFO set DIST_COUNT = 7");  // no condition of its own
    upd.m_strWhere = "SEQ_NO = 12";
    EXPECT_EQ(upd.GetSql(), "update USER_AGENT_INFO set DIST_COUNT = 7 where SEQ_NO = 12 ");
    // A second call rebuilds: the condition is not appended twice.
    EXPECT_EQ(upd.GetSql(), "update USER_AGENT_INFO set DIST_COUNT = 7 where SEQ_NO = 12 ");
}

TEST(SqlBuilder, CallPassesValuesInBracesAndKeepsItsTail) {
    CSqlBuilder call(SQL_CALL);
    call.m_strTable = "P";
    EXPECT_EQ(call.GetSql(), "{ call P () }");
    call.AddValue("a", "%d", 1);
    call.AddQuoted("b", "x");
    EXPECT_EQ(call.GetSql(), "{ call P (1, 'x') }");
    call.m_strTail = ";";
    EXPECT_EQ(call.GetSql(), "{ call P (1, 'x') };");
}

TEST(SqlBuilder, QuotesDoubledAndLongValuesKept) {
    CSqlBuilder b(SQL_INSERT);
    b.m_strTable = "T";
    b.AddQuoted("N", "O'Neil");
    std::string longText(5000, 'k');
    b.AddQuoted("L", longText);
    EXPECT_EQ(b.GetSql(), "insert into T ( N, L ) values ( 'O''Neil', '" + longText + "' ) ");
}

TEST(SqlText, EscapeDoublesEveryQuote) {
    EXPECT_EQ(EscapeSqlText("x' or '1'='1"), "x'' or ''1''=''1");
    EXPECT_EQ(EscapeSqlText("''"), "''''");
    EXPECT_EQ(EscapeSqlText("김상담"), "김상담");
}

// Every formatted statement, byte for byte, against texts prepared independently from the
// statement templates (tests/data/statements.golden).
TEST(Queries, FormattedStatementsMatchTemplates) {
    using sql::ListKind;
    EXPECT_EQ(sql::LoginSql("demo", ""), GoldenStatement("login_user"));
    EXPECT_EQ(sql::LoginSql("demo", "김상담"), GoldenStatement("login_agent"));
    EXPECT_EQ(sql::LoginSql("x' or '1'='1", ""), GoldenStatement("login_injection"));
    const std::pair<ListKind, const char*> kinds[] = {
        {ListKind::Unprocessed, "u"}, {ListKind::Processed, "p"}, {ListKind::All, "a"}};
    for (auto [kind, tag] : kinds) {
        for (std::string agent : {"", "김상담"}) {
            std::string suffix = std::string(tag) + (agent.empty() ? "" : "_agent");
            EXPECT_EQ(sql::CallbackListSql(true, kind, "101", kDay1, kDay3, agent), GoldenStatement("list_loan_" + suffix));
            EXPECT_EQ(sql::CallbackListSql(false, kind, "102", kDay1, kDay3, agent),
                      GoldenStatement("list_general_" + suffix));
        }
    }
    EXPECT_EQ(sql::NewCountSql("101", kDay1, kDay3, ""), GoldenStatement("count"));
    EXPECT_EQ(sql::NewCountSql("101", kDay1, kDay3, "김상담"), GoldenStatement("count_agent"));
    EXPECT_EQ(sql::ServiceComboSql("demo"), GoldenStatement("service_combo"));
    EXPECT_EQ(sql::MarkProcessedSql("42"), GoldenStatement("mark_processed"));
    EXPECT_EQ(sql::UpdateCommentSql("it's", "42"), GoldenStatement("update_comment"));
    EXPECT_EQ(sql::UpdateAgentSql("O'Neil", "42"), GoldenStatement("update_agent"));
    EXPECT_EQ(sql::AgentNamesSql("demo"), GoldenStatement("agent_names"));
    EXPECT_EQ(sql::CallbackRateSql("demo", kDay1, kDay3), GoldenStatement("callback_rate"));
    EXPECT_EQ(sql::DenyListSql(kDay1, kDay3, sql::kAllServicesId, "demo"), GoldenStatement("deny_all"));
    EXPECT_EQ(sql::DenyListSql(kDay1, kDay3, "101", "demo"), GoldenStatement("deny_service"));
    EXPECT_EQ(sql::AgentListSql("demo"), GoldenStatement("agent_list"));
    EXPECT_EQ(sql::AgentExistsSql("demo", "O'Neil"), GoldenStatement("agent_exists"));
    EXPECT_EQ(sql::AgentDeleteSql(12), GoldenStatement("agent_delete"));
    EXPECT_EQ(sql::DistStatusSql("demo", kDay1, kDay3), GoldenStatement("dist_status"));
    EXPECT_EQ(sql::AgentInsertSql("demo", "O'Neil", "pw", 7), GoldenStatement("agent_insert"));
    EXPECT_EQ(sql::AgentUpdateSql("pw", 7, 12), GoldenStatement("agent_update"));
}

TEST(Queries, CountKeepsItsTabsAndAgentConditionHasNoOrdering) {
    std::string count = sql::NewCountSql("5", "a", "b", "x");
    EXPECT_NE(count.find("as CNT \t\t  from"), std::string::npos);
    EXPECT_NE(count.find("s.SVC_ID \t\t  where"), std::string::npos);
    EXPECT_EQ(count.find("order by"), std::string::npos);
    EXPECT_TRUE(count.ends_with("IS_PRINT = '0' and AGENT_NM = 'x'"));
}

TEST(Queries, AgentConditionSitsBetweenPeriodAndOrdering) {
    std::string list = sql::CallbackListSql(false, sql::ListKind::All, "5", "a", "b", "O'Neil");
    EXPECT_NE(list.find("RES_REPLY <> '9' and AGENT_NM = 'O''Neil' order by DIAL_DATE, DIAL_TIME "),
              std::string::npos);
}

}  // namespace
