// A throwaway PostgreSQL cluster for tests: initdb in a fresh temporary folder, started
// with pg_ctl on a free loopback port, its unix socket in the same folder, stopped and
// removed by the destructor. PostgreSQL refuses to run as root, so under root every server
// program runs as the `postgres` user (runuser); otherwise as the calling user.
//
// Authentication: the unix socket trusts everyone (the tests' administrative connection);
// TCP asks for a SCRAM password. Options add lines to postgresql.conf (after the defaults,
// so they win) and to pg_hba.conf (before the defaults, so they match first).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rdb/pg/PgConn.h"

class PgCluster {
public:
    struct Options {
        std::vector<std::string> confLines;
        std::vector<std::string> hbaLines;
        // Files copied into the data folder before the start (name -> content), owned by
        // the server's user with mode 0600: certificates and keys for TLS, for example.
        std::vector<std::pair<std::string, std::string>> dataFiles;
        // A standby: the data folder is a pg_basebackup -R of this connection string
        // instead of a fresh initdb.
        std::string baseBackupFrom;
        // When above 0: the server's processes may map at most this many bytes of private
        // memory (RLIMIT_DATA, as systemd's LimitDATA= sets it), kept across restarts.
        uint64_t dataLimitBytes = 0;
    };

    PgCluster();
    // A running cluster made and removed by someone else, its socket in socketDir: the
    // connections and logins work, Start and Stop do nothing.
    PgCluster(const std::string& socketDir, uint16_t port);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // initdb (first time only) and start. False with ErrorText() on failure.
    bool Start(const Options& options);
    bool Start();
    // pg_ctl stop: mode "fast" or "immediate" (a crash: no shutdown work at all).
    bool Stop(const std::string& mode = "fast");
    // Starts again on the same port with the same data.
    bool Restart(const std::string& mode = "fast");
    bool Running() const { return running_; }

    uint16_t Port() const { return port_; }
    const std::string& Dir() const { return dir_; }      // socket folder, owned by the server user
    std::string DataDir() const { return dir_ + "/data"; }
    const std::string& ErrorText() const { return error_; }
    std::string LogText() const;

    // Administrative connection over the unix socket, as the superuser `postgres`.
    std::string AdminUri(const std::string& db = "postgres") const;
    rdb::pg::ConnPtr Admin(const std::string& db = "postgres") const;
    // Runs one statement as the superuser; throws std::runtime_error on failure.
    void Exec(const std::string& sql, const std::string& db = "postgres") const;
    // Rows of a query as texts (NULL as "<null>"); throws on failure.
    std::vector<std::vector<std::string>> Rows(const std::string& sql,
                                               const std::string& db = "postgres") const;

    // A login role with a SCRAM password (created or reset), and its line in this cluster's
    // password file, which PasswordFile() names (for PGPASSFILE).
    void CreateLogin(const std::string& user, const std::string& password, bool superuser = false);
    std::string PasswordFile() const { return dir_ + "/pgpass"; }
    // pg_hba.conf as it is, and a new text for it, read by the running server at once.
    std::string HbaText() const;
    void SetHbaText(const std::string& text);
    // A desk's address over TCP, without a password: postgresql://USER@127.0.0.1:PORT/DB
    std::string TcpUri(const std::string& db, const std::string& user) const;

    // The folder of the server programs: $PG_BINDIR, else the newest under
    // /usr/lib/postgresql/*/bin.
    static std::string BinDir();

private:
    bool Initialize(const std::string& baseBackupFrom);
    bool RunServerTool(const std::vector<std::string>& args, std::string* output = nullptr, uint64_t dataLimit = 0);

    std::string dir_;
    std::string socketDir_;  // the attached cluster's; empty: dir_
    uint16_t port_ = 0;
    bool initialized_ = false;
    bool running_ = false;
    uint64_t dataLimitBytes_ = 0;
    std::string error_;
    std::vector<std::pair<std::string, std::string>> passwords_;
};

// A loopback port nobody listens on right now (0 when none could be found).
uint16_t FreeLoopbackPort();

// One cluster per test program, started at first use and stopped when the program exits,
// with a desk login `desk` (password in PasswordFile(), PGPASSFILE set to it).
PgCluster& SharedPgCluster();
// Makes SharedPgCluster() that running cluster instead of one of its own; before its first use.
void AttachSharedPgCluster(const std::string& socketDir, uint16_t port);
inline constexpr const char kDeskLogin[] = "desk";
inline constexpr const char kDeskPassword[] = "desk-pw-7f3a";

// How the statement suite's desks reach a database of the shared cluster: TcpUri(db,
// kDeskLogin) unless a program puts something (a pooler) in between.
std::string PgDeskAddress(const std::string& db);

// Row strings of a statement through the client interface (the desk's own path); a failed
// call gives one row "<error CODE MESSAGE>".
std::vector<std::string> RowStrings(const std::string& address, const std::string& sql);
void SetPgDeskAddress(std::string (*address)(const std::string& db));

// Sends sql with params and waits at most `seconds` for its end: true or false (error set)
// when it ended, nullopt while it still waits (it is cancelled then, so the caller can go on).
std::optional<bool> FinishesWithin(PGconn* conn, const std::string& sql, const std::vector<std::string>& params,
                                   int seconds, std::string* error);
