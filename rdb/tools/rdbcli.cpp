// rdbcli: the operator's command-line client. One option table, one usage text (the manual
// page is made from it); the PostgreSQL commands live in PgTools.
#include <getopt.h>
#include <strings.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "data/RdbClient.h"
#include "platform/HelpVersion.h"
#include "rdb/client/ServerAddress.h"
#include "rdb/client/Transport.h"
#include "rdb/demo/DemoData.h"
#include "rdb/engine/Engine.h"
#include "rdb/tools/PgTools.h"

namespace {

constexpr const char* kDbName = "NEW_ACS";

void Usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "Usage: rdbcli -S ADDRESS -Q STATEMENT\n"
                 "   or: rdbcli --init ADDRESS\n"
                 "   or: rdbcli --create-demo DATABASE [--days N] [--per-day N] [--seed N]\n"
                 "   or: rdbcli --feed DATABASE --every SECONDS [--count N]\n"
                 "   or: rdbcli --copy FILE URI\n"
                 "   or: rdbcli --add-customer URI USER_ID ROLE\n"
                 "   or: rdbcli --help | --version\n"
                 "Run a statement the way a desk does, or set up a database.\n"
                 "\n"
                 "  -S ADDRESS             the database to run the statement on\n"
                 "  -Q STATEMENT           the statement; each delivered row string is printed on\n"
                 "                         its own line\n"
                 "  --init ADDRESS         create the schema in a new database file, or install or\n"
                 "                         migrate it on PostgreSQL (as a superuser also the roles\n"
                 "                         and row-level security for many customers)\n"
                 "  --create-demo DATABASE  fill the demo data set (a file is created if needed)\n"
                 "  --days N               days of demo history, 1 to 3660 (default 14)\n"
                 "  --per-day N            demo call records per day (default 400)\n"
                 "  --seed N               seed of the demo data (the same data for the same seed)\n"
                 "  --feed DATABASE        add new callback requests to a demo database\n"
                 "  --every SECONDS        seconds between two requests, up to 86400\n"
                 "  --count N              stop after N requests (default: never)\n"
                 "  --copy FILE URI        copy every row of the database file FILE into the empty\n"
                 "                         PostgreSQL database URI\n"
                 "  --add-customer URI USER_ID ROLE\n"
                 "                         create the login ROLE for the customer USER_ID; its\n"
                 "                         password is read from standard input\n"
                 "  -h, --help             show this text\n"
                 "  --version              show the version\n"
                 "\n"
                 "ADDRESS is file:PATH for a database file, or\n"
                 "postgresql://[user@]host[:port]/dbname[?param=value...] for a PostgreSQL\n"
                 "database (the scheme in any case, postgres:// too). The password belongs in\n"
                 "~/.pgpass, PGPASSFILE or a pg_service.conf entry (?service=NAME), not in the\n"
                 "address. Any other text is refused. DATABASE is an ADDRESS or the PATH of a\n"
                 "database file; URI is a PostgreSQL ADDRESS.\n");
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
    const RDBHANDLE h = RDBServerOpen(address.c_str(), "");
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
        // Which request went to which service, as the desk lists them.
        std::string row;
        int32_t columns = 0;
        const std::string what = "select s.SVC_ID, s.SVC_NM, r.RECV_PHONE, r.DIAL_TIME from RST_INB r join SERVICE_INFO s "
                                 "on r.SVC_ID = s.SVC_ID where r.ACS_ID = " + std::to_string(id);
        if (engine->QueryFirst(what, &row, &columns, &err) != 1) return Fail(err.code, err.message.c_str());
        std::vector<std::string> f;
        for (size_t start = 0, end; (end = row.find(":;", start)) != std::string::npos; start = end + 2)
            f.push_back(row.substr(start, end - start));
        if (f.size() < 4) return Fail(-1, "the new request cannot be read back");
        std::printf("request %lld: service %s.%s, caller %s, %s\n", static_cast<long long>(id), f[0].c_str(),
                    f[1].c_str(), f[2].c_str(), f[3].c_str());
        std::fflush(stdout);
    }
    return 0;
}

// Exit status of a refused address: it is a bad command line.
int Refuse(const rdb::ServerAddress& a) {
    if (a.display.empty()) {
        std::fprintf(stderr, "rdbcli: %s\n", a.problem.c_str());
    } else {
        std::fprintf(stderr, "rdbcli: %s: %s\n", a.display.c_str(), a.problem.c_str());
    }
    return 2;
}

// DATABASE of --create-demo and --feed: an address, or the path of a database file.
bool FilePath(const std::string& text, const rdb::ServerAddress& a, std::string* path) {
    if (a.kind == rdb::AddressKind::File) {
        *path = a.target;
        return true;
    }
    // "file:" with nothing after it is a refused address, not a path.
    if (text.empty() || strncasecmp(text.c_str(), "file:", 5) == 0) return false;
    *path = text;
    return true;
}

enum Option : int {
    kInit = 256,
    kCreateDemo,
    kFeed,
    kCopy,
    kAddCustomer,
    kEvery,
    kCount,
    kDays,
    kPerDay,
    kSeed,
};

