#include "rdb/pg/PgTools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "platform/HelpVersion.h"
#include "rdb/engine/DemoData.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgConn.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgRoles.h"
#include "rdb/pg/PgSchema.h"

namespace rdb::pg {
namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: rdbcli --init URI\n"
                 "       rdbcli --create-demo URI [--days N] [--per-day N] [--seed N]\n"
                 "       rdbcli --feed URI --every SECONDS [--count N]\n"
                 "       rdbcli --copy FROM TO   (FROM: a database file, TO: an empty PostgreSQL database)\n"
                 "       rdbcli --add-customer URI USER_ID ROLE   (the password is read from standard input)\n"
                 "URI: postgresql://[user@]host[:port]/dbname[?param=value...]; the password comes from\n"
                 "~/.pgpass, PGPASSFILE or a pg_service.conf entry (?service=NAME).\n");
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "rdbcli: %s\n", message.c_str());
    return 1;
}

ConnPtr Open(const std::string& uri, std::string* error) { return Connect(uri, kConnectTimeoutMs, error); }

// Installs or migrates the schema; false (message printed) when refused or failed.
bool Install(PGconn* conn, bool quietWhenCurrent) {
    std::string message;
    const InitResult r = EnsureSchema(conn, &message);
    if (r == InitResult::Refused || r == InitResult::Failed) {
        std::fprintf(stderr, "rdbcli: %s\n", message.c_str());
        return false;
    }
    if (!(quietWhenCurrent && r == InitResult::UpToDate)) std::printf("%s\n", message.c_str());
    return true;
}

int Init(const std::string& uri) {
    std::string error;
    ConnPtr conn = Open(uri, &error);
    if (!conn) return Fail(error);
    BoundLockWaits(conn.get());
    if (!Install(conn.get(), false)) {
        const std::string holders = LockHolders(conn.get());
        if (!holders.empty()) std::fprintf(stderr, "rdbcli: %s\n", holders.c_str());
        return 1;
    }
    std::string message;
    const LockResult locked = LockDown(conn.get(), &message);
    if (locked == LockResult::Failed) return Fail(message);
    std::fprintf(locked == LockResult::Done ? stdout : stderr, "%s\n", message.c_str());
    return 0;
}

int AddCustomerLogin(const std::string& uri, const std::string& userId, const std::string& role) {
    // One line from standard input, so the password stays out of the command line and the
    // shell's history.
    std::string password;
    for (int c; (c = std::getchar()) != EOF && c != '\n';) password += static_cast<char>(c);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) return Fail("no password on standard input");
    std::string error;
    ConnPtr conn = Open(uri, &error);
    if (!conn) return Fail(error);
    std::string message;
    if (!AddCustomer(conn.get(), userId, role, password, &message)) return Fail(message);
    std::printf("%s\n", message.c_str());
    return 0;
}

int CreateDemo(const std::string& uri, const DemoOptions& options) {
    std::string error;
    ConnPtr conn = Open(uri, &error);
    if (!conn) return Fail(error);
    if (!Install(conn.get(), true)) return 1;
    ResultPtr r = Exec(conn.get(), "SELECT 1 FROM USER_INFO WHERE USER_ID = $1", {std::string(kFeedUserId)}, &error);
    if (!r) return Fail(error);
    if (PQntuples(r.get()) == 0) {
        // The data set is made by the embedded engine in memory and copied over, so both
        // homes hold the same demo.
        Error e;
        Engine::Options make;
        make.create = true;
        std::unique_ptr<Engine> demo = Engine::Open(":memory:", make, &e);
        if (!demo || !FillDemoData(*demo, options, &e)) return Fail("demo data: " + e.message);
        CopyOptions copy;
        copy.keepKeys = false;
        if (!CopyFromEngine(*demo, conn.get(), copy, nullptr, &error)) return Fail(error);
    }
    std::printf("demo database: %s\n", RedactAddress(uri).c_str());
    for (int i = 0; i < kDemoLoginCount; ++i) {
        const DemoLogin& l = kDemoLogins[i];
        std::printf("login %s  password %s  (%s)\n", l.loginId, l.password, l.what);
    }
    return 0;
}

