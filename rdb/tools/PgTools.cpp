#include "rdb/tools/PgTools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <thread>

#include "rdb/client/ServerAddress.h"
#include "rdb/demo/DemoData.h"
#include "rdb/engine/Engine.h"
#include "rdb/pg/PgConn.h"
#include "rdb/pg/PgCopy.h"
#include "rdb/pg/PgRoles.h"
#include "rdb/pg/PgSchema.h"

namespace rdb::pg {
namespace {

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

}  // namespace

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
    std::printf("demo database: %s\n", ReadServerAddress(uri).display.c_str());
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
                       "SELECT SVC_ID, SVC_TYPE, USER_ID, SVC_NM FROM SERVICE_INFO WHERE USER_ID = $1 AND SVC_TYPE IN (1, 2) "
                       "ORDER BY SVC_ID",
                       {std::string(kFeedUserId)}, &error);
    if (!r) return Fail(error);
    std::vector<FeedService> services;
    std::map<std::string, std::string> names;  // SVC_ID -> SVC_NM, for the lines printed
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        services.push_back({std::atoi(PQgetvalue(r.get(), i, 0)), std::atoi(PQgetvalue(r.get(), i, 1)),
                            PQgetvalue(r.get(), i, 2)});
        names[PQgetvalue(r.get(), i, 0)] = PQgetvalue(r.get(), i, 3);
    }
    if (services.empty()) return Fail("the demo user has no service of type 1 or 2 (create the demo data first)");
    std::string insert = "INSERT INTO RST_INB (";
    std::string values;
    for (size_t i = 0; i < sizeof kFeedColumns / sizeof kFeedColumns[0]; ++i) {
        insert += (i > 0 ? ", " : "") + std::string(kFeedColumns[i]);
        values += (i > 0 ? ", $" : "$") + std::to_string(i + 1);
    }
    insert += ") VALUES (" + values + ") RETURNING ACS_ID, SVC_ID, RECV_PHONE, DIAL_TIME";
    // A different request every run and every step.
    const uint32_t base = static_cast<uint32_t>(std::time(nullptr));
    for (long long i = 0; count < 0 || i < count; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::duration<double>(every));
        r = Exec(conn.get(), insert, FeedRequestValues(services, base + static_cast<uint32_t>(i)), &error);
        if (!r) return Fail(error);
        // Which request went to which service, as the desk lists them.
        const std::string service = PQgetvalue(r.get(), 0, 1);
        std::printf("request %s: service %s.%s, caller %s, %s\n", PQgetvalue(r.get(), 0, 0), service.c_str(),
                    names[service].c_str(), PQgetvalue(r.get(), 0, 2), PQgetvalue(r.get(), 0, 3));
        std::fflush(stdout);
    }
    return 0;
}

int Copy(const std::string& path, const std::string& to) {
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

}  // namespace rdb::pg
