// The PostgreSQL target: the text written for each desk statement, and the rewrites where
// PostgreSQL reads a text otherwise than SQL Server and the embedded engine do.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rdb/dialect/DialectAdapter.h"
#include "tests/dialect/DeskStatements.h"

using namespace dialect_test;

namespace {

std::string Pg(const std::string& tsql) {
    rdb::Translation t;
    std::string err;
    EXPECT_TRUE(rdb::TranslateToPostgres(tsql, &t, &err)) << err << "\n" << tsql;
    EXPECT_EQ(t.kind, rdb::Translation::Kind::Statement) << tsql;
    return t.sql;
}

// The statements' display texts stand in the expected texts as markers.
std::string Expand(std::string text) {
    const std::pair<const char*, const char*> kTexts[] = {
        {"<PAID>", kPaidOnBehalf},       {"<CASH>", kCash},
        {"<UPTO5M>", kUpTo5M},           {"<OVER5M>", kOver5M},
        {"<UNPROCESSED>", kUnprocessed}, {"<PROCESSED>", kProcessed},
        {"<NOTREQ>", kNotRequested},     {"<REQ>", kRequested},
        {"<TOTAL>", kGrandTotal},        {"<UNDIST>", kUndistributed},
        {"<SUBTOTAL>", kSubtotal}};
    for (const auto& [marker, value] : kTexts) {
        for (size_t at; (at = text.find(marker)) != std::string::npos;)
            text.replace(at, std::string(marker).size(), value);
    }
    return text;
}

TEST(DialectPostgres, DeskStatementsAsWritten) {
    // Nothing in these needs a rewrite: they go as the desk wrote them.
    for (const std::string& tsql :
         {Fmt(kLoginUser, "u1"), Fmt(kLoginAgent, "u1", "kim"), Fmt(kServiceTypes, "u1"),
          Fmt(kServiceType, 7), Fmt(kMaxCallbackDist, "u1"), Fmt(kCallbackDist, 5), Fmt(kNoReqDisp, 5),
          Fmt(kMarkPrinted, "1"), Fmt(kSetComment, "it''s", "1"), Fmt(kSetAgent, "lee", "1"),
          Fmt(kAgentExists, "u1", "o''neil"), Fmt(kAgentDelete, 9)}) {
        EXPECT_EQ(Pg(tsql), tsql);
    }
    // The lists go without their display functions and their order: the desk applies them
    // (DeskWork below).
    const std::pair<std::string, const char*> kRewritten[] = {
        {Fmt(kServiceCombo, "u1"),
         "select SVC_ID, SVC_NM from SERVICE_INFO where USER_ID = 'u1' and SVC_TYPE in(1,2,3) order "
         "by SVC_ID NULLS FIRST "},
        {Fmt((std::string(kLoanPrefix) + kLoanUnprocessedTail).c_str(), "5", "20261201", "20261208") +
             kAgentCondition + "kim'" + kListOrder,
         "select ACS_ID, CAST(r.SVC_ID AS TEXT)||'.'||SVC_NM, RECV_PHONE AS RECV_PHONE, "
         "CALLER_ID AS CALLER_ID, case when(CUST_INFO<>'' and substr(CUST_INFO,1,1) = '1') "
         "then '<PAID>'              when(CUST_INFO<>'' and substr(CUST_INFO,1,1) = '2') then "
         "'<CASH>' else '' end AS TYPE,  case when(CUST_INFO<>'' and substr(CUST_INFO,2,1) = '1') "
         "then '<UPTO5M>'              when(CUST_INFO<>'' and substr(CUST_INFO,2,1) = '2') then "
         "'<OVER5M>' else '' end AS AMT,  DIAL_DATE AS DIAL_DATE, DIAL_TIME "
         "AS DIAL_TIME,  case when(IS_PRINT='0') then '<UNPROCESSED>' else '<PROCESSED>' end AS "
         "IS_PRINT,  r.COMMENT, COMM_TIME,  case when(IS_CALLBACK='0') then '<NOTREQ>' else '<REQ>' "
         "end AS IS_CALLBACK,  AGENT_NM  from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID  "
         "where r.SVC_ID = 5 and DIAL_DATE between '20261201' and '20261208' and IS_CALLBACK = '1' "
         "and IS_DELETE = '0' and IS_PRINT = '0' and AGENT_NM = 'kim' "},
        {Fmt((std::string(kGeneralPrefix) + kGeneralAllTail).c_str(), "7", "20261201", "20261208") +
             kListOrder,
         "select r.ACS_ID, CAST(r.SVC_ID AS TEXT) || '.' || SVC_NM, RECV_PHONE AS "
         "RECV_PHONE, CALLER_ID AS CALLER_ID,  DIAL_DATE AS DIAL_DATE, "
         "DIAL_TIME AS DIAL_TIME, r.COMM_TIME,  case when(IS_PRINT='0') then "
         "'<UNPROCESSED>' else '<PROCESSED>' end AS IS_PRINT,  case when(IS_CALLBACK='0') then "
         "'<NOTREQ>' else '<REQ>' end AS IS_CALLBACK, r.COMMENT, AGENT_NM  from RST_INB r join "
         "SERVICE_INFO s on r.SVC_ID = s.SVC_ID  where r.SVC_ID = 7 and DIAL_DATE between '20261201' "
         "and '20261208' and RES_REPLY <> '9' "},
        {Fmt(kCountStatement.c_str(), "5", "20261201", "20261208"),
         "select count(*) as CNT \t\t  from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID \t\t "
         " where r.SVC_ID = 5 and DIAL_DATE between '20261201' and '20261208' and IS_CALLBACK = '1' "
         "and IS_DELETE = '0' and IS_PRINT = '0' "},
        {Fmt(kAgentNames, "u1"),
         "select AGENT_NM from USER_AGENT_INFO where USER_ID = 'u1' order by AGENT_NM NULLS FIRST "},
        {Fmt(kOptOutList, "20261201", "20261208", Fmt(kOptOutServiceFilter, "5").c_str()),
         "select CAST(r.SVC_ID AS TEXT) || '.' || SVC_NM, RECV_PHONE, CALLER_ID,\t\tr.DIAL_DATE, "
         "DIAL_TIME, r.ACS_ID from RST_INB r \t\tjoin SERVICE_INFO s on r.SVC_ID = s.SVC_ID \t\twhere "
         "r.DIAL_DATE between '20261201' and '20261208' and RES_REPLY = '9'  and r.SVC_ID = '5'  "
         "\t\torder by DIAL_TIME NULLS FIRST "},
        {Fmt(kAgentList, "u1"),
         "select SEQ_NO, AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO where USER_ID = 'u1' "
         "order by AGENT_NM NULLS FIRST"},
        {Fmt(kDistribution, "u1", "20261201", "20261203"),
         "SELECT case when(grouping(AGENT_NM) = 1 and grouping(DIAL_DATE)=1) then '<TOTAL>' else "
         "coalesce(AGENT_NM,'<UNDIST>') end AS AGENT_NM, case when(grouping(AGENT_NM) = 1 and "
         "grouping(DIAL_DATE)=1) then '-' when(grouping(DIAL_DATE)=1) then '<SUBTOTAL>' else "
         "DIAL_DATE end AS DIAL_DATE, count(*) AS CNT from RST_INB where USER_ID = 'u1' and DIAL_DATE "
         "between '20261201' and '20261203'  and IS_CALLBACK = '1' and IS_DELETE = '0' GROUP BY "
         "ROLLUP(AGENT_NM, DIAL_DATE) HAVING count(*) > 0 ORDER BY GROUPING(AGENT_NM), "
         "coalesce(AGENT_NM) NULLS FIRST, GROUPING(DIAL_DATE), coalesce(DIAL_DATE) NULLS FIRST "},
    };
    for (const auto& [tsql, pg] : kRewritten) EXPECT_EQ(Pg(tsql), Expand(pg)) << tsql;
}

TEST(DialectPostgres, StringJoinsKeepSqlServerReadingUnderPostgresPrecedence) {
    // || binds looser than + and - in PostgreSQL (tighter in SQLite): left to right as SQL
    // Server reads it, the join comes first.
    EXPECT_EQ(Pg("select 'a' + x - 1, x - 1 + 'a', 'x' + convert(varchar, a % 3 * 2) from t"),
              "select ('a' || x) - 1, x - 1 || 'a', 'x' || CAST(a % 3 * 2 AS TEXT) from t");
}

TEST(DialectPostgres, TextStaysOneTokenForPostgres) {
    // With standard_conforming_strings off a backslash would escape the closing quote and
    // the rest of the statement would become part of the value, or the value part of it.
    EXPECT_EQ(Pg("update RST_INB set COMMENT = 'C:\\dir\\' where ACS_ID = 1 or N'\xea\xb0\x80\\' = ''"),
              "update RST_INB set COMMENT = E'C:\\\\dir\\\\' where ACS_ID = 1 or E'\xea\xb0\x80\\\\' = ''");
    // Side by side, these would be one operator, an escape string, one literal with a
    // doubled quote, a parameter, an absolute value and an exclusive or.
    EXPECT_EQ(
        Pg("select 5%-1, a^b, e'x', x#y, @v, [Q x], \"Q\"\"x\" from t where a in ('x'N'y')"),
        "select 5% -1, a#b, e AS \"x\", \"x#y\", \"@v\", \"q x\", \"q\"\"x\" from t where a in ('x' 'y')");
    EXPECT_EQ(Pg("select 0x1F + 0X7fffffffffffffff"), "select 31 + 9223372036854775807");
    rdb::Translation t;
    std::string err;
    for (const char* text : {"select $1", "select 0x", "select 0x8000000000000000", "select 0x1G"}) {
        EXPECT_FALSE(rdb::TranslateToPostgres(text, &t, &err)) << text << "\n-> " << t.sql;
        EXPECT_FALSE(err.empty());
    }
}

TEST(DialectPostgres, NullsSortFirstAndLikeIgnoresAsciiCase) {
    EXPECT_EQ(Pg("select a from t order by a desc, b asc, row_number() over (order by c) ;"),
              "select a from t order by a desc NULLS LAST, b asc NULLS FIRST, row_number() over (order by c "
              "NULLS FIRST) NULLS FIRST ;");
    // No nondeterministic collation takes LIKE; the embedded engine's LIKE has no escape.
    EXPECT_EQ(Pg("select a from t where a like 'K%' + b and a not like 'x!%' escape '!'"),
              "select a from t where a ILIKE ('K%' || b) COLLATE \"C\" ESCAPE '' and a not ILIKE ('x!%') "
              "COLLATE \"C\" escape '!'");
}

TEST(DialectPostgres, RollupKeepsOwnHavingAndOrderAndGivesNoRowsOverNone) {
    EXPECT_EQ(Pg("select r.AGENT_NM, LAST = max(r.AGENT_NM) from RST_INB r with (nolock) "
                 "group by rollup(r.AGENT_NM) having count(*) > 3 order by LAST desc"),
              "SELECT r.AGENT_NM, max(r.AGENT_NM) AS LAST from RST_INB r GROUP BY ROLLUP(r.AGENT_NM) HAVING "
              "(count(*) > 3) AND count(*) > 0 ORDER BY LAST desc NULLS LAST, GROUPING(r.AGENT_NM), "
              "coalesce(r.AGENT_NM) NULLS FIRST");
}

std::string Work(const rdb::DeskWork& w) {
    std::string out;
    for (const rdb::DeskFormat& f : w.formats)
        out += std::to_string(f.column) + "TDH"[static_cast<int>(f.function)] + " ";
    out += "|";
    for (const rdb::DeskSortKey& k : w.order) out += " " + std::to_string(k.column) + (k.descending ? "-" : "+");
    return out;
}

// What the desk does to a PostgreSQL result instead of the server: the display functions of
// digit columns, and an order made only of them.
TEST(DialectPostgres, DeskWork) {
    rdb::Translation t;
    std::string err;
    ASSERT_TRUE(rdb::TranslateToPostgres(Fmt((std::string(kLoanPrefix) + kLoanUnprocessedTail).c_str(), "5",
                                             "20261201", "20261208") +
                                             kListOrder,
                                         &t, &err));
    EXPECT_EQ(Work(t.desk), "2T 3T 6D 7H | 6+ 7+");
    EXPECT_EQ(t.sql.find("F_FMT"), std::string::npos);
    EXPECT_EQ(t.sql.find("order"), std::string::npos);

    const std::string items = "select ACS_ID, dbo.F_FMT_DATE(DIAL_DATE) D, F_FMT_TEL(r.CALLER_ID)as C, AGENT_NM";
    const std::pair<std::string, const char*> kCases[] = {
        {items + " from RST_INB r order by D desc, C", "1D 2T | 1- 2+"},
        // A name the server would compare ignoring case, a position or an expression keeps
        // the order on the server, and then the items it names are formatted there too.
        {items + " from RST_INB r order by AGENT_NM, D", "2T |"},
        {items + " from RST_INB r order by D, AGENT_NM", "2T |"},
        {items + " from RST_INB r order by 2", "none"},
        {items + " from RST_INB r order by C + 'x'", "1D |"},
        // A name given to two items is the server's to refuse.
        {items + ", r.DIAL_DATE D from RST_INB r order by D", "2T |"},
        // Only digit columns, as themselves, with an alias.
        {"select dbo.F_FMT_TEL(AGENT_NM) A, dbo.F_FMT_TEL(CALLER_ID + '') B, dbo.F_FMT_TEL(CALLER_ID) from RST_INB "
         "order by A",
         "none"},
        // Nothing moves out of a statement that makes, picks or joins rows of rows.
        {"select top 3 ACS_ID, dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB order by D", "none"},
        {"select distinct dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB order by D", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB group by DIAL_DATE order by D", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D, ACS_ID from RST_INB order by ACS_ID offset (5) rows", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB union select '1' order by D", "none"},
        {"select *, dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D, (select max(ACS_ID) from RST_INB) M from RST_INB", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D from (select AGENT_NM DIAL_DATE from RST_INB) x order by D", "none"},
        {"select dbo.F_FMT_DATE(DIAL_DATE) D from RST_INB; select 1", "none"},
    };
    for (const auto& [tsql, work] : kCases) {
        ASSERT_TRUE(rdb::TranslateToPostgres(tsql, &t, &err)) << err << "\n" << tsql;
        EXPECT_EQ(t.desk.Empty() ? "none" : Work(t.desk), std::string(work)) << tsql << "\n-> " << t.sql;
        if (t.desk.order.empty() && tsql.find("order by") != std::string::npos) {
            EXPECT_NE(t.sql.find("order by"), std::string::npos) << t.sql;
        }
    }
    EXPECT_EQ(Pg(items + " from RST_INB r order by AGENT_NM"),
              "select ACS_ID, DIAL_DATE AS D, r.CALLER_ID as C, AGENT_NM from RST_INB r order by AGENT_NM NULLS FIRST");
}

TEST(DialectPostgres, CallsRunAsFunctionsWithBoundArguments) {
    rdb::Translation t;
    std::string err;
    ASSERT_TRUE(rdb::TranslateToPostgres(Fmt(kRateCall, "u1", "20261201", "20261208"), &t, &err)) << err;
    ASSERT_EQ(t.kind, rdb::Translation::Kind::Call);
    std::string name = kRateProcedure;
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    EXPECT_EQ(t.sql, "SELECT * FROM \"" + name + "\"($1, $2, $3)");
    EXPECT_EQ(t.call.args, (std::vector<std::string>{"u1", "20261201", "20261208"}));

    ASSERT_TRUE(rdb::TranslateToPostgres("exec [dbo].[My \"Proc] 'a''); drop table x; --', NULL", &t, &err));
    EXPECT_EQ(t.sql, "SELECT * FROM \"my \"\"proc\"($1, $2)") << "values are bound, never in the text";
    EXPECT_EQ(t.call.args[0], "a'); drop table x; --");
    EXPECT_EQ(t.call.argIsNull, (std::vector<bool>{false, true}));
}

}  // namespace
