// The desk's two heaviest statements on PostgreSQL, through the client interface, against
// the same translated SQL run directly with libpq (PQexec, every row made in row format with
// the formatting and order the translation leaves to the desk), against the floor (the same
// on copies of the tables whose text columns all use the plain "C" collation, same indexes,
// same server) and against the embedded engine;
// on 1,000,000 RST_INB records. Columns: median times, then transport over libpq, transport
// over the floor, libpq over the floor, transport over the embedded engine.
//
//   build/bench/bench_pg [RECORDS] [--explain]
//
// --explain also prints each statement's plan with its timings, on the desk's tables and on
// the floor's.
//
// Starts a throwaway cluster of its own (as the postgres user when run as root). The
// new-record count and the unprocessed loan list are those of one loan service with
// 100,000 unprocessed requests in the period, whatever the number of records (a tenth of
// 1,000,000, a hundredth of 10,000,000).
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "data/Queries.h"
#include "data/RdbClient.h"
#include "rdb/client/PgTransport.h"
#include "rdb/dialect/DialectAdapter.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgConn.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgSchema.h"
#include "tests/support/Fixture.h"
#include "tests/support/PgCluster.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Median of runs (after one warm-up run).
double Median(int runs, const std::function<long long()>& body, long long* rows) {
    *rows = body();
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        const auto a = Clock::now();
        *rows = body();
        t.push_back(Ms(a, Clock::now()));
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

long long g_rows = 0;
int32_t CountRow(int32_t, int32_t, int32_t, const char*) {
    ++g_rows;
    return 1;
}

long long ViaClient(RDBHANDLE h, const std::string& sql) {
    g_rows = 0;
    RDBSetEventCallBackFN(&CountRow);
    int32_t n = 0;
    RDB_ERROR err{};
    if (RDBQueryRecord(h, "NEW_ACS", 0, sql.c_str(), &n, &err) <= 0) {
        std::fprintf(stderr, "query failed: %d %s\n", err.nCode, err.szMessage);
        std::exit(1);
    }
    return g_rows;
}

// The translated statement with libpq, every row made as the transport makes it: the
// formatting and order the statement leaves to the desk included, so that the columns differ
// only by the transport (libpq) or the collations (floor).
long long Direct(PGconn* conn, const rdb::Translation& t) {
    rdb::pg::ResultPtr r(PQexec(conn, t.sql.c_str()));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        std::fprintf(stderr, "direct query failed: %s\n", PQresultErrorMessage(r.get()));
        std::exit(1);
    }
    size_t bytes = 0;
    std::string row;
    const long long rows =
        rdb::DeliverDeskRows(r.get(), t.desk, false, [&](int32_t, const std::string& v) { bytes += v.size(); }, &row);
    return bytes > 0 ? rows : 0;
}

// Copies of the desk's tables in the schema "plain": every text column "C", the same rows
// and indexes. A connection whose search_path starts with "plain" runs the same SQL on them.
const char kPlainCopies[] = R"SQL(
DROP SCHEMA IF EXISTS plain CASCADE;
CREATE SCHEMA plain;
DO $$
DECLARE t record; c record; i record;
BEGIN
  FOR t IN SELECT relname FROM pg_class WHERE relnamespace = 'public'::regnamespace AND relkind = 'r'
             AND relname IN ('rst_inb', 'service_info', 'user_info', 'user_agent_info') LOOP
    EXECUTE format('CREATE TABLE plain.%I (LIKE public.%I INCLUDING DEFAULTS)', t.relname, t.relname);
    FOR c IN SELECT attname FROM pg_attribute WHERE attrelid = format('plain.%I', t.relname)::regclass
               AND atttypid = 'bpchar'::regtype AND attnum > 0 LOOP
      EXECUTE format('ALTER TABLE plain.%I ALTER COLUMN %I TYPE bpchar COLLATE "C"', t.relname, c.attname);
    END LOOP;
    FOR i IN SELECT indexdef FROM pg_indexes WHERE schemaname = 'public' AND tablename = t.relname LOOP
      EXECUTE replace(i.indexdef, ' ON public.', ' ON plain.');
    END LOOP;
    -- Filled after the indexes, as the copy fills the desk's tables, so that both hold
    -- indexes grown the same way.
    EXECUTE format('INSERT INTO plain.%I SELECT * FROM public.%I', t.relname, t.relname);
  END LOOP;