int Feed(const std::string& uri, double every, long long count) {
    std::string error;
    ConnPtr conn = Open(uri, &error);
    if (!conn) return Fail(error);
    ResultPtr r = Exec(conn.get(),
                       "SELECT SVC_ID, SVC_TYPE, USER_ID FROM SERVICE_INFO WHERE USER_ID = $1 AND SVC_TYPE IN (1, 2) "
                       "ORDER BY SVC_ID",
                       {std::string(kFeedUserId)}, &error);
    if (!r) return Fail(error);
    std::vector<FeedService> services;
    for (int i = 0; i < PQntuples(r.get()); ++i)
        services.push_back({std::atoi(PQgetvalue(r.get(), i, 0)), std::atoi(PQgetvalue(r.get(), i, 1)),
                            PQgetvalue(r.get(), i, 2)});
    if (services.empty()) return Fail("the demo user has no service of type 1 or 2 (create the demo data first)");
    std::string insert = "INSERT INTO RST_INB (";
    std::string values;
    for (size_t i = 0; i < sizeof kFeedColumns / sizeof kFeedColumns[0]; ++i) {
        insert += (i > 0 ? ", " : "") + std::string(kFeedColumns[i]);
        values += (i > 0 ? ", $" : "$") + std::to_string(i + 1);
    }
    insert += ") VALUES (" + values + ") RETURNING ACS_ID";
    // A different request every run and every step.
    const uint32_t base = static_cast<uint32_t>(std::time(nullptr));
    for (long long i = 0; count < 0 || i < count; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(every));
        r = Exec(conn.get(), insert, FeedRequestValues(services, base + static_cast<uint32_t>(i)), &error);
        if (!r) return Fail(error);
        std::printf("%s\n", PQgetvalue(r.get(), 0, 0));
        std::fflush(stdout);
    }
    return 0;
}

int Copy(const std::string& from, const std::string& to) {
    if (!IsPostgresAddress(to)) return Fail("--copy writes to a PostgreSQL database (postgresql://...)");
    if (IsPostgresAddress(from)) return Fail("--copy reads a database file (PATH or file:PATH)");
    const std::string path = from.compare(0, 5, "file:") == 0 ? from.substr(5) : from;
    Error e;
    Engine::Options readOnly;
    readOnly.readOnly = true;
    std::unique_ptr<Engine> source = Engine::Open(path, readOnly, &e);
    if (!source) return Fail("cannot open " + path + ": " + e.message);
    std::string error;
    ConnPtr conn = Open(to, &error);
    if (!conn) return Fail(error);
    if (!Install(conn.get(), true)) return 1;
    std::vector<std::pair<std::string, int64_t>> counts;
    if (!CopyFromEngine(*source, conn.get(), CopyOptions(), &counts, &error)) return Fail(error);
    for (const auto& [table, rows] : counts) std::printf("%s: %lld rows\n", table.c_str(), static_cast<long long>(rows));
    return 0;
}

}  // namespace

bool ToolWants(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--copy" || arg == "--add-customer") return true;
        if ((arg == "--init" || arg == "--create-demo" || arg == "--feed") && i + 1 < argc &&
            IsPostgresAddress(argv[i + 1]))
            return true;
    }
    return false;
}

int RunTool(int argc, char** argv) {
    std::string command, address, copyTo, customer, role;
    double every = -1;
    long long count = -1;
    DemoOptions demo;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long long n = 0;
        if (value == nullptr) return Usage();
        if (arg == "--add-customer") {
            if (!command.empty() || i + 3 >= argc) return Usage();
            command = arg;
            address = argv[i + 1];
            customer = argv[i + 2];
            role = argv[i + 3];
            i += 3;
            continue;
        }
        if (arg == "--init" || arg == "--create-demo" || arg == "--feed" || arg == "--copy") {
            if (!command.empty()) return Usage();
            command = arg;
            address = value;
            if (arg == "--copy") {
                if (i + 2 >= argc) return Usage();
                copyTo = argv[i + 2];
                ++i;
            }
        } else if (arg == "--every") {
            char* end = nullptr;
            every = std::strtod(value, &end);
            if (*end != '\0' || !(every >= 0) || every > 86400) return Usage();
        } else if (arg == "--count" && platform::ParseInt(value, 0, 1000000000, &n)) {
            count = n;
        } else if (arg == "--days" && platform::ParseInt(value, 1, 3660, &n)) {
            demo.days = static_cast<int>(n);
        } else if (arg == "--per-day" && platform::ParseInt(value, 0, 1000000, &n)) {
            demo.recordsPerDay = static_cast<int>(n);
        } else if (arg == "--seed" && platform::ParseInt(value, 0, UINT32_MAX, &n)) {
            demo.seed = static_cast<uint32_t>(n);
        } else {
            return Usage();
        }
        ++i;
    }
    if (command == "--init") return Init(address);
    if (command == "--create-demo") return CreateDemo(address, demo);
    if (command == "--feed" && every >= 0) return Feed(address, every, count);
    if (command == "--copy") return Copy(address, copyTo);
    if (command == "--add-customer") return AddCustomerLogin(address, customer, role);
    return Usage();
}

}  // namespace rdb::pg
