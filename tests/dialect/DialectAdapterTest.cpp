// Every statement the desk sends, formatted with sample values, must translate and give the
// rows SQL Server would give on a small database.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "rdb/dialect/DialectAdapter.h"
#include "rdb/engine/TextCollation.h"
#include "tests/dialect/DeskStatements.h"

using namespace dialect_test;

namespace {

using Row = std::vector<std::string>;

struct Result {
    std::vector<std::string> names;
    std::vector<Row> rows;
};

// Stand-ins for the display functions: a marker and the value, NULL stays NULL.
void Prefixed(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    std::string s = static_cast<const char*>(sqlite3_user_data(ctx));
    s += reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    sqlite3_result_text(ctx, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

class DialectOnSqlite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        ASSERT_EQ(rdb::RegisterTextCollation(db_), SQLITE_OK);
        static const char* kPrefixes[][2] = {{"F_FMT_TEL", "T:"}, {"F_FMT_DATE", "D:"}, {"F_FMT_TIME", "H:"}};
        for (auto& p : kPrefixes)
            sqlite3_create_function(db_, p[0], 1, SQLITE_UTF8, const_cast<char*>(p[1]), Prefixed, nullptr,
                                    nullptr);
        Exec(R"(
CREATE TABLE RST_INB(ACS_ID INTEGER PRIMARY KEY, SVC_ID INTEGER, USER_ID TEXT COLLATE CI_PAD,
  RECV_PHONE TEXT, CALLER_ID TEXT, CUST_INFO TEXT, DIAL_DATE TEXT, DIAL_TIME TEXT, COMM_TIME TEXT,
  IS_PRINT TEXT, IS_CALLBACK TEXT, IS_DELETE TEXT, RES_REPLY TEXT, COMMENT TEXT,
  AGENT_NM TEXT COLLATE CI_PAD);
CREATE INDEX XIE7RST_INB ON RST_INB(SVC_ID, DIAL_DATE);
CREATE INDEX XIE4RST_INB ON RST_INB(USER_ID, DIAL_DATE);
CREATE TABLE SERVICE_INFO(SVC_ID INTEGER PRIMARY KEY, SVC_NM TEXT, USER_ID TEXT COLLATE CI_PAD,
  SVC_TYPE INTEGER, CALLBACK_DIST INTEGER, NO_REQ_DISP INTEGER);
CREATE TABLE USER_INFO(USER_ID TEXT COLLATE CI_PAD PRIMARY KEY, USER_NM TEXT, PASSWORD TEXT);
CREATE TABLE USER_AGENT_INFO(SEQ_NO INTEGER PRIMARY KEY AUTOINCREMENT, USER_ID TEXT COLLATE CI_PAD,
  AGENT_NM TEXT COLLATE CI_PAD, PASSWORD TEXT, DIST_COUNT INTEGER);
INSERT INTO SERVICE_INFO VALUES (5,'Loan','u1',1,1,1),(7,'General','u1',2,0,1),(8,'Info','u1',3,0,0),
  (9,'Other','u2',1,0,0);
INSERT INTO USER_INFO VALUES ('u1','User One','pw1');
INSERT INTO USER_AGENT_INFO(USER_ID,AGENT_NM,PASSWORD,DIST_COUNT) VALUES ('u1','kim','kpw',5);
)");
    }
    void TearDown() override { sqlite3_close(db_); }

    void Exec(const std::string& sql) {
        char* msg = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg), SQLITE_OK) << (msg ? msg : "");
    }

    // ACS_ID, SVC_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE,
    // RES_REPLY, AGENT_NM (NULL when empty); the rest is derived from the id.
    void Record(int id, int svc, const char* cust, const char* date, const char* time, const char* print,
                const char* callback, const char* del, const char* reply, const char* agent,
                const char* user = "u1") {
        Exec(
            Fmt("INSERT INTO RST_INB VALUES (%d,%d,'%s','0210%d','0109%d','%s','%s','%s','%d','%s','%s','%s',"
                "'%s','memo%d',%s)",
                id, svc, user, id, id, cust, date, time, id * 10, print, callback, del, reply, id,
                *agent ? Fmt("'%s'", agent).c_str() : "NULL"));
    }

    Result Run(const std::string& tsql) {
        Result r;
        rdb::Translation t;
        std::string err;
        if (!rdb::TranslateToSqlite(tsql, &t, &err)) {
            ADD_FAILURE() << "not translated: " << err << "\n" << tsql;
            return r;
        }
        EXPECT_EQ(t.kind, rdb::Translation::Kind::Statement);
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, t.sql.c_str(), static_cast<int>(t.sql.size()), &st, nullptr) !=
            SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db_) << "\n" << t.sql;
            return r;
        }
        for (int c = 0; c < sqlite3_column_count(st); ++c) r.names.emplace_back(sqlite3_column_name(st, c));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            Row row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto* v = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                row.emplace_back(v ? v : "<NULL>");
            }
            r.rows.push_back(std::move(row));
        }
        EXPECT_EQ(rc, SQLITE_DONE) << sqlite3_errmsg(db_) << "\n" << t.sql;
        sqlite3_finalize(st);
        return r;
    }

    std::vector<std::string> Column(const Result& r, size_t c) {
        std::vector<std::string> v;
        for (const Row& row : r.rows) v.push_back(c < row.size() ? row[c] : "?");
        return v;
    }

    sqlite3* db_ = nullptr;
};

