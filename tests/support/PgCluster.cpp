#include "tests/support/PgCluster.h"

#include "data/RdbClient.h"
#include "tests/support/ChildProcess.h"

#include <arpa/inet.h>
#include <poll.h>
#include <fcntl.h>
#include <glob.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char kServerUser[] = "postgres";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool AppendFile(const std::string& path, const std::string& text, bool truncate = false) {
    std::ofstream out(path, truncate ? std::ios::binary | std::ios::trunc : std::ios::binary | std::ios::app);
    out << text;
    return static_cast<bool>(out);
}

bool RunningAsRoot() { return geteuid() == 0; }

// Hands a path to the server's user (only needed when we are root).
void GiveToServerUser(const std::string& path) {
    if (!RunningAsRoot()) return;
    const passwd* pw = getpwnam(kServerUser);
    if (pw != nullptr && chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
        throw std::runtime_error("chown " + path + " failed");
    }
}

std::string PasswordFileField(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == ':' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string Literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace

uint16_t FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

PgCluster::PgCluster() {
    std::string templ = (std::filesystem::temp_directory_path() / "orvanta-pg-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
    // The socket lives here: everyone may reach it, only the server writes.
    chmod(dir_.c_str(), 0755);
    GiveToServerUser(dir_);
}

PgCluster::PgCluster(const std::string& socketDir, uint16_t port) : PgCluster() {
    socketDir_ = socketDir;
    port_ = port;
    initialized_ = true;
}

PgCluster::~PgCluster() {
    if (running_ && !Stop("fast")) Stop("immediate");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string PgCluster::BinDir() {
    if (const char* env = std::getenv("PG_BINDIR")) return env;
    glob_t g{};
    std::string best;
    if (glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &g) == 0) {
        std::vector<std::string> found(g.gl_pathv, g.gl_pathv + g.gl_pathc);
        // Versions compare as numbers: 9.6 < 15.
        std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
            return std::atof(a.c_str() + 20) < std::atof(b.c_str() + 20);
        });
        best = std::filesystem::path(found.back()).parent_path().string();
    }
    globfree(&g);
    return best;
}

bool PgCluster::RunServerTool(const std::vector<std::string>& args, std::string* output, uint64_t dataLimit) {
    std::vector<std::string> argv;
    if (dataLimit > 0) argv = {"prlimit", "--data=" + std::to_string(dataLimit)};
    argv.push_back(BinDir() + "/" + args[0]);
    argv.insert(argv.end(), args.begin() + 1, args.end());
    ChildOptions options;
    if (RunningAsRoot()) options.runAs = kServerUser;
    // The server's user must be able to enter its folder; run from there.
    options.workDir = dir_;
    options.logPath = dir_ + "/tool.out";
    const ChildResult result = RunChild(argv, options);
    if (output != nullptr) *output = result.out;
    if (result.exitCode == 0) return true;
    error_ = args[0] + (result.timedOut ? " did not end: " : " failed: ") + result.problem + result.out;
    return false;
}

bool PgCluster::Initialize(const std::string& baseBackupFrom) {
    if (BinDir().empty()) {
        error_ = "no PostgreSQL server programs under /usr/lib/postgresql (install postgresql)";
        return false;
    }
    if (!baseBackupFrom.empty()) {
        if (!RunServerTool({"pg_basebackup", "-D", DataDir(), "-R", "-X", "stream", "-c", "fast", "-d", baseBackupFrom}))
            return false;
        initialized_ = true;
        return true;
    }
    if (!RunServerTool({"initdb", "-D", DataDir(), "-U", "postgres", "-A", "trust", "-E", "UTF8",
                        "--locale=C.UTF-8", "--no-sync"}))
        return false;
    initialized_ = true;
    return true;
}

