// rdbcli on PostgreSQL, the built binary run as a child process: --init, --create-demo,
// --feed and --copy from an embedded database, after which the desk sees the same rows.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "data/Queries.h"
#include "tests/support/ChildProcess.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/PgCluster.h"

namespace {

// out holds standard output and error together.
using Result = ChildResult;

Result Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv{RDBCLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv);
}

std::string NewDatabase(const std::string& prefix) {
    static std::atomic<int> next{0};
    const std::string name = prefix + std::to_string(++next);
    SharedPgCluster().Exec("CREATE DATABASE " + name + " OWNER " + kDeskLogin);
    return name;
}

std::string Count(const std::string& db, const std::string& table) {
    return SharedPgCluster().Rows("SELECT count(*) FROM " + table, db)[0][0];
}

TEST(PgTools, InitInstallsOnceAndRefusesADatabaseHoldingOtherTables) {
    const std::string db = NewDatabase("cli_init_");
    const std::string uri = SharedPgCluster().TcpUri(db, kDeskLogin);
    Result r = Cli({"--init", uri});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("installed schema version " + std::to_string(rdb::pg::CurrentSchemaVersion())),
              std::string::npos)
        << r.out;
    r = Cli({"--init", uri});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("installed already"), std::string::npos) << r.out;

    const std::string other = NewDatabase("cli_other_");
    SharedPgCluster().Exec("CREATE TABLE invoices (id int)", other);
    r = Cli({"--init", SharedPgCluster().TcpUri(other, kDeskLogin)});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("invoices"), std::string::npos) << r.out;
}

TEST(PgTools, CopyMovesEveryRowAndTheDeskListsTheSameRows) {
    TempDir dir;
    const std::string path = dir.File("demo.db");
    ASSERT_EQ(Cli({"--create-demo", path, "--days", "5", "--per-day", "300"}).exitCode, 0);
    // A value COPY's text format must escape, and a deleted key at the top of the range.
    const std::string embedded = "file:" + path;
    ASSERT_EQ(Cli({"-S", embedded, "-Q", "update RST_INB set COMMENT = 'tab\there \\N back\\slash' where ACS_ID = 1"})
                  .exitCode,
              0);
    const std::string top = RowStrings(embedded, "select max(ACS_ID) from RST_INB")[0];
    ASSERT_EQ(Cli({"-S", embedded, "-Q", "delete from RST_INB where ACS_ID = " + top.substr(0, top.size() - 2)}).exitCode,
              0);

    const std::string db = NewDatabase("cli_copy_");
    const std::string uri = SharedPgCluster().TcpUri(db, kDeskLogin);
    Result r = Cli({"--copy", path, uri});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("RST_INB: "), std::string::npos) << r.out;

    // Every table, row for row.
    for (const char* sql : {"select USER_ID, USER_NM, PASSWORD from USER_INFO order by USER_ID",
                            "select SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP from SERVICE_INFO "
                            "order by SVC_ID",
                            "select SEQ_NO, USER_ID, AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO order by SEQ_NO",
                            "select ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, "
                            "COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM from RST_INB "
                            "order by ACS_ID"}) {
        const std::vector<std::string> expected = RowStrings(embedded, sql);
        ASSERT_GT(expected.size(), 1u) << sql;
        EXPECT_EQ(RowStrings(uri, sql), expected) << sql;
    }
    // What the desk lists, from both homes.
    const std::string first = SharedPgCluster().Rows("SELECT min(DIAL_DATE) FROM RST_INB", db)[0][0];
    const std::string last = SharedPgCluster().Rows("SELECT max(DIAL_DATE) FROM RST_INB", db)[0][0];
    for (const std::string& sql : {sql::CallbackListSql(true, sql::ListKind::All, "1001", first, last, ""),
                                   sql::CallbackListSql(false, sql::ListKind::Unprocessed, "1002", first, last, ""),
                                   sql::NewCountSql("1001", first, last, "김상담"),
                                   sql::DistStatusSql("demo", first, last)}) {
        const std::vector<std::string> expected = RowStrings(embedded, sql);
        ASSERT_FALSE(expected.empty()) << sql;
        EXPECT_EQ(RowStrings(uri, sql), expected) << sql;
    }
    // New rows continue after the highest key ever given out, the deleted one included.
    RowStrings(uri, "insert into RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME) values (1001, 'demo', '20261201', "
                    "'090000')");
    const std::string next = SharedPgCluster().Rows("SELECT max(ACS_ID) FROM RST_INB", db)[0][0];
    EXPECT_EQ(std::stoll(next), std::stoll(top) + 1);
    // Copying again would mix two databases: refused, nothing added.
    const std::string before = Count(db, "RST_INB");
    r = Cli({"--copy", path, uri});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("not empty"), std::string::npos) << r.out;
    EXPECT_EQ(Count(db, "RST_INB"), before);
}