using V = std::vector<std::string>;

class CallbackLists : public DialectOnSqlite {
protected:
    void SetUp() override {
        DialectOnSqlite::SetUp();
        Record(1, 5, "11", "20261202", "0930", "0", "1", "0", "1", "");
        Record(2, 5, "22", "20261201", "1200", "0", "1", "0", "1", "kim");
        Record(3, 5, "", "20261203", "0800", "0", "1", "0", "1", "");
        Record(4, 5, "3x", "20261203", "0700", "1", "1", "0", "1", "");   // processed
        Record(5, 5, "1", "20261204", "0600", "0", "1", "1", "1", "");    // deleted
        Record(6, 5, "21", "20261205", "0500", "0", "0", "0", "9", "");   // opt-out
        Record(7, 5, "11", "20261130", "0900", "0", "1", "0", "1", "");   // before the period
        Record(8, 7, "", "20261202", "1000", "0", "1", "0", "1", "kim");  // general service
    }
    std::string Loan(const char* tail, const char* agent = nullptr) {
        std::string sql = Fmt((std::string(kLoanPrefix) + tail).c_str(), "5", "20261201", "20261208");
        if (agent) sql += std::string(kAgentCondition) + agent + "'";
        return sql + kListOrder;
    }
};

TEST_F(CallbackLists, LoanLayoutShowsPaymentTypeAndAmountInDateOrder) {
    Result r = Run(Loan(kLoanUnprocessedTail));
    ASSERT_EQ(r.names.size(), 13u);
    r.names[1] = "";  // an expression without a name
    EXPECT_EQ(r.names, (V{"ACS_ID", "", "RECV_PHONE", "CALLER_ID", "TYPE", "AMT", "DIAL_DATE", "DIAL_TIME",
                          "IS_PRINT", "COMMENT", "COMM_TIME", "IS_CALLBACK", "AGENT_NM"}))
        << "aliases of NAME = expr items and of f(x)NAME items";
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0], (V{"2", "5.Loan", "T:02102", "T:01092", kCash, kOver5M, "D:20261201", "H:1200",
                            kUnprocessed, "memo2", "20", kRequested, "kim"}));
    EXPECT_EQ(Column(r, 0), (V{"2", "1", "3"}));
    EXPECT_EQ(r.rows[1][4], kPaidOnBehalf);
    EXPECT_EQ(r.rows[1][5], kUpTo5M);
    EXPECT_EQ(r.rows[2][4], "") << "empty CUST_INFO";
    EXPECT_EQ(r.rows[2][5], "");

    EXPECT_EQ(Column(Run(Loan(kLoanProcessedTail)), 8), (V{kProcessed}));
    Result all = Run(Loan(kLoanAllTail));
    EXPECT_EQ(Column(all, 0), (V{"2", "1", "4", "3", "5"})) << "all: deleted kept, opt-out left out";
    EXPECT_EQ(all.rows[2][4], "") << "unknown type character";
    EXPECT_EQ(all.rows[4][4], kPaidOnBehalf);
    EXPECT_EQ(all.rows[4][5], "") << "one-character CUST_INFO has no amount";

    EXPECT_EQ(Column(Run(Loan(kLoanUnprocessedTail, "KIM")), 0), (V{"2"})) << "agent's own rows";
}

TEST_F(CallbackLists, GeneralLayoutLists) {
    for (const char* tail : {kGeneralUnprocessedTail, kGeneralProcessedTail, kGeneralAllTail}) {
        std::string sql =
            Fmt((std::string(kGeneralPrefix) + tail).c_str(), "7", "20261201", "20261208") + kListOrder;
        Result r = Run(sql);
        if (tail == kGeneralProcessedTail) {
            EXPECT_TRUE(r.rows.empty());
            continue;
        }
        ASSERT_EQ(r.rows.size(), 1u) << sql;
        EXPECT_EQ(r.rows[0], (V{"8", "7.General", "T:02108", "T:01098", "D:20261202", "H:1000", "80",
                                kUnprocessed, kRequested, "memo8", "kim"}));
    }
}