bool PgCluster::Start(const Options& options) {
    if (running_ || !socketDir_.empty()) return true;
    if (!initialized_) {
        if (!Initialize(options.baseBackupFrom)) return false;
        dataLimitBytes_ = options.dataLimitBytes;
        std::string conf =
            "\n# throwaway test cluster\n"
            "listen_addresses = '127.0.0.1'\n"
            "unix_socket_directories = '" + dir_ + "'\n"
            // fsync off only skips the disk: a commit's WAL is still written before it is
            // acknowledged, so a crash of the server (not of the machine) keeps it.
            "fsync = off\n"
            "full_page_writes = off\n"
            "max_connections = 120\n"
            "shared_buffers = 32MB\n"
            "password_encryption = 'scram-sha-256'\n";
        for (const std::string& line : options.confLines) conf += line + "\n";
        std::string hba = "# throwaway test cluster\n";
        for (const std::string& line : options.hbaLines) hba += line + "\n";
        hba +=
            "local all all trust\n"
            "host all all 127.0.0.1/32 scram-sha-256\n"
            "host all all ::1/128 scram-sha-256\n";
        if (!AppendFile(DataDir() + "/postgresql.conf", conf) ||
            !AppendFile(DataDir() + "/pg_hba.conf", hba, true)) {
            error_ = "cannot write the cluster's configuration";
            return false;
        }
        for (const auto& [name, content] : options.dataFiles) {
            const std::string path = DataDir() + "/" + name;
            if (!AppendFile(path, content, true)) {
                error_ = "cannot write " + path;
                return false;
            }
            chmod(path.c_str(), 0600);
            GiveToServerUser(path);
        }
    }
    // Another program may take the probed port before the server binds it: try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (port_ == 0 || attempt > 0) {
            port_ = FreeLoopbackPort();
            AppendFile(DataDir() + "/postgresql.conf", "port = " + std::to_string(port_) + "\n");
        }
        if (RunServerTool({"pg_ctl", "-D", DataDir(), "-l", dir_ + "/server.log", "-w", "-t", "60", "start"},
                          nullptr, dataLimitBytes_)) {
            running_ = true;
            return true;
        }
        if (LogText().find("could not bind") == std::string::npos) break;
    }
    error_ += "\n" + LogText();
    return false;
}

bool PgCluster::Start() { return Start(Options()); }

bool PgCluster::Stop(const std::string& mode) {
    if (!running_ || !socketDir_.empty()) return true;
    if (!RunServerTool({"pg_ctl", "-D", DataDir(), "-m", mode, "-w", "-t", "60", "stop"})) return false;
    running_ = false;
    return true;
}

bool PgCluster::Restart(const std::string& mode) { return Stop(mode) && Start(); }

std::string PgCluster::LogText() const { return ReadFile(dir_ + "/server.log"); }

std::string PgCluster::AdminUri(const std::string& db) const {
    return "postgresql:///" + db + "?host=" + (socketDir_.empty() ? dir_ : socketDir_) + "&port=" + std::to_string(port_) + "&user=postgres";
}

rdb::pg::ConnPtr PgCluster::Admin(const std::string& db) const {
    std::string error;
    rdb::pg::ConnPtr conn = rdb::pg::Connect(AdminUri(db), 30000, &error);
    if (!conn) throw std::runtime_error(error);
    return conn;
}

void PgCluster::Exec(const std::string& sql, const std::string& db) const {
    rdb::pg::ConnPtr conn = Admin(db);
    std::string error;
    if (!rdb::pg::Command(conn.get(), sql, &error)) throw std::runtime_error(sql + ": " + error);
}

std::vector<std::vector<std::string>> PgCluster::Rows(const std::string& sql, const std::string& db) const {
    rdb::pg::ConnPtr conn = Admin(db);
    std::string error;
    rdb::pg::ResultPtr r = rdb::pg::Exec(conn.get(), sql, {}, &error);
    if (!r) throw std::runtime_error(sql + ": " + error);
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        std::vector<std::string> row;
        for (int j = 0; j < PQnfields(r.get()); ++j)
            row.emplace_back(PQgetisnull(r.get(), i, j) ? "<null>" : PQgetvalue(r.get(), i, j));
        rows.push_back(std::move(row));
    }
    return rows;
}