std::string Collation(const std::string& db, const std::string& column) {
    return SharedPgCluster().Rows("SELECT c.collname FROM pg_attribute a JOIN pg_collation c ON c.oid = a.attcollation "
                                  "WHERE a.attrelid = 'rst_inb'::regclass AND a.attname = '" + column + "'",
                                  db)[0][0];
}

// Installs schema version `from`, copies the embedded database at `path` into it, migrates
// it with --init and compares.
void MigrateAndCompare(const std::string& path, int from) {
    const std::string embedded = "file:" + path;
    const std::string db = NewDatabase("cli_migrate_");
    const std::string uri = SharedPgCluster().TcpUri(db, kDeskLogin);
    {
        std::string error, message;
        rdb::pg::ConnPtr conn = rdb::pg::Connect(uri, 30000, &error);
        ASSERT_TRUE(conn) << error;
        ASSERT_EQ(rdb::pg::EnsureSchemaVersion(conn.get(), from, &message), rdb::pg::InitResult::Created) << message;
        rdb::Error e;
        auto engine = rdb::Engine::Open(path, &e);
        ASSERT_TRUE(engine) << e.message;
        ASSERT_TRUE(rdb::pg::CopyFromEngine(*engine, conn.get(), rdb::pg::CopyOptions(), nullptr, &error)) << error;
    }
    if (from == 1) {
        ASSERT_EQ(Collation(db, "dial_date"), "orvanta_text");
    }
    const char* const kAll =
        "SELECT ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, COMM_TIME, IS_PRINT, "
        "IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM FROM RST_INB ORDER BY ACS_ID";
    const auto rowsBefore = SharedPgCluster().Rows(kAll, db);
    const auto agentsBefore = SharedPgCluster().Rows("SELECT * FROM USER_AGENT_INFO ORDER BY SEQ_NO", db);
    ASSERT_GT(rowsBefore.size(), 500u);

    Result r = Cli({"--init", uri});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string current = std::to_string(rdb::pg::CurrentSchemaVersion());
    EXPECT_NE(r.out.find("migrated the schema from version " + std::to_string(from) + " to " + current),
              std::string::npos)
        << r.out;
    EXPECT_EQ(SharedPgCluster().Rows("SELECT max(version) FROM orvanta_schema", db)[0][0], current);
    EXPECT_EQ(SharedPgCluster().Rows(kAll, db), rowsBefore);
    EXPECT_EQ(SharedPgCluster().Rows("SELECT * FROM USER_AGENT_INFO ORDER BY SEQ_NO", db), agentsBefore);
    // Digits compare bytewise now; what people type still ignores case.
    EXPECT_EQ(Collation(db, "dial_date"), "C");
    EXPECT_EQ(Collation(db, "agent_nm"), "orvanta_text");
    EXPECT_EQ(Cli({"--init", uri}).exitCode, 0);

    const std::string first = SharedPgCluster().Rows("SELECT min(DIAL_DATE) FROM RST_INB", db)[0][0];
    const std::string last = SharedPgCluster().Rows("SELECT max(DIAL_DATE) FROM RST_INB", db)[0][0];
    for (const std::string& sql :
         {sql::LoginSql("DEMO", ""), sql::LoginSql("Demo ", "KIM "), sql::LoginSql("demo", "kim"),
          sql::NewCountSql("1001", first, last, ""), sql::NewCountSql("1001", first, last, "KIM"),
          sql::NewCountSql("1001", first, last, "kim   "),
          sql::CallbackListSql(true, sql::ListKind::Unprocessed, "1001", first, last, ""),
          sql::CallbackListSql(true, sql::ListKind::Processed, "1001", first, last, "kIM "),
          sql::CallbackListSql(false, sql::ListKind::Unprocessed, "1002", first, last, "Kim"),
          sql::CallbackListSql(false, sql::ListKind::All, "1003", first, last, ""),
          sql::DistStatusSql("DEMO", first, last), sql::AgentNamesSql("demo "),
          std::string("select count(*) from RST_INB where COMMENT = 'CALL BACK MONDAY'"),
          std::string("select count(*) from RST_INB where IS_CALLBACK = '1 ' and DIAL_DATE between '" + first +
                      " ' and '" + last + "'")}) {
        const std::vector<std::string> expected = RowStrings(embedded, sql);
        ASSERT_FALSE(expected.empty()) << sql;
        ASSERT_EQ(expected[0].rfind("<error", 0), std::string::npos) << expected[0];
        EXPECT_EQ(RowStrings(uri, sql), expected) << sql;
    }
    // The typed agent name found its rows: the counts above are not empty ones.
    EXPECT_NE(RowStrings(uri, sql::NewCountSql("1001", first, last, "KIM"))[0], "0:;");
    // The agent at the top goes: its key is the next agent's now that keys are the largest
    // plus one, not an identity's.
    SharedPgCluster().Exec("DELETE FROM USER_AGENT_INFO WHERE SEQ_NO = (SELECT max(SEQ_NO) FROM USER_AGENT_INFO)", db);
    const std::string nextAgent = SharedPgCluster().Rows("SELECT max(SEQ_NO) + 1 FROM USER_AGENT_INFO", db)[0][0];
    ASSERT_EQ(Cli({"-S", uri, "-Q", sql::AgentInsertSql("demo", "새상담", "pw", 1)}).exitCode, 0);
    EXPECT_EQ(SharedPgCluster().Rows("SELECT SEQ_NO FROM USER_AGENT_INFO WHERE AGENT_NM = '새상담'", db)[0][0],
              nextAgent);
}

