// The desk's two hottest statements through the client interface against the same query
// run directly on SQLite (already in SQLite dialect, stepping the rows), on the
// 1,000,000-record benchmark database.
//   bench_engine [DB_PATH] [REPEATS]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchData.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "data/RecordTokenizer.h"
#include "rdb/dialect/DialectAdapter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Millis(const std::function<void()>& fn) {
    auto t0 = Clock::now();
    fn();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string ToSqlite(const std::string& tsql) {
    rdb::Translation t;
    std::string err;
    if (!rdb::TranslateToSqlite(tsql, &t, &err)) {
        std::fprintf(stderr, "translate: %s\n", err.c_str());
        std::exit(1);
    }
    return t.sql;
}

// Steps every row, reading each column's text as a consumer would. Returns the row count.
int64_t StepDirect(sqlite3* db, const std::string& sql, size_t* bytes) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "prepare: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
    int64_t rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            if (t != nullptr) *bytes += static_cast<size_t>(sqlite3_column_bytes(st, i));
        }
        ++rows;
    }
    sqlite3_finalize(st);
    return rows;
}

int64_t g_rows = 0;
size_t g_fields = 0;

int32_t TokenizingCallback(int32_t, int32_t, int32_t, const char* row) {
    CRecordTokenizer t(row);
    g_fields += static_cast<size_t>(t.GetCount());
    ++g_rows;
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path = argc > 1 ? argv[1] : bench::DefaultBenchDbPath();
    int repeats = argc > 2 ? std::atoi(argv[2]) : 7;
    bench::EnsureBenchDatabase(path);

    CKestrimEnv env;
    g_pEnv = &env;
    env.m_strServerIp = "file:" + path;
    env.m_strPort = "8907";
    env.m_strDbName = "NEW_ACS";
    env.m_strUserId = "bench";
    if (!env.RDBServerOpen()) return 1;

    rdb::Error err;
    auto direct = rdb::Engine::Open(path, &err);  // a connection of its own, same functions
    sqlite3* db = direct->Handle();

    struct Case {
        const char* name;
        std::string tsql;
        bool list;
    };
    std::vector<Case> cases = {
        {"count, one day (today)", sql::NewCountSql("1", bench::kBenchLastDay, bench::kBenchLastDay, ""), false},
        {"count, 30 days (100,000 counted)", sql::NewCountSql("1", bench::kBenchFirstDay, bench::kBenchLastDay, ""),
         false},
        {"loan unprocessed list, 100,000 rows",
         sql::CallbackListSql(true, sql::ListKind::Unprocessed, "1", bench::kBenchFirstDay, bench::kBenchLastDay, ""),
         true},
    };

    std::printf("%-38s %12s %12s %8s\n", "statement", "client ms", "direct ms", "ratio");
    for (const Case& c : cases) {
        std::string lite = ToSqlite(c.tsql);
        std::vector<double> viaClient, viaDirect;
        int64_t clientRows = 0, directRows = 0;
        for (int i = 0; i < repeats + 1; ++i) {  // the first round warms the caches
            double a = Millis([&] {
                if (c.list) {
                    g_rows = 0;
                    RDBSetEventCallBackFN(&TokenizingCallback);
                    int32_t n = 0;
                    RDB_ERROR e{};
                    if (RDBQueryRecord(env.m_hRdb, "NEW_ACS", 0, c.tsql.c_str(), &n, &e) <= 0) {
                        std::fprintf(stderr, "query: %d %s\n", e.nCode, e.szMessage);
                        std::exit(1);
                    }
                    clientRows = g_rows;
                } else {
                    std::string value;
                    if (env.GetFirstRecord(value, c.tsql) != 1) std::exit(1);
                    clientRows = std::atoll(value.c_str());
                }
            });
            size_t bytes = 0;
            double b = Millis([&] { directRows = StepDirect(db, lite, &bytes); });
            if (i == 0) continue;
            viaClient.push_back(a);
            viaDirect.push_back(b);
        }
        double ca = Median(viaClient), cb = Median(viaDirect);
        std::printf("%-38s %12.2f %12.2f %8.2f   (client %lld, direct %lld)\n", c.name, ca, cb, ca / cb,
                    static_cast<long long>(clientRows), static_cast<long long>(directRows));
    }
    return 0;
}
