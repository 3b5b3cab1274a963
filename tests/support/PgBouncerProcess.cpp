#include "tests/support/PgBouncerProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/PgCluster.h"

namespace {

void GiveToPostgres(const std::string& path) {
    if (geteuid() != 0) return;
    if (const passwd* pw = getpwnam("postgres"); pw == nullptr || chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0)
        throw std::runtime_error("chown " + path + " failed");
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) return false;
    chmod(path.c_str(), 0600);
    GiveToPostgres(path);
    return true;
}

bool Accepts(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

}  // namespace

PgBouncerProcess::PgBouncerProcess() {
    std::string templ = (std::filesystem::temp_directory_path() / "orvanta-pool-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
    chmod(dir_.c_str(), 0755);
    GiveToPostgres(dir_);
}

PgBouncerProcess::~PgBouncerProcess() {
    Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string PgBouncerProcess::Program() {
    const char* env = std::getenv("PGBOUNCER");
    return env != nullptr ? env : "/usr/sbin/pgbouncer";
}

bool PgBouncerProcess::Start(const PgCluster& cluster, const std::vector<std::string>& logins,
                             const std::vector<std::string>& extraLines,
                             const std::vector<std::pair<std::string, std::string>>& plainPasswords) {
    // The pooler answers the clients' SCRAM with the stored secret and reuses it towards
    // the server: no plain password on disk.
    std::string users;
    for (const std::string& login : logins) {
        const auto rows = cluster.Rows("SELECT rolpassword FROM pg_authid WHERE rolname = '" + login + "'");
        if (rows.empty()) {
            error_ = "no login " + login;
            return false;
        }
        users += "\"" + login + "\" \"" + rows[0][0] + "\"\n";
    }
    for (const auto& [login, password] : plainPasswords) users += "\"" + login + "\" \"" + password + "\"\n";
    port_ = FreeLoopbackPort();
    std::string ini =
        "[databases]\n"
        "* = host=" + (bySocket_ ? cluster.Dir() : std::string("127.0.0.1")) + " port=" + std::to_string(cluster.Port()) + "\n"
        "[pgbouncer]\n"
        "listen_addr = 127.0.0.1\n"
        "listen_port = " + std::to_string(port_) + "\n"
        "unix_socket_dir =\n"
        "auth_type = scram-sha-256\n"
        "auth_file = " + dir_ + "/userlist.txt\n"
        "pool_mode = transaction\n"
        "max_client_conn = 200\n"
        "default_pool_size = 8\n"
        "logfile = " + dir_ + "/pgbouncer.log\n"
        "pidfile = " + dir_ + "/pgbouncer.pid\n";
    for (const std::string& line : extraLines) ini += line + "\n";
    if (!WriteFile(dir_ + "/userlist.txt", users) || !WriteFile(dir_ + "/pgbouncer.ini", ini)) {
        error_ = "cannot write the pooler's configuration";
        return false;
    }
    return Launch();
}

bool PgBouncerProcess::StartWithConfig(const std::string& ini, uint16_t port,
                                       const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, content] : files)
        if (!WriteFile(dir_ + "/" + name, content)) {
            error_ = "cannot write " + name;
            return false;
        }
    if (!WriteFile(dir_ + "/pgbouncer.ini", ini)) {
        error_ = "cannot write the pooler's configuration";
        return false;
    }
    port_ = port;
    return Launch();
}

bool PgBouncerProcess::Launch() {
    // In the foreground, as our own child. It takes the hard open-file limit: one
    // descriptor per client.
    ChildOptions options;
    if (geteuid() == 0) options.runAs = "postgres";
    options.logPath = dir_ + "/start.out";
    options.raiseOpenFileLimit = true;
    if (!pooler_.Start({Program(), "-q", dir_ + "/pgbouncer.ini"}, options)) {
        error_ = "pgbouncer did not start: " + pooler_.Problem();
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!pooler_.Running()) {
            error_ = "pgbouncer did not start: " + LogText();
            return false;
        }
        if (Accepts(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error_ = "pgbouncer did not listen: " + LogText();
    pooler_.Stop(SIGINT, 10000);
    return false;
}

void PgBouncerProcess::Stop() { pooler_.Stop(SIGINT, 10000); }

bool PgBouncerProcess::Restart() {
    Stop();
    return Launch();
}

std::string PgBouncerProcess::LogText() const {
    std::ifstream in(dir_ + "/pgbouncer.log");
    std::ostringstream s;
    s << in.rdbuf();
    std::ifstream out(dir_ + "/start.out");
    s << out.rdbuf();
    return s.str();
}

std::string PgBouncerProcess::Uri(const std::string& db, const std::string& user) const {
    return "postgresql://" + user + "@127.0.0.1:" + std::to_string(port_) + "/" + db;
}

// A setting of the shipped deploy/pgbouncer.ini (0 when it is not set).
int ShippedPoolerSetting(const std::string& name) {
    std::ifstream in(ORVANTA_SOURCE_DIR "/deploy/pgbouncer.ini");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key, eq;
        int value = 0;
        if (words >> key >> eq >> value && key == name && eq == "=") return value;
    }
    return 0;
}
