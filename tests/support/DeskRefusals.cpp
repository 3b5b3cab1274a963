#include "tests/support/DeskRefusals.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

namespace {

std::vector<std::string> g_rows;

int32_t Collect(int32_t, int32_t, int32_t, const char* row) {
    g_rows.emplace_back(row);
    return 1;
}

// Result, error code and rows of one query.
int32_t Query(RDBHANDLE h, const std::string& sql, int32_t* code) {
    g_rows.clear();
    RDBSetEventCallBackFN(&Collect);
    RDB_ERROR err{};
    int32_t count = 0;
    const int32_t r = RDBQueryRecord(h, "NEW_ACS", 0, sql.c_str(), &count, &err);
    *code = err.nCode;
    return r;
}

}  // namespace

void ExpectDeskRefusals(RDBHANDLE h, const std::string& dir) {
    const std::string attached = dir + "/attached.db";
    const std::string copy = dir + "/copy.db";
    const std::vector<std::string> refused = {
        "attach database '" + attached + "' as p",
        "attach database '" + attached + "' as p; create table p.t(x)",
        "vacuum into '" + copy + "'",
        "vacuum",
        "create table T(x)",
        "create temp table T(x)",
        "create index IX on RST_INB (COMMENT)",
        "create view V as select 1",
        "create trigger TR after insert on USER_INFO begin delete from RST_INB; end",
        "drop table RST_INB",
        "drop index XIE7RST_INB",
        "alter table USER_INFO add column EXTRA text",
        "pragma writable_schema = 1",
        "pragma journal_mode = delete",
        "pragma table_info(RST_INB)",
        // Without a value as with one, under the schema's name, and as a table function.
        "pragma database_list",
        "pragma wal_checkpoint",
        "pragma wal_checkpoint(truncate)",
        "pragma journal_mode",
        "PRAGMA Journal_Mode",
        "pragma main.journal_mode",
        "pragma optimize",
        "pragma schema_version",
        "pragma compile_options",
        "select * from pragma_database_list",
        "select name from pragma_table_info('RST_INB')",
        "select sql from sqlite_master",
        "select load_extension('x')",
        "select fts3_tokenizer('simple')",
        "begin immediate",
        "savepoint s1",
        "analyze",
        "reindex",
    };
    for (const std::string& sql : refused) {
        SCOPED_TRACE(sql);
        int32_t code = 0;
        EXPECT_LE(Query(h, sql, &code), 0);
        EXPECT_GT(code, 0) << "an engine refusal, not a transport failure";
        EXPECT_TRUE(g_rows.empty()) << g_rows.front();
    }
    EXPECT_NE(access(attached.c_str(), F_OK), 0) << "ATTACH created a file";
    EXPECT_NE(access(copy.c_str(), F_OK), 0) << "VACUUM INTO copied the database";

    // What a desk and an operator need still runs, on a schema left whole.
    int32_t code = 0;
    EXPECT_GT(Query(h, "select count(*) from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID", &code), 0) << code;
    EXPECT_GT(Query(h, "pragma integrity_check", &code), 0) << code;
    EXPECT_EQ(g_rows, std::vector<std::string>{"ok:;"});
    EXPECT_GT(Query(h, "pragma quick_check", &code), 0) << code;
    EXPECT_GT(Query(h, "select count(*) from USER_AGENT_INFO where SEQ_NO > 0", &code), 0) << code;
}
