// Engine core: schema, collation, row strings, errors and the statement cache.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>
#include <vector>

#include "rdb/engine/Engine.h"
#include "rdb/engine/TextCollation.h"
#include "tests/rdb_engine/EngineTestUtil.h"

using enginetest::Exec;
using enginetest::Fields;
using enginetest::OpenEngine;
using enginetest::Rows;

namespace {

std::set<std::string> SchemaNames(rdb::Engine& engine) {
    std::set<std::string> names;
    for (const std::string& row : Rows(engine, "select name from sqlite_master where name not like 'sqlite%'"))
        names.insert(Fields(row).at(0));
    return names;
}

TEST(EngineSchema, NewDatabaseGetsTablesIndexesAndWal) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("new.db"));
    ASSERT_TRUE(engine);
    const std::set<std::string> names = SchemaNames(*engine);
    for (const char* n : {"RST_INB", "SERVICE_INFO", "USER_INFO", "USER_AGENT_INFO", "XIE7RST_INB", "XIE4RST_INB"})
        EXPECT_TRUE(names.count(n)) << n;
    sqlite3_stmt* mode = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(engine->Handle(), "PRAGMA journal_mode", -1, &mode, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);

    // Keys are generated; text columns carry the padded case-insensitive collation.
    Exec(*engine, "INSERT INTO USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) VALUES ('u', 'a', 'p', 1)");
    Exec(*engine, "INSERT INTO USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT) VALUES ('u', 'b', 'p', 1)");
    EXPECT_EQ(Rows(*engine, "select SEQ_NO from USER_AGENT_INFO order by SEQ_NO"),
              (std::vector<std::string>{"1:;", "2:;"}));
    EXPECT_EQ(Rows(*engine, "select count(*) from USER_AGENT_INFO where AGENT_NM = 'A '"),
              std::vector<std::string>{"1:;"});
}

TEST(EngineSchema, ReopenKeepsDataAndRestoresAMissingIndex) {
    TempDir dir;
    const std::string path = dir.File("reopen.db");
    {
        auto engine = OpenEngine(path);
        ASSERT_TRUE(engine);
        Exec(*engine, "INSERT INTO USER_INFO VALUES ('demo', 'n', 'p')");
        Exec(*engine, "DROP INDEX XIE4RST_INB");
    }
    auto engine = OpenEngine(path);
    ASSERT_TRUE(engine);
    EXPECT_EQ(Rows(*engine, "select USER_ID from USER_INFO"), std::vector<std::string>{"demo:;"});
    EXPECT_TRUE(SchemaNames(*engine).count("XIE4RST_INB"));

    // A second connection on the same file opens without re-creating anything.
    auto second = OpenEngine(path);
    ASSERT_TRUE(second);
    EXPECT_EQ(Rows(*second, "select count(*) from USER_INFO"), std::vector<std::string>{"1:;"});
}

TEST(EngineSchema, UnopenablePathFailsWithTheEngineCode) {
    rdb::Error err;
    auto engine = rdb::Engine::Open("/nonexistent-dir-orvanta/x.db", &err);
    EXPECT_FALSE(engine);
    EXPECT_EQ(err.code & 0xFF, SQLITE_CANTOPEN);
    EXPECT_FALSE(err.message.empty());
}

TEST(EngineCollation, ColumnComparisonsIgnoreCaseAndTrailingBlanks) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("c.db"));
    ASSERT_TRUE(engine);
    Exec(*engine, "INSERT INTO USER_INFO VALUES ('ABC', '가나', 'Secret')");
    const auto count = [&](const std::string& where) {
        return Rows(*engine, "select count(*) from USER_INFO where " + where).at(0);
    };
    EXPECT_EQ(count("USER_ID = 'abc '"), "1:;");
    EXPECT_EQ(count("USER_ID = 'aBc'"), "1:;");
    EXPECT_EQ(count("USER_ID = ' abc'"), "0:;");  // leading blanks count
    EXPECT_EQ(count("USER_ID = 'abd'"), "0:;");
    EXPECT_EQ(count("USER_ID <> 'ABC  '"), "0:;");
    EXPECT_EQ(count("USER_NM = '가나  '"), "1:;");
    EXPECT_EQ(count("USER_ID between 'ab' and 'abd'"), "1:;");
    // The stored value comes back as stored.
    EXPECT_EQ(Rows(*engine, "select PASSWORD from USER_INFO where USER_ID = 'abc'"),
              std::vector<std::string>{"Secret:;"});
}