// A database an earlier schema version made, with rows in it: --init brings it to the
// current version, every row stays as it was, and the desk reads what the embedded engine
// reads, typed names in another case and with trailing blanks included.
TEST(PgTools, InitMigratesEarlierSchemasKeepingRowsAndResults) {
    TempDir dir;
    const std::string path = dir.File("demo.db");
    ASSERT_EQ(Cli({"--create-demo", path, "--days", "4", "--per-day", "200"}).exitCode, 0);
    for (const char* sql :
         {"insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) values ('demo', 'Kim', 'pw', 1)",
          "update RST_INB set AGENT_NM = 'Kim  ' where ACS_ID % 3 = 0",
          "update RST_INB set COMMENT = 'Call back Monday ' where ACS_ID % 5 = 0"})
        ASSERT_EQ(Cli({"-S", "file:" + path, "-Q", sql}).exitCode, 0) << sql;
    for (int from = 1; from < rdb::pg::CurrentSchemaVersion(); ++from) {
        SCOPED_TRACE("from version " + std::to_string(from));
        MigrateAndCompare(path, from);
    }
}

TEST(PgTools, CreateDemoOnceAndFeedRequests) {
    const std::string db = NewDatabase("cli_demo_");
    const std::string uri = SharedPgCluster().TcpUri(db, kDeskLogin);
    Result r = Cli({"--create-demo", uri, "--days", "2", "--per-day", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("login demo"), std::string::npos) << r.out;
    const std::string records = Count(db, "RST_INB");
    EXPECT_GT(std::stoi(records), 100);
    EXPECT_EQ(Cli({"--create-demo", uri}).exitCode, 0);
    EXPECT_EQ(Count(db, "RST_INB"), records);  // the demo is there already

    r = Cli({"--feed", uri, "--every", "0", "--count", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    // Each line names its request and service; the first goes to the service the view opens on.
    const auto fed = SharedPgCluster().Rows(
        "SELECT 'request ' || ACS_ID || ': service ' || r.SVC_ID || '.' || s.SVC_NM || ', caller ' || RECV_PHONE || "
        "', ' || DIAL_TIME FROM RST_INB r JOIN SERVICE_INFO s ON r.SVC_ID = s.SVC_ID "
        "WHERE ACS_ID > (SELECT max(ACS_ID) - 3 FROM RST_INB) ORDER BY ACS_ID",
        db);
    ASSERT_EQ(fed.size(), 3u);
    EXPECT_EQ(r.out, fed[0][0] + "\n" + fed[1][0] + "\n" + fed[2][0] + "\n");
    const auto first = SharedPgCluster().Rows(
        "SELECT min(SVC_ID) FROM SERVICE_INFO WHERE USER_ID = 'demo' AND SVC_TYPE IN (1, 2, 3)", db);
    EXPECT_EQ(fed[0][0].find("service " + first[0][0] + "."), fed[0][0].find("service ")) << fed[0][0];
    EXPECT_EQ(std::stoi(Count(db, "RST_INB")), std::stoi(records) + 3);
    const std::string today = SharedPgCluster().Rows("SELECT to_char(now(), 'YYYYMMDD')")[0][0];
    EXPECT_EQ(SharedPgCluster().Rows("SELECT count(*) FROM RST_INB WHERE ACS_ID > (SELECT max(ACS_ID) - 3 FROM RST_INB)"
                                     " AND IS_CALLBACK = '1' AND IS_PRINT = '0' AND USER_ID = 'demo' AND DIAL_DATE = '" +
                                         today + "'",
                                     db),
              (std::vector<std::vector<std::string>>{{"3"}}));
}

// The backup the README recommends, made and read back by the stock programs: pg_dump and
// pg_restore keep every row, the collation (case and trailing blanks ignored, as psql
// shows) and what the desk lists.
TEST(PgTools, StockDumpAndRestoreKeepRowsCollationAndTheDesksView) {
    const std::string from = NewDatabase("dump_from_");
    ASSERT_EQ(Cli({"--create-demo", SharedPgCluster().TcpUri(from, kDeskLogin), "--days", "2", "--per-day", "50"})
                  .exitCode,
              0);
    const std::string dump = SharedPgCluster().Dir() + "/" + from + ".dump";
    Result r = RunChild({"pg_dump", "--format=custom", "--file", dump, SharedPgCluster().AdminUri(from)});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const std::string to = NewDatabase("dump_to_");
    r = RunChild({"pg_restore", "--exit-on-error", "--dbname", SharedPgCluster().AdminUri(to), dump});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    for (const char* table : {"RST_INB", "SERVICE_INFO", "USER_INFO", "USER_AGENT_INFO"})
        EXPECT_EQ(Count(to, table), Count(from, table)) << table;
    r = RunChild({"psql", "-X", "-A", "-t", "-c",
                  "SELECT count(*) = (SELECT count(*) FROM RST_INB WHERE USER_ID = 'demo') "
                  "FROM RST_INB WHERE USER_ID = 'DEMO  '",
                  SharedPgCluster().AdminUri(to)});
    EXPECT_EQ(r.out, "t\n");
    const std::string list = "select ACS_ID, CALLER_ID from RST_INB where USER_ID = 'demo' order by ACS_ID";
    const auto rows = RowStrings(SharedPgCluster().TcpUri(to, kDeskLogin), list);
    EXPECT_GT(rows.size(), 50u);
    EXPECT_EQ(rows, RowStrings(SharedPgCluster().TcpUri(from, kDeskLogin), list));
}

}  // namespace