TEST_F(CallbackLists, NewRecordCountWithTabsAndIndexHint) {
    const std::string count = Fmt(kCountStatement.c_str(), "5", "20261201", "20261208");
    ASSERT_NE(count.find('\t'), std::string::npos);
    EXPECT_EQ(Run(count).rows, (std::vector<Row>{{"3"}}));
    EXPECT_EQ(Run(count + kAgentCondition + "kim'").rows, (std::vector<Row>{{"1"}}));
    EXPECT_EQ(Run(Fmt(kCountStatement.c_str(), "5", "20261209", "20261201")).rows, (std::vector<Row>{{"0"}}))
        << "a reversed period selects nothing";
}

TEST_F(CallbackLists, OptOutListForOneServiceOrAllOfTheUser) {
    Record(20, 7, "", "20261203", "0400", "0", "0", "1", "9", "");
    Record(21, 9, "", "20261203", "0300", "0", "0", "0", "9", "", "u2");
    const std::string byUser = Fmt(kOptOutList, "20261201", "20261208", Fmt(kOptOutUserFilter, "u1").c_str());
    Result r = Run(byUser);
    EXPECT_EQ(r.rows, (std::vector<Row>{{"7.General", "021020", "010920", "20261203", "0400", "20"},
                                        {"5.Loan", "02106", "01096", "20261205", "0500", "6"}}))
        << "ordered by DIAL_TIME alone";
    const std::string bySvc =
        Fmt(kOptOutList, "20261201", "20261208", Fmt(kOptOutServiceFilter, "5").c_str());
    EXPECT_EQ(Column(Run(bySvc), 5), (V{"6"})) << "SVC_ID compared with a quoted number";
}

TEST_F(CallbackLists, RecordActionsUpdateTheRecord) {
    Run(Fmt(kMarkPrinted, "1"));
    Run(Fmt(kSetComment, (std::string(kSubtotal) + " it''s").c_str(), "1"));
    Run(Fmt(kSetAgent, "lee", "1"));
    Result r = Run("select IS_PRINT, COMMENT, AGENT_NM from RST_INB where ACS_ID = 1");
    EXPECT_EQ(r.rows, (std::vector<Row>{{"1", std::string(kSubtotal) + " it's", "lee"}}));
    EXPECT_EQ(Run(Fmt(kAgentNames, "u1")).rows, (std::vector<Row>{{"kim"}}));
}

TEST_F(DialectOnSqlite, LoginAndServiceLookups) {
    EXPECT_EQ(Run(Fmt(kLoginUser, "u1")).rows, (std::vector<Row>{{"u1", "User One", "", "pw1"}}));
    EXPECT_EQ(Run(Fmt(kLoginAgent, "u1", "kim")).rows, (std::vector<Row>{{"u1", "User One", "kim", "kpw"}}));
    EXPECT_TRUE(Run(Fmt(kLoginAgent, "u1", "nobody")).rows.empty());
    EXPECT_EQ(Column(Run(Fmt(kServiceTypes, "u1")), 0), (V{"1", "2"}));
    EXPECT_EQ(Run(Fmt(kServiceType, 7)).rows, (std::vector<Row>{{"2"}}));
    EXPECT_EQ(Run(Fmt(kMaxCallbackDist, "u1")).rows, (std::vector<Row>{{"1"}}));
    EXPECT_EQ(Run(Fmt(kCallbackDist, 5)).rows, (std::vector<Row>{{"1"}}));
    EXPECT_EQ(Run(Fmt(kNoReqDisp, 8)).rows, (std::vector<Row>{{"0"}}));
    EXPECT_EQ(Column(Run(Fmt(kServiceCombo, "u1")), 0), (V{"5", "7", "8"}));
}

TEST_F(DialectOnSqlite, AgentInsertUpdateDelete) {
    // The statement builder's insert and update forms, with quotes doubled in the values.
    Run("insert into USER_AGENT_INFO ( USER_ID, AGENT_NM, PASSWORD, DIST_COUNT ) values ( 'u1', 'o''neil', "
        "'p''w', 3 ) ");
    EXPECT_EQ(Run(Fmt(kAgentExists, "u1", "o''neil")).rows.size(), 1u);
    Result list = Run(Fmt(kAgentList, "u1"));
    ASSERT_EQ(list.rows.size(), 2u);
    EXPECT_EQ(list.rows[1][1], "o'neil");
    const int seq = std::stoi(list.rows[1][0]);
    Run(Fmt("update USER_AGENT_INFO set PASSWORD = 'new', DIST_COUNT = 7 where SEQ_NO = %d ", seq));
    EXPECT_EQ(Run(Fmt(kAgentList, "u1")).rows[1], (Row{list.rows[1][0], "o'neil", "new", "7"}));
    Run(Fmt(kAgentDelete, seq));
    EXPECT_TRUE(Run(Fmt(kAgentExists, "u1", "o''neil")).rows.empty());
}

