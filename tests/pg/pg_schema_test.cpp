// The schema on PostgreSQL: installed once and versioned, its display and rate functions
// giving the embedded engine's values, text compared as the embedded engine compares it,
// and the new-record count answered from its index.
#include <gtest/gtest.h>

#include <atomic>

#include "data/Queries.h"
#include "rdb/demo/DemoData.h"
#include "rdb/dialect/DeskWork.h"
#include "rdb/dialect/DialectAdapter.h"
#include "rdb/engine/DisplayFunctions.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/PgCluster.h"

namespace {

using rdb::pg::InitResult;
using Rows = std::vector<std::vector<std::string>>;

std::string NewDatabase(const std::string& prefix) {
    static std::atomic<int> next{0};
    const std::string name = prefix + std::to_string(++next);
    SharedPgCluster().Exec("CREATE DATABASE " + name + " OWNER " + kDeskLogin);
    return name;
}

rdb::pg::ConnPtr Desk(const std::string& db) {
    std::string error;
    rdb::pg::ConnPtr conn = rdb::pg::Connect(SharedPgCluster().TcpUri(db, kDeskLogin), 30000, &error);
    if (!conn) throw std::runtime_error(error);
    return conn;
}

TEST(PgSchema, InstallsOnceMigratesNothingTwiceAndRefusesForeignOrNewerDatabases) {
    const std::string db = NewDatabase("schema_");
    rdb::pg::ConnPtr conn = Desk(db);
    std::string message;
    EXPECT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Created) << message;
    EXPECT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::UpToDate) << message;
    Rows versions;
    for (int v = 1; v <= rdb::pg::CurrentSchemaVersion(); ++v) versions.push_back({std::to_string(v)});
    EXPECT_EQ(SharedPgCluster().Rows("SELECT version FROM orvanta_schema ORDER BY 1", db), versions);
    // A schema from a later program is left alone.
    SharedPgCluster().Exec(
        "UPDATE orvanta_schema SET version = 99 WHERE version = (SELECT max(version) FROM orvanta_schema)", db);
    EXPECT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Refused);
    EXPECT_NE(message.find("99"), std::string::npos) << message;

    // Somebody else's database: nothing is created in it.
    const std::string foreign = NewDatabase("foreign_");
    SharedPgCluster().Exec("CREATE SCHEMA crm; CREATE TABLE crm.customers (id int)", foreign);
    rdb::pg::ConnPtr other = Desk(foreign);
    EXPECT_EQ(rdb::pg::EnsureSchema(other.get(), &message), InitResult::Refused);
    EXPECT_NE(message.find("customers"), std::string::npos) << message;
    EXPECT_TRUE(SharedPgCluster().Rows("SELECT 1 FROM pg_class WHERE relname = 'rst_inb'", foreign).empty());
}

// The desk sorts formatted values of these columns bytewise: only right while the server
// compares them so.
TEST(PgSchema, ColumnsTheDeskSortsAreComparedBytewiseOnTheServer) {
    const std::string db = NewDatabase("collation_");
    rdb::pg::ConnPtr conn = Desk(db);
    std::string message;
    ASSERT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Created) << message;
    const Rows columns = SharedPgCluster().Rows(
        "SELECT a.attname, coalesce(c.collname, '') FROM pg_attribute a LEFT JOIN pg_collation c ON c.oid = a.attcollation "
        "WHERE a.attrelid = 'rst_inb'::regclass AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
        db);
    int sorted = 0;
    for (const auto& column : columns) {
        if (!rdb::dialect::IsDeskDigitColumn(column[0])) continue;
        ++sorted;
        EXPECT_EQ(column[1], "C") << column[0];
    }
    EXPECT_EQ(sorted, 10);
}