const option kOptions[] = {
    {"init", required_argument, nullptr, kInit},
    {"create-demo", required_argument, nullptr, kCreateDemo},
    {"feed", required_argument, nullptr, kFeed},
    {"copy", required_argument, nullptr, kCopy},
    {"add-customer", required_argument, nullptr, kAddCustomer},
    {"every", required_argument, nullptr, kEvery},
    {"count", required_argument, nullptr, kCount},
    {"days", required_argument, nullptr, kDays},
    {"per-day", required_argument, nullptr, kPerDay},
    {"seed", required_argument, nullptr, kSeed},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

struct Command {
    int what = 0;  // 'S' or one of the command options; 0: none given
    std::string database;
    std::string sql;
    bool haveSql = false;
    double every = -1;
    long long count = -1;
    bool demoOption = false;
    rdb::DemoOptions demo;
    std::vector<std::string> operands;
};

// Reads the command line into cmd; false when it is not one of the usage's forms.
bool ReadCommandLine(int argc, char** argv, Command* cmd) {
    opterr = 0;
    optind = 1;
    for (int c; (c = getopt_long(argc, argv, "S:Q:", kOptions, nullptr)) != -1;) {
        long long n = 0;
        switch (c) {
            case 'S':
            case kInit:
            case kCreateDemo:
            case kFeed:
            case kCopy:
            case kAddCustomer:
                if (cmd->what != 0) return false;
                cmd->what = c;
                cmd->database = optarg;
                break;
            case 'Q':
                cmd->sql = optarg;
                cmd->haveSql = true;
                break;
            case kEvery: {
                char* end = nullptr;
                cmd->every = std::strtod(optarg, &end);
                if (*optarg == '\0' || *end != '\0' || !(cmd->every >= 0) || cmd->every > 86400) return false;
                break;
            }
            case kCount:
                if (!platform::ParseInt(optarg, 0, 1000000000, &n)) return false;
                cmd->count = n;
                break;
            case kDays:
                if (!platform::ParseInt(optarg, 1, 3660, &n)) return false;
                cmd->demo.days = static_cast<int>(n);
                cmd->demoOption = true;
                break;
            case kPerDay:
                if (!platform::ParseInt(optarg, 0, 1000000, &n)) return false;
                cmd->demo.recordsPerDay = static_cast<int>(n);
                cmd->demoOption = true;
                break;
            case kSeed:
                if (!platform::ParseInt(optarg, 0, UINT32_MAX, &n)) return false;
                cmd->demo.seed = static_cast<uint32_t>(n);
                cmd->demoOption = true;
                break;
            default:
                return false;
        }
    }
    for (int i = optind; i < argc; ++i) cmd->operands.emplace_back(argv[i]);
    // Each option belongs to one command, and only --copy and --add-customer take operands.
    const size_t operands = cmd->what == kCopy ? 1 : cmd->what == kAddCustomer ? 2 : 0;
    if (cmd->what == 0 || cmd->operands.size() != operands) return false;
    if (cmd->haveSql != (cmd->what == 'S')) return false;
    if (cmd->what == kFeed ? cmd->every < 0 : cmd->every >= 0 || cmd->count >= 0) return false;
    if (cmd->demoOption && cmd->what != kCreateDemo) return false;
    return true;
}

int Run(const Command& cmd) {
    const rdb::ServerAddress a = rdb::ReadServerAddress(cmd.database);
    const bool postgres = a.kind == rdb::AddressKind::Postgres;
    std::string path;
    switch (cmd.what) {
        case 'S':
            if (a.kind == rdb::AddressKind::Refused) return Refuse(a);
            return RunStatement(cmd.database, cmd.sql);
        case kInit:
            if (postgres) return rdb::pg::Init(a.target);
            if (a.kind == rdb::AddressKind::File) return InitSqlite(a.target);
            return Refuse(a);
        case kCreateDemo:
            if (postgres) return rdb::pg::CreateDemo(a.target, cmd.demo);
            if (!FilePath(cmd.database, a, &path)) return Refuse(a);
            return CreateDemo(path, cmd.demo);
        case kFeed:
            if (postgres) return rdb::pg::Feed(a.target, cmd.every, cmd.count);
            if (!FilePath(cmd.database, a, &path)) return Refuse(a);
            return Feed(path, cmd.every, cmd.count);
        case kCopy: {
            if (postgres || !FilePath(cmd.database, a, &path)) {
                std::fprintf(stderr, "rdbcli: --copy reads a database file (PATH or file:PATH)\n");
                return 2;
            }
            const rdb::ServerAddress to = rdb::ReadServerAddress(cmd.operands[0]);
            if (to.kind != rdb::AddressKind::Postgres) {
                std::fprintf(stderr, "rdbcli: --copy writes to a PostgreSQL database (postgresql://...)\n");
                return to.kind == rdb::AddressKind::Refused ? Refuse(to) : 2;
            }
            return rdb::pg::Copy(path, to.target);
        }
        case kAddCustomer:
            if (!postgres) {
                if (a.kind == rdb::AddressKind::Refused) return Refuse(a);
                std::fprintf(stderr, "rdbcli: customer logins are made on a PostgreSQL database (postgresql://...)\n");
                return 2;
            }
            return rdb::pg::AddCustomerLogin(a.target, cmd.operands[0], cmd.operands[1]);
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = platform::AnswerHelpOrVersion(argc, argv, "rdbcli", ORVANTA_VERSION, Usage);
        code >= 0)
        return code;
    Command cmd;
    if (!ReadCommandLine(argc, argv, &cmd)) {
        Usage();
        return 2;
    }
    return Run(cmd);
}