class Distribution : public DialectOnSqlite {
protected:
    void SetUp() override {
        DialectOnSqlite::SetUp();
        int id = 100;
        auto add = [&](const char* agent, const char* date, const char* callback = "1", const char* del = "0",
                       const char* user = "u1") {
            Record(id++, 5, "", date, "1000", "0", callback, del, "1", agent, user);
        };
        add("lee", "20261203");
        add("kim", "20261201");
        add("", "20261202");
        add("lee", "20261201");
        add("kim", "20261202");
        add("kim", "20261201");
        add("lee", "20261203");
        add("", "20261201");
        add("kim", "20261201", "1", "0", "u2");  // another user
        add("kim", "20261201", "1", "1");        // deleted
        add("kim", "20261201", "0");             // no callback asked
        add("kim", "20261209");                  // after the period
    }
};

TEST_F(Distribution, RollupRowsComeInSqlServerOrder) {
    Result r = Run(Fmt(kDistribution, "u1", "20261201", "20261203"));
    EXPECT_EQ(r.names, (V{"AGENT_NM", "DIAL_DATE", "CNT"}));
    EXPECT_EQ(r.rows, (std::vector<Row>{{kUndistributed, "20261201", "1"},
                                        {kUndistributed, "20261202", "1"},
                                        {kUndistributed, kSubtotal, "2"},
                                        {"kim", "20261201", "2"},
                                        {"kim", "20261202", "1"},
                                        {"kim", kSubtotal, "3"},
                                        {"lee", "20261201", "1"},
                                        {"lee", "20261203", "2"},
                                        {"lee", kSubtotal, "3"},
                                        {kGrandTotal, "-", "8"}}));
    EXPECT_TRUE(Run(Fmt(kDistribution, "u1", "20270101", "20270131")).rows.empty())
        << "no requests give no total row either";
}

TEST_F(Distribution, RollupGroupsByTableColumnsAndFiltersRealRows) {
    // The alias DIAL_DATE hides the column of the same name; grouping must still use the column.
    Result r =
        Run("select DIAL_DATE = substring(DIAL_DATE, 1, 6), CNT = count(*) from RST_INB "
            "where USER_ID = 'u1' and IS_CALLBACK = '1' and DIAL_DATE <= '20261203' group by DIAL_DATE "
            "with rollup");
    EXPECT_EQ(r.rows, (std::vector<Row>{{"202612", "5"}, {"202612", "2"}, {"202612", "2"}, {"<NULL>", "9"}}));
    // WHERE sees real values on every level; aggregates see the rows, not the rolled-up NULL.
    r = Run(
        "select r.AGENT_NM, LAST = max(r.AGENT_NM), CNT = count(*) from RST_INB r with (nolock) "
        "where r.AGENT_NM is not null and USER_ID = 'u1' group by rollup(r.AGENT_NM) having count(*) > 3");
    EXPECT_EQ(r.names, (V{"AGENT_NM", "LAST", "CNT"}));
    EXPECT_EQ(r.rows, (std::vector<Row>{{"kim", "kim", "6"}, {"<NULL>", "lee", "9"}}));
}

TEST_F(DialectOnSqlite, PlusJoinsStringsAndAddsNumbers) {
    Result r =
        Run("select convert(varchar, SVC_ID * 2) + '-' + convert(varchar(10), SVC_ID + 1), "
            "SVC_ID + 1 + CALLBACK_DIST, (SVC_NM + '!') + SVC_NM, isnull(NULL, '') + isnull(SVC_NM, ''), "
            "N'a' + 'b', [SVC_NM] + substring(SVC_NM, 1, 1), 'x' + convert(varchar, SVC_ID % 3 * 2) "
            "from dbo.SERVICE_INFO WITH(INDEX(x), NOLOCK) where SVC_ID = 5");
    EXPECT_EQ(r.rows, (std::vector<Row>{{"10-6", "7", "Loan!Loan", "Loan", "ab", "LoanL", "x4"}}));
}

TEST_F(DialectOnSqlite, CommentsAndLayoutAreHarmless) {
    Result r =
        Run("select /* key */ SVC_ID -- first\n,\tSVC_NM\r\n from SERVICE_INFO\t\twhere SVC_ID in(5, 7) "
            "/* a /* nested */ comment */ order by SVC_ID desc");
    EXPECT_EQ(r.rows, (std::vector<Row>{{"7", "General"}, {"5", "Loan"}}));
}

}  // namespace