TEST(PgSchema, DisplayFunctionsFormatExactlyAsTheEmbeddedEngine) {
    const std::string db = NewDatabase("fmt_");
    rdb::pg::ConnPtr conn = Desk(db);
    std::string message, error;
    ASSERT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Created) << message;
    struct Case {
        const char* function;
        std::string (*expected)(std::string_view);
        std::vector<std::string> inputs;
    };
    const std::vector<Case> cases = {
        {"F_FMT_TEL", &rdb::FormatTel,
         {"0212345678", "021234567", "02123456789", "0212345", "0311234567", "03112345678", "031123456789",
          "05051234567", "050512345678", "0505123456", "15881234", "16001234", "18001234", "17001234", "1588123",
          "010-1234-5678", "", "  ", "0212345678 ", "0212345678\t", "12345678", "abc", "０２１２３４５６７８",
          "김02123", " 0212345678", "02 1234567", "0311234567\x01", "050512345678\x01"}},
        {"F_FMT_DATE", &rdb::FormatDate,
         {"20261201", "2026120", "202612011", "20261201 ", "2026-12-01", "２０２６１２０１", "", "x", "2026120\x01",
          " 2026120"}},
        {"F_FMT_TIME", &rdb::FormatTime,
         {"090000", "0930", "9", "093000  ", "0930 ", "09300", "0900001", "09:00", "", "093\x01", "09300\x01"}},
    };
    for (const Case& c : cases) {
        for (const std::string& in : c.inputs) {
            // Also with the case-ignoring collation, under which a control character is
            // ignorable: it must not pass for a digit.
            for (const char* arg : {"$1", "$1::bpchar COLLATE orvanta_text"}) {
                rdb::pg::ResultPtr r = rdb::pg::Exec(
                    conn.get(), std::string("SELECT ") + c.function + "(" + arg + ")", {in}, &error);
                ASSERT_TRUE(r) << error;
                EXPECT_EQ(PQgetvalue(r.get(), 0, 0), c.expected(in)) << c.function << "('" << in << "') " << arg;
            }
        }
        rdb::pg::ResultPtr r = rdb::pg::Exec(conn.get(), std::string("SELECT ") + c.function + "(NULL)", {}, &error);
        ASSERT_TRUE(r) << error;
        EXPECT_TRUE(PQgetisnull(r.get(), 0, 0)) << c.function;
    }
    // Inlined into a list, not called once per row: a call costs several times the expression.
    rdb::pg::ResultPtr plan = rdb::pg::Exec(
        conn.get(), "EXPLAIN VERBOSE SELECT F_FMT_TEL(RECV_PHONE), F_FMT_DATE(DIAL_DATE), F_FMT_TIME(DIAL_TIME) FROM RST_INB",
        {}, &error);
    ASSERT_TRUE(plan) << error;
    for (int i = 0; i < PQntuples(plan.get()); ++i)
        EXPECT_EQ(std::string(PQgetvalue(plan.get(), i, 0)).find("f_fmt_"), std::string::npos) << PQgetvalue(plan.get(), i, 0);
}