END $$;
)SQL";

// The machine is shared: the load average goes with the figures.
std::string LoadAverage() {
    char buf[128] = {};
    FILE* f = std::fopen("/proc/loadavg", "r");
    if (f == nullptr) return "?";
    const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    std::string s(buf, n);
    while (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

void Exec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", msg != nullptr ? msg : "?");
        std::exit(1);
    }
}

}  // namespace

// The plan of sql as the server ran it, indented.
void PrintPlan(PGconn* conn, const char* what, const std::string& sql) {
    rdb::pg::ResultPtr r(PQexec(conn, ("EXPLAIN (ANALYZE, BUFFERS) " + sql).c_str()));
    std::printf("  plan on %s:\n", what);
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        std::printf("    %s", PQresultErrorMessage(r.get()));
        return;
    }
    for (int i = 0; i < PQntuples(r.get()); ++i) std::printf("    %s\n", PQgetvalue(r.get(), i, 0));
}

int main(int argc, char** argv) {
    long long records = 1000000;
    bool explain = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--explain") {
            explain = true;
        } else {
            records = std::atoll(argv[i]);
        }
    }
    TempDir dir;
    const std::string path = dir.File("bench.db");
    rdb::Error e;
    auto t0 = Clock::now();
    {
        rdb::Engine::Options make;
        make.create = true;
        auto engine = rdb::Engine::Open(path, make, &e);
        if (!engine) return std::fprintf(stderr, "%s\n", e.message.c_str()), 1;
        sqlite3* db = engine->Handle();
        Exec(db, "BEGIN");
        Exec(db, "INSERT INTO USER_INFO VALUES ('bench', '벤치', 'pw')");
        Exec(db,
             "WITH RECURSIVE g(n) AS (SELECT 1001 UNION ALL SELECT n + 1 FROM g WHERE n < 1051) "
             "INSERT INTO SERVICE_INFO (SVC_ID, SVC_NM, USER_ID, SVC_TYPE, CALLBACK_DIST, NO_REQ_DISP) "
             "SELECT n, '서비스' || n, 'bench', CASE WHEN n = 1001 THEN 1 ELSE 2 END, 1, 1 FROM g");
        // Every step-th record is the loan service's unprocessed request.
        const std::string step = std::to_string(std::max(1LL, records / 100000));
        const std::string fill =
            "WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < " + std::to_string(records) +
            ") INSERT INTO RST_INB (SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, CUST_INFO, DIAL_DATE, DIAL_TIME, "
            "COMM_TIME, IS_PRINT, IS_CALLBACK, IS_DELETE, RES_REPLY, COMMENT, AGENT_NM) "
            "SELECT CASE WHEN n % " + step + " = 0 THEN 1001 ELSE 1002 + n % 50 END, 'bench', printf('02%08d', n), "
            "printf('010%08d', n), CASE n % 3 WHEN 0 THEN '11' WHEN 1 THEN '22' ELSE '' END, "
            "printf('202612%02d', 1 + n % 10), printf('%02d%02d%02d', 8 + n % 12, n % 60, n / 7 % 60), n % 600, "
            "CASE WHEN n % " + step + " = 0 THEN '0' ELSE CAST(n % 2 AS TEXT) END, "
            "CASE WHEN n % " + step + " = 0 THEN '1' ELSE CAST(n / 3 % 2 AS TEXT) END, '0', '0', "
            "CASE WHEN n % 7 = 0 THEN '메모 ' || n END, CASE WHEN n % 4 = 0 THEN '김상담' END FROM g";
        Exec(db, fill.c_str());
        Exec(db, "COMMIT");
        Exec(db, "ANALYZE");
    }
    auto t1 = Clock::now();
    std::printf("embedded database: %lld records in %.1f s\n", records, Ms(t0, t1) / 1000);

    PgCluster cluster;
    if (!cluster.Start({{"shared_buffers = 256MB", "work_mem = 64MB"}, {}, {}, {}}))
        return std::fprintf(stderr, "%s\n", cluster.ErrorText().c_str()), 1;
    cluster.Exec("CREATE DATABASE bench");
    const std::string uri = cluster.AdminUri("bench");
    std::string error, message;
    rdb::pg::ConnPtr direct = rdb::pg::Connect(uri, 30000, &error);
    if (!direct || rdb::pg::EnsureSchema(direct.get(), &message) != rdb::pg::InitResult::Created)
        return std::fprintf(stderr, "%s%s\n", error.c_str(), message.c_str()), 1;
    {
        auto engine = rdb::Engine::Open(path, &e);
        t0 = Clock::now();
        if (!rdb::pg::CopyFromEngine(*engine, direct.get(), rdb::pg::CopyOptions(), nullptr, &error))
            return std::fprintf(stderr, "copy: %s\n", error.c_str()), 1;
        t1 = Clock::now();
    }
    rdb::pg::Command(direct.get(), "VACUUM ANALYZE", &error);
    std::printf("rdbcli --copy path: %lld records into PostgreSQL in %.1f s\n", records, Ms(t0, t1) / 1000);
    rdb::pg::ConnPtr floor = rdb::pg::Connect(uri, 30000, &error);
    if (!floor || !rdb::pg::Command(floor.get(), kPlainCopies, &error) ||
        !rdb::pg::Command(floor.get(), "VACUUM ANALYZE plain.rst_inb, plain.service_info", &error) ||
        !rdb::pg::Command(floor.get(), "SET search_path = plain, public", &error))
        return std::fprintf(stderr, "plain copies: %s\n", error.c_str()), 1;

    const RDBHANDLE pg = RDBServerOpen(uri.c_str(), "8907");
    const RDBHANDLE embedded = RDBServerOpen(("file:" + path).c_str(), "8907");
    struct Case {
        const char* name;
        std::string sql;
        int runs;
    };
    const std::vector<Case> cases = {
        {"new-record count", sql::NewCountSql("1001", "20261201", "20261210", ""), 21},
        {"loan list (unprocessed)", sql::CallbackListSql(true, sql::ListKind::Unprocessed, "1001", "20261201", "20261210", ""), 7},
    };
    std::printf("\nload average before: %s\n", LoadAverage().c_str());
    std::printf("%-26s %10s %10s %10s %10s %8s %8s %8s %8s\n", "statement (median ms)", "transport",
                "libpq", "floor", "embedded", "tr/pq", "tr/floor", "pq/floor", "tr/emb");
    for (const Case& c : cases) {
        rdb::Translation t;
        if (!rdb::TranslateToPostgres(c.sql, &t, &error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
        long long rowsT = 0, rowsD = 0, rowsF = 0, rowsE = 0;
        const double viaTransport = Median(c.runs, [&] { return ViaClient(pg, c.sql); }, &rowsT);
        const double viaLibpq = Median(c.runs, [&] { return Direct(direct.get(), t); }, &rowsD);
        const double onFloor = Median(c.runs, [&] { return Direct(floor.get(), t); }, &rowsF);
        const double viaEmbedded = Median(c.runs, [&] { return ViaClient(embedded, c.sql); }, &rowsE);
        if (rowsT != rowsD || rowsT != rowsF || rowsT != rowsE)
            std::printf("row counts differ: %lld %lld %lld %lld\n", rowsT, rowsD, rowsF, rowsE);
        std::printf("%-26s %10.2f %10.2f %10.2f %10.2f %8.2f %8.2f %8.2f %8.2f   (%lld rows)\n", c.name,
                    viaTransport, viaLibpq, onFloor, viaEmbedded, viaTransport / viaLibpq, viaTransport / onFloor,
                    viaLibpq / onFloor, viaTransport / viaEmbedded, rowsT);
        if (explain) {
            PrintPlan(direct.get(), "the desk's tables", t.sql);
            PrintPlan(floor.get(), "the floor", t.sql);
        }
    }
    std::printf("load average after: %s\n", LoadAverage().c_str());
    return 0;
}