TEST(EngineCollation, KeysAndGroupingFollowTheCollation) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("k.db"));
    ASSERT_TRUE(engine);
    Exec(*engine, "INSERT INTO USER_INFO VALUES ('ABC', 'n', 'p')");
    rdb::Error err;
    EXPECT_FALSE(engine->Execute("insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('abc ', 'n', 'p')",
                                 nullptr, &err));
    EXPECT_EQ(err.code, SQLITE_CONSTRAINT_PRIMARYKEY);
    EXPECT_NE(err.message.find("UNIQUE"), std::string::npos) << err.message;

    for (const char* agent : {"Kim", "kim ", "KIM", "Lee"}) {
        Exec(*engine, std::string("INSERT INTO RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME, AGENT_NM) "
                                  "VALUES (1, 'ABC', '20261201', '090000', '") + agent + "')");
    }
    const auto rows = Rows(*engine, "select count(*) from RST_INB group by AGENT_NM order by 1");
    EXPECT_EQ(rows, (std::vector<std::string>{"1:;", "3:;"}));
}

TEST(EngineCollation, CompareTextOrdersWithoutCase) {
    EXPECT_EQ(rdb::CompareText("abc", "ABC  "), 0);
    EXPECT_EQ(rdb::CompareText("", "   "), 0);
    EXPECT_LT(rdb::CompareText("abc", "abd"), 0);
    EXPECT_GT(rdb::CompareText("b", "A"), 0);
    EXPECT_LT(rdb::CompareText("ab", "abc"), 0);
    EXPECT_LT(rdb::CompareText("ab\t", "ab\tc"), 0);
    EXPECT_NE(rdb::CompareText("ab\t", "ab"), 0);  // only blanks are padding
    EXPECT_GT(rdb::CompareText("\xEA\xB0\x80", "z"), 0);
}

TEST(EngineRows, ValuesBecomeTextInTheRowFormat) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("r.db"));
    ASSERT_TRUE(engine);
    EXPECT_EQ(Rows(*engine, "select NULL, 42, -7, 12.5, 3.0, 'a:;b', ':;:;', '', ':', ';'"),
              std::vector<std::string>{":;42:;-7:;12.5:;3:;a: ;b:;: ;: ;:;:;::;;:;"});
    // Every value makes exactly one field whatever it holds.
    const auto fields = Fields(Rows(*engine, "select 'x:', ';y', ':;:;', 'z'").at(0));
    EXPECT_EQ(fields, (std::vector<std::string>{"x:", ";y", ": ;: ;", "z"}));
}

TEST(EngineRows, AppendRowValueRewritesOnlyThePair) {
    const auto one = [](std::string_view v) {
        std::string row;
        rdb::AppendRowValue(row, v);
        return row;
    };
    EXPECT_EQ(one(""), ":;");
    EXPECT_EQ(one(":;"), ": ;:;");
    EXPECT_EQ(one("::;;"), ":: ;;:;");
    EXPECT_EQ(one("a:;b:;c"), "a: ;b: ;c:;");
    EXPECT_EQ(one("메모:;"), "메모: ;:;");
    EXPECT_EQ(one(std::string_view("a\0b", 3)), std::string("a\0b:;", 5));
}

