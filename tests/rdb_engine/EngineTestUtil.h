// Helpers shared by the engine tests: a fresh engine on a temporary file, set-up SQL that
// bypasses the dialect adapter, and row collection.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "data/RecordTokenizer.h"
#include "rdb/engine/Engine.h"
#include "tests/support/Fixture.h"

namespace enginetest {

// Opens path, making a new database when it does not exist yet.
inline std::unique_ptr<rdb::Engine> OpenEngine(const std::string& path) {
    rdb::Error err;
    rdb::Engine::Options options;
    options.create = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    EXPECT_TRUE(engine) << err.code << " " << err.message;
    return engine;
}

// Runs set-up SQL straight on the connection (SQLite dialect).
inline void Exec(rdb::Engine& engine, const std::string& sql) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(engine.Handle(), sql.c_str(), nullptr, nullptr, &msg);
    ASSERT_EQ(rc, SQLITE_OK) << (msg != nullptr ? msg : "") << "\n" << sql;
    sqlite3_free(msg);
}

// Every row string of a query through the engine; fails the test on an engine error.
inline std::vector<std::string> Rows(rdb::Engine& engine, const std::string& sql) {
    std::vector<std::string> rows;
    rdb::Error err;
    int64_t count = -1;
    const bool ok = engine.Query(
        sql,
        [&](int32_t, const std::string& row) {
            rows.push_back(row);
            return true;
        },
        &count, &err);
    EXPECT_TRUE(ok) << err.code << " " << err.message << "\n" << sql;
    EXPECT_EQ(count, static_cast<int64_t>(rows.size()));
    return rows;
}

inline std::vector<std::string> Fields(const std::string& row) {
    CRecordTokenizer tok(row.c_str());
    std::vector<std::string> out;
    for (int i = 0; i < tok.GetCount(); ++i) out.emplace_back(tok.GetItem(i));
    return out;
}

// A record of RST_INB with the columns the tests vary; the rest take their defaults.
struct Rec {
    int svc;
    std::string user;
    std::string date;
    std::string time;
    std::string callback = "0";
    std::string print = "0";
    std::string del = "0";
    std::string reply = "0";
};

inline void Insert(rdb::Engine& engine, const Rec& r) {
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(engine.Handle(),
                                 "INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, DIAL_DATE, "
                                 "DIAL_TIME, IS_CALLBACK, IS_PRINT, IS_DELETE, RES_REPLY) "
                                 "VALUES (?1, ?2, '0212345678', ?3, ?4, ?5, ?6, ?7, ?8)",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    sqlite3_bind_int(stmt, 1, r.svc);
    const std::string* texts[] = {&r.user, &r.date, &r.time, &r.callback, &r.print, &r.del, &r.reply};
    for (int i = 0; i < 7; ++i)
        sqlite3_bind_text(stmt, i + 2, texts[i]->c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE) << sqlite3_errmsg(engine.Handle());
    sqlite3_finalize(stmt);
}

}  // namespace enginetest
