// rdbcli: the operator's command-line client.
//   rdbcli -S ADDRESS -Q "SQL"        run a statement through the client library; print each
//                                     row string as delivered, one per line
//   rdbcli --init ADDRESS             create an empty database with the schema
//   rdbcli --create-demo PATH         create PATH (if needed) and fill the demo data set
//   rdbcli --feed PATH --every SECONDS [--count N]
//                                     add one new callback request every SECONDS
//   rdbcli --copy FROM TO             copy a database file into an empty PostgreSQL database
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "data/RdbClient.h"
#include "platform/HelpVersion.h"
#include "rdb/client/Transport.h"
#include "rdb/demo/DemoData.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgTools.h"

namespace {

constexpr const char* kPort = "8907";
constexpr const char* kDbName = "NEW_ACS";

void Usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "Usage: rdbcli -S ADDRESS -Q SQL\n"
                 "   or: rdbcli --init ADDRESS\n"
                 "   or: rdbcli --create-demo PATH [--days N] [--per-day N] [--seed N]\n"
                 "   or: rdbcli --feed PATH --every SECONDS [--count N]\n"
                 "   or: rdbcli --copy FROM TO\n"
                 "   or: rdbcli --help | --version\n"
                 "ADDRESS is file:PATH for a local database file, postgresql://... for a\n"
                 "PostgreSQL database, or HOST[:PORT] of rdbd. --init, --create-demo and --feed\n"
                 "take a PostgreSQL address too; --copy copies a database file into an empty\n"
                 "PostgreSQL database.\n");
}

int Fail(int32_t code, const char* message) {
    std::fprintf(stderr, "error %d: %s\n", static_cast<int>(code), message);
    return 1;
}

int32_t PrintRow(int32_t, int32_t, int32_t, const char* row) {
    std::fputs(row, stdout);
    std::fputc('\n', stdout);
    return 1;
}

int RunStatement(const std::string& address, const std::string& sql) {
    const RDBHANDLE h = RDBServerOpen(address.c_str(), kPort);
    if (h == 0) {
        const RDB_ERROR e = rdb::LastServerOpenError();
        return Fail(e.nCode, e.szMessage);
    }
    RDBSetEventCallBackFN(&PrintRow);
    int32_t rows = 0;
    RDB_ERROR err{};
    const int32_t rc = RDBQueryRecord(h, kDbName, 0, sql.c_str(), &rows, &err);
    std::fflush(stdout);
    if (rc <= 0) return Fail(err.nCode, err.szMessage);
    return 0;
}

int InitSqlite(const std::string& path) {
    rdb::Error err;
    bool existed = false;
    if (!rdb::InitDatabase(path, &existed, &err)) return Fail(err.code, err.message.c_str());
    std::printf(existed ? "database file:%s already has the schema; left as it is\n"
                        : "created database file:%s\n",
                path.c_str());
    return 0;
}

// One branch per kind of database address.
int Init(const std::string& address) {
    static const std::string kFilePrefix = "file:";
    if (address.compare(0, kFilePrefix.size(), kFilePrefix) == 0 && address.size() > kFilePrefix.size())
        return InitSqlite(address.substr(kFilePrefix.size()));
    std::fprintf(stderr, "rdbcli: --init does not know the address \"%s\" (want file:PATH)\n",
                 address.c_str());
    return 2;
}

int CreateDemo(const std::string& path, const rdb::DemoOptions& options) {
    rdb::Error err;
    rdb::Engine::Options open;
    open.create = true;
    auto engine = rdb::Engine::Open(path, open, &err);
    if (!engine) return Fail(err.code, err.message.c_str());
    if (!rdb::FillDemoData(*engine, options, &err)) return Fail(err.code, err.message.c_str());
    std::printf("demo database: file:%s\n", path.c_str());
    for (int i = 0; i < rdb::kDemoLoginCount; ++i) {
        const rdb::DemoLogin& l = rdb::kDemoLogins[i];
        std::printf("login %s  password %s  (%s)\n", l.loginId, l.password, l.what);
    }
    return 0;
}

int Feed(const std::string& path, double every, long long count) {
    rdb::Error err;
    auto engine = rdb::Engine::Open(path, &err);
    if (!engine) return Fail(err.code, err.message.c_str());
    // A different request every run and every step.
    const uint32_t base = static_cast<uint32_t>(std::time(nullptr));
    for (long long i = 0; count < 0 || i < count; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(every));
        const int64_t id = rdb::FeedOneRequest(*engine, base + static_cast<uint32_t>(i), &err);
        if (id < 0) return Fail(err.code, err.message.c_str());
        std::printf("%lld\n", static_cast<long long>(id));
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = platform::AnswerHelpOrVersion(argc, argv, "rdbcli", ORVANTA_VERSION, Usage);
        code >= 0)
        return code;
    // PostgreSQL databases (and --copy onto one) have their own commands.
    if (rdb::pg::ToolWants(argc, argv)) return rdb::pg::RunTool(argc, argv);
    std::string address, sql, demoPath, feedPath, initAddress;
    bool haveSql = false;
    double every = -1;
    long long count = -1;
    rdb::DemoOptions demo;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        if (value == nullptr) {
            Usage();
            return 2;
        }
        if (arg == "-S") {
            address = value;
        } else if (arg == "-Q") {
            sql = value;
            haveSql = true;
        } else if (arg == "--init") {
            initAddress = value;
        } else if (arg == "--create-demo") {
            demoPath = value;
        } else if (arg == "--feed") {
            feedPath = value;
        } else if (arg == "--every") {
            char* end = nullptr;
            every = std::strtod(value, &end);
            if (*end != '\0' || !(every >= 0) || every > 86400) {
                Usage();
                return 2;
            }
        } else if (arg == "--count" && platform::ParseInt(value, 0, 1000000000, &n)) {
            count = n;
        } else if (arg == "--days" && platform::ParseInt(value, 1, 3660, &n)) {
            demo.days = static_cast<int>(n);
        } else if (arg == "--per-day" && platform::ParseInt(value, 0, 1000000, &n)) {
            demo.recordsPerDay = static_cast<int>(n);
        } else if (arg == "--seed" && platform::ParseInt(value, 0, UINT32_MAX, &n)) {
            demo.seed = static_cast<uint32_t>(n);
        } else {
            Usage();
            return 2;
        }
        ++i;
    }
    if (!initAddress.empty()) {
        if (!address.empty() || haveSql || !demoPath.empty() || !feedPath.empty()) {
            Usage();
            return 2;
        }
        return Init(initAddress);
    }
    if (!demoPath.empty() && address.empty() && feedPath.empty()) return CreateDemo(demoPath, demo);
    if (!feedPath.empty() && address.empty() && demoPath.empty() && every >= 0)
        return Feed(feedPath, every, count);
    if (!address.empty() && haveSql && demoPath.empty() && feedPath.empty())
        return RunStatement(address, sql);
    Usage();
    return 2;
}