TEST(EngineRows, RowsArriveInResultOrderAndTheSinkCanStop) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("o.db"));
    ASSERT_TRUE(engine);
    for (int i = 0; i < 50; ++i)
        Exec(*engine, "INSERT INTO USER_INFO VALUES ('u" + std::to_string(1000 - i) + "', NULL, 'p')");
    const auto rows = Rows(*engine, "select USER_ID, USER_NM from USER_INFO order by USER_ID");
    ASSERT_EQ(rows.size(), 50u);
    EXPECT_EQ(rows.front(), "u1000:;:;");  // text order
    EXPECT_EQ(rows.back(), "u999:;:;");
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_LT(rows[i - 1], rows[i]);

    int seen = 0;
    int64_t count = 0;
    rdb::Error err;
    EXPECT_TRUE(engine->Query("select USER_ID from USER_INFO", [&](int32_t cols, const std::string&) {
        EXPECT_EQ(cols, 1);
        return ++seen < 3;
    }, &count, &err));
    EXPECT_EQ(seen, 3);

    std::string row = "unchanged";
    int32_t cols = 0;
    EXPECT_EQ(engine->QueryFirst("select USER_ID, 1 from USER_INFO order by USER_ID desc", &row, &cols, &err), 1);
    EXPECT_EQ(row, "u999:;1:;");
    EXPECT_EQ(cols, 2);
    row = "unchanged";
    EXPECT_EQ(engine->QueryFirst("select USER_ID from USER_INFO where USER_ID = 'none'", &row, &cols, &err), 0);
    EXPECT_EQ(row, "unchanged");
}

TEST(EngineErrors, EngineFailuresCarryTheEngineCodeAndMessage) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("e.db"));
    ASSERT_TRUE(engine);
    rdb::Error err;
    int64_t count = -1;
    EXPECT_FALSE(engine->Query("select * from NO_SUCH_TABLE", nullptr, &count, &err));
    EXPECT_EQ(err.code, SQLITE_ERROR);
    EXPECT_NE(err.message.find("no such table: NO_SUCH_TABLE"), std::string::npos) << err.message;
    EXPECT_EQ(count, 0);

    std::string row;
    err = {};
    EXPECT_EQ(engine->QueryFirst("select NO_SUCH_COLUMN from USER_INFO", &row, nullptr, &err), -1);
    EXPECT_EQ(err.code, SQLITE_ERROR);

    err = {};
    EXPECT_FALSE(engine->Execute("insert into RST_INB (SVC_ID) values (1)", nullptr, &err));
    EXPECT_EQ(err.code, SQLITE_CONSTRAINT_NOTNULL);
}

TEST(EngineErrors, UntranslatableTextAndUnknownProcedureHaveTheirOwnCodes) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("t.db"));
    ASSERT_TRUE(engine);
    rdb::Error err;
    EXPECT_FALSE(engine->Query("select (1 from USER_INFO", nullptr, nullptr, &err));
    EXPECT_EQ(err.code, rdb::kErrTranslate);
    EXPECT_FALSE(err.message.empty());

    err = {};
    EXPECT_FALSE(engine->Query("{call P_NO_SUCH('a')}", nullptr, nullptr, &err));
    EXPECT_EQ(err.code, rdb::kErrUnknownProcedure);
    EXPECT_NE(err.message.find("P_NO_SUCH"), std::string::npos);
}

TEST(EngineExecute, CountsChangesAndDiscardsRows) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("x.db"));
    ASSERT_TRUE(engine);
    for (int i = 0; i < 3; ++i)
        Exec(*engine, "INSERT INTO RST_INB (SVC_ID, USER_ID, DIAL_DATE, DIAL_TIME) VALUES (1, 'u', '20261201', '0900')");
    rdb::Error err;
    int64_t changes = -1;
    EXPECT_TRUE(engine->Execute("update RST_INB set IS_PRINT = '1' where SVC_ID = 1", &changes, &err));
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(engine->Execute("select * from RST_INB", &changes, &err));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(engine->Execute("update RST_INB set IS_PRINT = '1' where ACS_ID = 99 ", &changes, &err));
    EXPECT_EQ(changes, 0);
    // Every statement of a batch runs, in order.
    EXPECT_TRUE(engine->Execute("update RST_INB set COMMENT = 'a' where ACS_ID = 1; "
                                "update RST_INB set AGENT_NM = COMMENT where ACS_ID <= 2",
                                &changes, &err)) << err.message;
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(Rows(*engine, "select COMMENT, AGENT_NM from RST_INB order by ACS_ID"),
              (std::vector<std::string>{"a:;a:;", ":;:;", ":;:;"}));
    // A failing statement in a batch fails the call after the ones before it.
    EXPECT_FALSE(engine->Execute("update RST_INB set COMMENT = 'c' where ACS_ID = 3; select * from NOPE", &changes, &err));
    EXPECT_EQ(Rows(*engine, "select COMMENT from RST_INB where ACS_ID = 3"), std::vector<std::string>{"c:;"});
}

