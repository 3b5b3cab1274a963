// A throwaway connection pooler in front of a test cluster: its own folder, a free loopback
// port, transaction pooling, SCRAM for clients with the secrets copied from the cluster, so
// desks log in through it with their ordinary passwords. Runs as the cluster's server user
// when we are root (it refuses to run as root), stopped by the destructor.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ChildProcess.h"

class PgCluster;

class PgBouncerProcess {
public:
    PgBouncerProcess();
    ~PgBouncerProcess();
    PgBouncerProcess(const PgBouncerProcess&) = delete;
    PgBouncerProcess& operator=(const PgBouncerProcess&) = delete;

    // Starts in front of cluster for the given logins (their secrets are read from the
    // cluster). extraLines go into the [pgbouncer] section; plainPasswords are logins the
    // pooler itself logs in as (an auth_user), with their passwords. False with ErrorText().
    bool Start(const PgCluster& cluster, const std::vector<std::string>& logins,
               const std::vector<std::string>& extraLines = {},
               const std::vector<std::pair<std::string, std::string>>& plainPasswords = {});
    // Starts from a whole configuration of the caller's, which listens on 127.0.0.1:port;
    // files (name -> content) are written into Dir() first, owned by the pooler's user with
    // mode 0600 (its password file, TLS key and certificate). False with ErrorText().
    bool StartWithConfig(const std::string& ini, uint16_t port,
                         const std::vector<std::pair<std::string, std::string>>& files);
    // Before Start: reach the server over its unix socket instead of TCP (as a pooler on the
    // server's machine does, so that pg_hba.conf can tell it from a desk).
    void ReachServerBySocket() { bySocket_ = true; }
    // Stops it (SIGINT: at once, dropping every client) and waits for the exit.
    void Stop();
    // Starts it again on the same port with the same settings.
    bool Restart();

    uint16_t Port() const { return port_; }
    const std::string& Dir() const { return dir_; }  // its configuration, log and pid file
    const std::string& ErrorText() const { return error_; }
    std::string LogText() const;
    // postgresql://USER@127.0.0.1:PORT/DB
    std::string Uri(const std::string& db, const std::string& user) const;

    static std::string Program();  // $PGBOUNCER, else /usr/sbin/pgbouncer

private:
    bool Launch();

    std::string dir_;
    uint16_t port_ = 0;
    ChildProcess pooler_;
    bool bySocket_ = false;
    std::string error_;
};

// A setting of the shipped deploy/pgbouncer.ini (0 when it is not set).
int ShippedPoolerSetting(const std::string& name);
