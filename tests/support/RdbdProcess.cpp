#include "tests/support/RdbdProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}

}  // namespace

RdbdProcess::RdbdProcess() {
    char path[] = "/tmp/rdbd-log-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) {
        close(fd);
        logPath_ = path;
    }
}

RdbdProcess::~RdbdProcess() {
    if (Running()) Stop(5000);
    if (!logPath_.empty()) unlink(logPath_.c_str());
}

std::string RdbdProcess::BinaryPath() {
    if (const char* env = std::getenv("RDBD_PATH"); env != nullptr && *env != '\0') return env;
#ifdef RDBD_PATH
    return RDBD_PATH;
#else
    return std::string(ORVANTA_BINARY_DIR) + "/rdb/rdbd";
#endif
}

std::string RdbdProcess::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::string RdbdProcess::LogText() const {
    std::ifstream in(logPath_);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool RdbdProcess::Start(const std::string& dbPath, uint16_t port,
                        const std::vector<std::string>& extraArgs, int timeoutMs) {
    if (Running()) {
        error_ = "already running";
        return false;
    }
    dbPath_ = dbPath;
    extraArgs_ = extraArgs;
    const std::string binary = BinaryPath();
    std::vector<std::string> args = {binary, "--db", dbPath, "--listen",
                                     "127.0.0.1:" + std::to_string(port)};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (addressSpaceKiB_ > 0) {
        // The shell sets the limit and becomes rdbd, so the pid stays the gateway's.
        args.insert(args.begin(), {"/bin/sh", "-c",
                                   "ulimit -v " + std::to_string(addressSpaceKiB_) + " && exec \"$0\" \"$@\""});
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath_.c_str(),
                                     O_WRONLY | O_APPEND | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        error_ = "cannot start " + binary + ": " + std::strerror(rc);
        return false;
    }
    pid_ = pid;

    // Read standard output up to the "listening on HOST:PORT" line.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    bool listening = false;
    while (!listening) {
        pollfd p{out[0], POLLIN, 0};
        const int n = poll(&p, 1, MsLeft(deadline));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = "rdbd did not report listening in time";
            break;
        }
        char c = 0;
        const ssize_t r = read(out[0], &c, 1);
        if (r <= 0) {
            error_ = "rdbd ended before listening";
            break;
        }
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        const std::string prefix = "listening on ";
        if (line.compare(0, prefix.size(), prefix) == 0) {
            const size_t colon = line.rfind(':');
            port_ = static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
            listening = port_ != 0;
        }
        line.clear();
    }
    // rdbd ignores SIGPIPE, so closing the read end is harmless to it.
    close(out[0]);
    if (!listening) {
        Kill();
        error_ += "; log: " + LogText();
        return false;
    }
    return true;
}

bool RdbdProcess::WaitExit(int timeoutMs, int* status) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t r = waitpid(pid_, status, WNOHANG);
        if (r == pid_) return true;
        if (r < 0 && errno != EINTR) return true;
        if (MsLeft(deadline) == 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool RdbdProcess::Stop(int timeoutMs) {
    if (!Running()) return false;
    kill(pid_, SIGTERM);
    int status = 0;
    bool clean = false;
    if (WaitExit(timeoutMs, &status)) {
        clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!clean) error_ = "rdbd exited with status " + std::to_string(status);
    } else {
        error_ = "rdbd did not stop within " + std::to_string(timeoutMs) + " ms";
        kill(pid_, SIGKILL);
        WaitExit(60000, &status);
    }
    pid_ = -1;
    return clean;
}

void RdbdProcess::Kill() {
    if (!Running()) return;
    kill(pid_, SIGKILL);
    int status = 0;
    WaitExit(60000, &status);
    pid_ = -1;
}

bool RdbdProcess::Restart(int timeoutMs) {
    if (Running() && !Stop()) return false;
    return Start(dbPath_, port_, extraArgs_, timeoutMs);
}
