// The large benchmark database, generated once into a file and reused by every benchmark:
// 1,000,000 RST_INB records of user "bench" across 20 services over 30 days ending on
// kBenchLastDay. Service 1 (type 1) holds 100,000 unprocessed callback requests in that
// period, so its unprocessed list returns 100,000 rows; the others share the rest.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "rdb/engine/Engine.h"

namespace bench {

inline constexpr const char kBenchFirstDay[] = "20261109";
inline constexpr const char kBenchLastDay[] = "20261208";
inline constexpr int kBenchRecords = 1000000;
inline constexpr int kBenchServices = 20;
inline constexpr int kBenchLoanUnprocessed = 100000;

inline std::string DefaultBenchDbPath() { return "/tmp/orvanta-bench-data-1m.db"; }

inline int64_t CountRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    int64_t n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}

// Creates the database at path unless it already holds the full data set.
inline void EnsureBenchDatabase(const std::string& path) {
    rdb::Error err;
    rdb::Engine::Options options;
    options.create = true;
    auto engine = rdb::Engine::Open(path, options, &err);
    if (!engine) throw std::runtime_error("open " + path + ": " + err.message);
    sqlite3* db = engine->Handle();
    if (CountRows(db, "select count(*) from RST_INB where USER_ID = 'bench'") == kBenchRecords &&
        CountRows(db, "select count(*) from RST_INB where SVC_ID = 1 and IS_CALLBACK = '1' and IS_PRINT = '0'") ==
            kBenchLoanUnprocessed)
        return;
    std::fprintf(stderr, "generating %d records into %s ...\n", kBenchRecords, path.c_str());
    auto exec = [&](const std::string& sql) {
        char* msg = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
            std::string m = msg ? msg : "?";
            sqlite3_free(msg);
            throw std::runtime_error(sql + ": " + m);
        }
    };
    exec("BEGIN");
    exec("delete from RST_INB");
    exec("delete from SERVICE_INFO where USER_ID = 'bench'");
    exec("delete from USER_INFO where USER_ID = 'bench'");
    exec("insert into USER_INFO (USER_ID, USER_NM, PASSWORD) values ('bench', '벤치상사', 'bench')");
    for (int s = 1; s <= kBenchServices; ++s) {
        exec("insert into SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) values (" +
             std::to_string(s) + ", '벤치서비스" + std::to_string(s) + "', 'bench', " + (s == 1 ? "1" : "2") +
             ", 1, 1)");
    }
    sqlite3_stmt* ins = nullptr;
    const char* sql =
        "insert into RST_INB (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, COMM_TIME, "
        "IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) values (?, 'bench', ?, ?, ?, ?, ?, ?, ?, ?, "
        "'0', ?, ?, ?)";
    if (sqlite3_prepare_v2(db, sql, -1, &ins, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    std::mt19937 rng(42);
    // 30 days ending on the last day (December has 31 days; November 30).
    auto dayText = [](int dayIndex) {
        int d = 9 + dayIndex;  // 2026-11-09 + dayIndex
        char buf[32];
        if (d <= 30) std::snprintf(buf, sizeof buf, "202611%02d", d);
        else std::snprintf(buf, sizeof buf, "202612%02d", d - 30);
        return std::string(buf);
    };
    int loanUnprocessed = 0;
    for (int i = 0; i < kBenchRecords; ++i) {
        // Service 1 gets every fifth record (200,000), the others the rest in turn.
        int svc = (i % 5 == 0) ? 1 : 2 + static_cast<int>(rng() % (kBenchServices - 1));
        bool callback = (i % 5 == 0) ? ((i / 5) % 2 == 0) : (rng() % 3 == 0);
        bool unprocessed = callback && ((i % 5 == 0) ? true : rng() % 4 == 0);
        if (svc == 1 && callback && unprocessed) ++loanUnprocessed;
        char phone[32], caller[32], tm[32], comm[32];
        std::snprintf(phone, sizeof phone, "02%08u", static_cast<unsigned>(rng() % 100000000u));
        std::snprintf(caller, sizeof caller, "010%08u", static_cast<unsigned>(rng() % 100000000u));
        std::snprintf(tm, sizeof tm, "%02u%02u%02u", static_cast<unsigned>(rng() % 24), static_cast<unsigned>(rng() % 60),
                      static_cast<unsigned>(rng() % 60));
        std::snprintf(comm, sizeof comm, "%u", static_cast<unsigned>(rng() % 600));
        std::string day = dayText(static_cast<int>(rng() % 30));
        const char* cust[] = {"11", "12", "21", "22", ""};
        sqlite3_bind_int(ins, 1, svc);
        sqlite3_bind_text(ins, 2, phone, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 3, caller, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 4, cust[rng() % 5], -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 5, day.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 6, tm, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 7, comm, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(ins, 8, unprocessed ? "0" : "1", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 9, callback ? "1" : "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 10, (!callback && rng() % 50 == 0) ? "9" : "0", -1, SQLITE_STATIC);
        sqlite3_bind_text(ins, 11, rng() % 10 == 0 ? "메모 있음" : "", -1, SQLITE_STATIC);
        if (rng() % 4 == 0) sqlite3_bind_text(ins, 12, "김상담", -1, SQLITE_STATIC);
        else sqlite3_bind_null(ins, 12);
        if (sqlite3_step(ins) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    exec("COMMIT");
    exec("ANALYZE");
    if (loanUnprocessed != kBenchLoanUnprocessed)
        throw std::runtime_error("unexpected number of unprocessed loan requests: " + std::to_string(loanUnprocessed));
}

}  // namespace bench