void PgCluster::CreateLogin(const std::string& user, const std::string& password, bool superuser) {
    const std::string ident = "\"" + user + "\"";
    const std::string attrs = std::string(superuser ? " SUPERUSER" : "") + " LOGIN PASSWORD " + Literal(password);
    if (Rows("SELECT 1 FROM pg_roles WHERE rolname = " + Literal(user)).empty()) {
        Exec("CREATE ROLE " + ident + attrs);
    } else {
        Exec("ALTER ROLE " + ident + attrs);
    }
    passwords_.erase(std::remove_if(passwords_.begin(), passwords_.end(),
                                    [&](const auto& p) { return p.first == user; }),
                     passwords_.end());
    passwords_.emplace_back(user, password);
    std::string lines;
    for (const auto& [u, p] : passwords_)
        lines += "127.0.0.1:" + std::to_string(port_) + ":*:" + PasswordFileField(u) + ":" + PasswordFileField(p) + "\n";
    const std::string path = PasswordFile();
    AppendFile(path, lines, true);
    chmod(path.c_str(), 0600);
}

std::string PgCluster::HbaText() const { return ReadFile(DataDir() + "/pg_hba.conf"); }

void PgCluster::SetHbaText(const std::string& text) {
    if (!AppendFile(DataDir() + "/pg_hba.conf", text, true)) throw std::runtime_error("cannot write pg_hba.conf");
    Exec("SELECT pg_reload_conf()");
}

std::string PgCluster::TcpUri(const std::string& db, const std::string& user) const {
    return "postgresql://" + user + "@127.0.0.1:" + std::to_string(port_) + "/" + db;
}

namespace {
std::string g_attachSocketDir;
uint16_t g_attachPort = 0;
}  // namespace

void AttachSharedPgCluster(const std::string& socketDir, uint16_t port) {
    g_attachSocketDir = socketDir;
    g_attachPort = port;
}

PgCluster& SharedPgCluster() {
    static std::unique_ptr<PgCluster> cluster;
    if (!cluster) {
        auto fresh = g_attachSocketDir.empty() ? std::make_unique<PgCluster>()
                                               : std::make_unique<PgCluster>(g_attachSocketDir, g_attachPort);
        if (!fresh->Start()) throw std::runtime_error("test cluster did not start: " + fresh->ErrorText());
        fresh->CreateLogin(kDeskLogin, kDeskPassword);
        setenv("PGPASSFILE", fresh->PasswordFile().c_str(), 1);
        cluster = std::move(fresh);
    }
    return *cluster;
}

namespace {
std::string (*g_deskAddress)(const std::string& db) = nullptr;
}

std::string PgDeskAddress(const std::string& db) {
    return g_deskAddress != nullptr ? g_deskAddress(db) : SharedPgCluster().TcpUri(db, kDeskLogin);
}

void SetPgDeskAddress(std::string (*address)(const std::string& db)) { g_deskAddress = address; }

std::vector<std::string> RowStrings(const std::string& address, const std::string& sql) {
    static std::vector<std::string>* sink = nullptr;
    std::vector<std::string> rows;
    sink = &rows;
    const RDBHANDLE h = RDBServerOpen(address.c_str(), "8907");
    RDBSetEventCallBackFN([](int32_t, int32_t, int32_t, const char* row) -> int32_t {
        sink->push_back(row);
        return 1;
    });
    int32_t count = 0;
    RDB_ERROR err{};
    const int32_t rc = RDBQueryRecord(h, "NEW_ACS", 0, sql.c_str(), &count, &err);
    sink = nullptr;
    if (rc <= 0) rows.push_back("<error " + std::to_string(err.nCode) + " " + err.szMessage + ">");
    return rows;
}

std::optional<bool> FinishesWithin(PGconn* conn, const std::string& sql, const std::vector<std::string>& params,
                                   int seconds, std::string* error) {
    std::vector<const char*> values;
    for (const std::string& v : params) values.push_back(v.c_str());
    if (PQsendQueryParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                          nullptr, 0) != 1)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (PQisBusy(conn)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{PQsocket(conn), POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
            if (PGcancel* c = PQgetCancel(conn)) {
                char buf[256];
                PQcancel(c, buf, sizeof buf);
                PQfreeCancel(c);
            }
            while (PGresult* r = PQgetResult(conn)) PQclear(r);
            return std::nullopt;
        }
        PQconsumeInput(conn);
    }
    bool ok = true;
    while (PGresult* r = PQgetResult(conn)) {
        if (PQresultStatus(r) == PGRES_FATAL_ERROR) {
            ok = false;
            *error = PQresultErrorMessage(r);
        }
        PQclear(r);
    }
    return ok;
}
