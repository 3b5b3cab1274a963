// Runs the built rdbd gateway as a child process for tests: on a database file and a free
// port (or a given one), waiting until it listens; stops it with SIGTERM and can start it
// again on the same port. Its standard error (the log) goes to a file the test can read.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RdbdProcess {
public:
    RdbdProcess();
    ~RdbdProcess();  // stops a running gateway
    RdbdProcess(const RdbdProcess&) = delete;
    RdbdProcess& operator=(const RdbdProcess&) = delete;

    // Starts rdbd --db dbPath --listen 127.0.0.1:port [extraArgs] and waits (at most
    // timeoutMs) for its "listening on" line. False with ErrorText() on failure.
    bool Start(const std::string& dbPath, uint16_t port = 0,
               const std::vector<std::string>& extraArgs = {}, int timeoutMs = 30000);

    // SIGTERM, then waits; SIGKILL after timeoutMs. True when it exited by itself with
    // status 0.
    bool Stop(int timeoutMs = 10000);

    // SIGKILL: a gateway that dies without any cleanup.
    void Kill();

    // Stop, then Start with the same database, port and arguments.
    bool Restart(int timeoutMs = 30000);

    // Runs the gateway under an address-space limit (as `ulimit -v` would), so that a large
    // allocation fails inside it. 0: no limit. Takes effect at the next Start.
    void SetAddressSpaceLimitKiB(size_t kib) { addressSpaceKiB_ = kib; }

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    uint16_t Port() const { return port_; }
    std::string Address() const;  // "127.0.0.1:PORT", the server address a desk would use
    const std::string& ErrorText() const { return error_; }

    // Everything rdbd has logged so far (all runs of this object).
    std::string LogText() const;
    const std::string& LogPath() const { return logPath_; }

    // The rdbd binary: $RDBD_PATH when set, else the one CMake built.
    static std::string BinaryPath();

private:
    bool WaitExit(int timeoutMs, int* status);

    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string dbPath_;
    std::vector<std::string> extraArgs_;
    std::string logPath_;
    std::string error_;
    size_t addressSpaceKiB_ = 0;
};