// Prepared statements are kept between runs: repeated, nested and interrupted runs must
// each see a clean statement, and no statement may stay active after a call returns.
TEST(EngineCache, RepeatedNestedAndInterruptedRunsOfOneStatement) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("s.db"));
    ASSERT_TRUE(engine);
    Exec(*engine, "INSERT INTO USER_INFO VALUES ('a', 'A', 'p'), ('b', 'B', 'p')");
    const std::string sql = "select USER_ID from USER_INFO order by USER_ID";
    for (int i = 0; i < 200; ++i) ASSERT_EQ(Rows(*engine, sql).size(), 2u);

    // The same text again from inside a row of the outer run.
    std::vector<std::string> outer;
    rdb::Error err;
    EXPECT_TRUE(engine->Query(sql, [&](int32_t, const std::string& row) {
        outer.push_back(row);
        EXPECT_EQ(Rows(*engine, sql).size(), 2u);
        return true;
    }, nullptr, &err));
    EXPECT_EQ(outer, (std::vector<std::string>{"a:;", "b:;"}));

    // Stopped after the first row: nothing may remain active on the connection.
    std::string row;
    EXPECT_EQ(engine->QueryFirst(sql, &row, nullptr, &err), 1);
    for (sqlite3_stmt* s = sqlite3_next_stmt(engine->Handle(), nullptr); s != nullptr;
         s = sqlite3_next_stmt(engine->Handle(), s))
        EXPECT_EQ(sqlite3_stmt_busy(s), 0) << sqlite3_sql(s);

    // A schema change under a cached statement.
    Exec(*engine, "ALTER TABLE USER_INFO ADD COLUMN EXTRA TEXT");
    Exec(*engine, "INSERT INTO USER_INFO VALUES ('c', 'C', 'p', 'x')");
    EXPECT_EQ(Rows(*engine, sql).size(), 3u);

    // Many different texts: the cache stays bounded and every text still runs.
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(Rows(*engine, "select " + std::to_string(i)), std::vector<std::string>{std::to_string(i) + ":;"});
}

// One connection sent many different long statements keeps none of them: its caches are
// bounded in bytes, not only in entries.
TEST(EngineCache, LongStatementsAreNotKept) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("cache.db"));
    ASSERT_TRUE(engine);
    ASSERT_EQ(Rows(*engine, "select 1").size(), 1u);
    const sqlite3_int64 before = sqlite3_memory_used();
    for (int i = 0; i < 100; ++i) {
        const std::string sql = "select " + std::to_string(i) + ", '" + std::string(70 * 1024, 'x') + "'";
        ASSERT_EQ(Rows(*engine, sql).size(), 1u);
    }
    EXPECT_LT(sqlite3_memory_used() - before, 1024 * 1024);
}

TEST(EngineConcurrency, AWriterDoesNotBlockAReaderOfTheSameFile) {
    TempDir dir;
    const std::string path = dir.File("w.db");
    auto reader = OpenEngine(path);
    auto writer = OpenEngine(path);
    ASSERT_TRUE(reader && writer);
    Exec(*writer, "INSERT INTO USER_INFO VALUES ('a', 'A', 'p')");
    rdb::Error err;
    int rows = 0;
    EXPECT_TRUE(reader->Query("select USER_ID from USER_INFO", [&](int32_t, const std::string&) {
        // The writer commits while the reader is in the middle of its result.
        rdb::Error werr;
        EXPECT_TRUE(writer->Execute("insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('b', 'B', 'p')",
                                    nullptr, &werr)) << werr.message;
        ++rows;
        return true;
    }, nullptr, &err)) << err.message;
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(Rows(*reader, "select count(*) from USER_INFO"), std::vector<std::string>{"2:;"});
}

}  // namespace