TEST(PgSchema, RateFunctionAndTextComparisonsGiveTheEmbeddedEnginesRows) {
    TempDir dir;
    const std::string path = dir.File("demo.db");
    rdb::Error e;
    {
        rdb::Engine::Options make;
        make.create = true;
        auto engine = rdb::Engine::Open(path, make, &e);
        ASSERT_TRUE(engine) << e.message;
        rdb::DemoOptions options;
        options.days = 4;
        options.recordsPerDay = 300;
        ASSERT_TRUE(rdb::FillDemoData(*engine, options, &e)) << e.message;
        // Names that differ only in case and trailing blanks are one name on both engines.
        for (const char* sql :
             {"insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', 'Kim', 'a', 1)",
              "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', 'KIM ', 'b', 2)",
              "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('DEMO', 'ann', 'c', 3)",
              "insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', 'Bob', 'd', 4)"})
            ASSERT_TRUE(engine->Execute(sql, nullptr, &e)) << e.message;
    }
    const std::string db = NewDatabase("rate_");
    {
        rdb::pg::ConnPtr conn = Desk(db);
        std::string message, error;
        ASSERT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Created) << message;
        auto engine = rdb::Engine::Open(path, &e);
        ASSERT_TRUE(rdb::pg::CopyFromEngine(*engine, conn.get(), rdb::pg::CopyOptions(), nullptr, &error)) << error;
    }
    const std::string embedded = "file:" + path;
    const std::string pg = SharedPgCluster().TcpUri(db, kDeskLogin);
    const std::string first = SharedPgCluster().Rows("SELECT min(DIAL_DATE) FROM RST_INB", db)[0][0];
    const std::string last = SharedPgCluster().Rows("SELECT max(DIAL_DATE) FROM RST_INB", db)[0][0];

    // The rate report: the embedded procedure against the server's function.
    for (const std::string& user : {std::string("demo"), std::string("DEMO  "), std::string("other")}) {
        const std::vector<std::string> expected =
            RowStrings(embedded, sql::CallbackRateSql(user, first, last));
        ASSERT_GT(expected.size(), 10u) << expected[0];
        std::vector<std::string> got;
        rdb::pg::ConnPtr conn = Desk(db);
        std::string error;
        rdb::pg::ResultPtr r =
            rdb::pg::Exec(conn.get(), "SELECT * FROM P_INB_콜백률조회($1, $2, $3)", {user, first, last}, &error);
        ASSERT_TRUE(r) << error;
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            std::string row;
            for (int c = 0; c < PQnfields(r.get()); ++c) rdb::AppendRowValue(row, PQgetvalue(r.get(), i, c));
            got.push_back(row);
        }
        EXPECT_EQ(got, expected) << user;
    }
    // Plain statements both engines read alike: comparison, grouping and order of text.
    for (const char* sql : {
             "select count(*), sum(DIST_COUNT) from USER_AGENT_INFO where USER_ID = 'demo ' and AGENT_NM "
             "in ('kim', 'BOB') group by AGENT_NM order by 2",
             "select count(*) from USER_AGENT_INFO where USER_ID = 'Demo'",
             "select AGENT_NM from USER_AGENT_INFO where AGENT_NM in ('ann', 'Bob') order by AGENT_NM",
             "select count(*) from RST_INB where IS_CALLBACK = '1 ' and DIAL_DATE between '00000000' and '99999999'",
         }) {
        EXPECT_EQ(RowStrings(pg, sql), RowStrings(embedded, sql)) << sql;
    }
}

TEST(PgSchema, TheNewRecordCountIsAnsweredFromItsIndex) {
    const std::string db = NewDatabase("plan_");
    rdb::pg::ConnPtr conn = Desk(db);
    std::string message, error;
    ASSERT_EQ(rdb::pg::EnsureSchema(conn.get(), &message), InitResult::Created) << message;
    // 60,000 records over 30 services and 40 days, a few of them unprocessed requests.
    ASSERT_TRUE(rdb::pg::Command(
        conn.get(),
        "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE) SELECT g, 's' || g, 'u', 1 "
        "FROM generate_series(1, 30) g;"
        "INSERT INTO RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, IS_CALLBACK, IS_PRINT) "
        "SELECT 1 + g % 30, 'u', to_char(date '2026-11-01' + (g % 40), 'YYYYMMDD'), '090000', "
        "CASE WHEN g % 3 = 0 THEN '1' ELSE '0' END, CASE WHEN g % 50 = 0 THEN '0' ELSE '1' END "
        "FROM generate_series(1, 60000) g;"
        "ANALYZE",
        &error))
        << error;
    rdb::Translation t;
    ASSERT_TRUE(rdb::TranslateToPostgres(sql::NewCountSql("7", "20261201", "20261208", ""), &t, &error)) << error;
    rdb::pg::ResultPtr plan = rdb::pg::Exec(conn.get(), "EXPLAIN " + t.sql, {}, &error);
    ASSERT_TRUE(plan) << error << "\n" << t.sql;
    std::string text;
    for (int i = 0; i < PQntuples(plan.get()); ++i) text += std::string(PQgetvalue(plan.get(), i, 0)) + "\n";
    EXPECT_NE(text.find("xie7rst_inb"), std::string::npos) << text;
    EXPECT_EQ(text.find("Seq Scan on rst_inb"), std::string::npos) << text;
}

}  // namespace
