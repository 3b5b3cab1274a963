#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFrom(const std::string& path, std::streamoff offset = 0) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "";
    in.seekg(offset);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::streamoff SizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::streamoff>(size);
}

// What the tests' children wrote, kept until the test ends and printed when it failed. It
// outlives the test framework, so a child stopped at exit still finds it.
class ChildLogs {
public:
    static ChildLogs& Instance() {
        static ChildLogs* logs = [] {
            auto* fresh = new ChildLogs;
            testing::UnitTest::GetInstance()->listeners().Append(new Printer(*fresh));
            return fresh;
        }();
        return *logs;
    }

    void Live(const ChildProcess* child) {
        std::lock_guard lock(mutex_);
        live_.push_back({child, 0});
    }
    void Gone(const ChildProcess* child) {
        std::lock_guard lock(mutex_);
        for (auto it = live_.begin(); it != live_.end(); ++it) {
            if (it->child != child) continue;
            finished_.push_back({child->CommandLine(), ReadFrom(child->LogPath(), it->from), child->ExitCode()});
            live_.erase(it);
            return;
        }
    }

private:
    struct LiveChild {
        const ChildProcess* child;
        std::streamoff from;  // what it wrote before the current test began is not printed
    };
    struct EndedChild {
        std::string command;
        std::string text;
        int exitCode;
    };

    class Printer : public testing::EmptyTestEventListener {
    public:
        explicit Printer(ChildLogs& logs) : logs_(logs) {}
        void OnTestStart(const testing::TestInfo&) override { logs_.TestStarts(); }
        void OnTestEnd(const testing::TestInfo& test) override {
            logs_.TestEnds(test.result() != nullptr && test.result()->Failed());
        }

    private:
        ChildLogs& logs_;
    };

    void TestStarts() {
        std::lock_guard lock(mutex_);
        finished_.clear();
        for (LiveChild& live : live_) live.from = SizeOf(live.child->LogPath());
    }
    void TestEnds(bool failed) {
        std::lock_guard lock(mutex_);
        if (failed) {
            for (const EndedChild& run : finished_) Print(run.command, run.text, "exit " + std::to_string(run.exitCode));
            for (const LiveChild& live : live_)
                Print(live.child->CommandLine(), ReadFrom(live.child->LogPath(), live.from), "still running");
        }
        finished_.clear();
    }

    static void Print(const std::string& command, const std::string& text, const std::string& state) {
        constexpr size_t kMost = 64 * 1024;  // the end of a long log is where its story ends
        const bool cut = text.size() > kMost;
        const std::string shown = cut ? text.substr(text.size() - kMost) : text;
        std::fprintf(stderr, "--- %s (%s)%s\n%s%s--- end\n", command.c_str(), state.c_str(),
                     cut ? ", last 64 KiB" : "", shown.c_str(), shown.empty() || shown.back() == '\n' ? "" : "\n");
    }

    std::mutex mutex_;
    std::vector<LiveChild> live_;
    std::vector<EndedChild> finished_;
};

// Everything the child needs, made before the fork: after it only plain system calls.
struct Launch {
    std::vector<std::string> argv;
    std::vector<std::string> env;
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

bool PrepareUser(const std::string& name, Launch& launch, std::string& problem) {
    const passwd* pw = getpwnam(name.c_str());
    if (pw == nullptr) {
        problem = "no user " + name;
        return false;
    }
    launch.switchUser = true;
    launch.uid = pw->pw_uid;
    launch.gid = pw->pw_gid;
    int count = 64;
    launch.groups.resize(static_cast<size_t>(count));
    if (getgrouplist(pw->pw_name, pw->pw_gid, launch.groups.data(), &count) < 0) {
        launch.groups.resize(static_cast<size_t>(count));
        getgrouplist(pw->pw_name, pw->pw_gid, launch.groups.data(), &count);
    }
    launch.groups.resize(static_cast<size_t>(std::max(count, 0)));
    // The user's own home and names, as a switch of user gives them.
    const std::string home = pw->pw_dir, user = pw->pw_name;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.starts_with("HOME=") || entry.starts_with("USER=") || entry.starts_with("LOGNAME=")) continue;
        launch.env.push_back(entry);
    }
    launch.env.push_back("HOME=" + home);
    launch.env.push_back("USER=" + user);
    launch.env.push_back("LOGNAME=" + user);
    return true;
}

// Gives a log file to the child's user; a device such as /dev/null stays as it is.
bool HandOver(int fd, const Launch& launch) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    return !S_ISREG(info.st_mode) || fchown(fd, launch.uid, launch.gid) == 0;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

std::string ChildProcess::CommandLine() const {
    std::string line;
    for (const std::string& arg : argv_) line += (line.empty() ? "" : " ") + arg;
    return line;
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const ChildOptions& options) {
    Stop();
    argv_ = argv;
    exitCode_ = -1;
    problem_.clear();
    if (argv.empty()) {
        problem_ = "nothing to start";
        return false;
    }
    logPath_ = options.logPath;
    if (logPath_.empty()) {
        if (ownedDir_.empty()) {
            std::string templ = (std::filesystem::temp_directory_path() / "orvanta-child-XXXXXX").string();
            if (mkdtemp(templ.data()) == nullptr) {
                problem_ = "mkdtemp failed";
                return false;
            }
            ownedDir_ = templ;
        }
        logPath_ = ownedDir_ + "/out";
    }
    errPath_ = options.errPath;

    Launch launch;
    launch.argv = argv;
    if (!options.runAs.empty() && !PrepareUser(options.runAs, launch, problem_)) return false;
    if (!launch.switchUser)
        for (char** e = environ; *e != nullptr; ++e) launch.env.emplace_back(*e);
    std::vector<char*> args = Pointers(launch.argv);
    std::vector<char*> env = Pointers(launch.env);
    const char* workDir = options.workDir.empty() ? nullptr : options.workDir.c_str();
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = errPath_.empty() ? -1 : open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0 || (!errPath_.empty() && err < 0)) {
        problem_ = "cannot write " + (log < 0 ? logPath_ : errPath_);
        if (log >= 0) close(log);
        return false;
    }
    // The log belongs to whoever the child runs as: it may reopen it by name.
    if (launch.switchUser && (!HandOver(log, launch) || (err >= 0 && !HandOver(err, launch)))) {
        problem_ = "cannot hand the log to " + options.runAs;
        close(log);
        if (err >= 0) close(err);
        return false;
    }

    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) dup2(devnull, STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(err >= 0 ? err : log, STDERR_FILENO);
        if (options.raiseOpenFileLimit) {
            rlimit limit{};
            if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
                limit.rlim_cur = limit.rlim_max;
                setrlimit(RLIMIT_NOFILE, &limit);
            }
        }
        // The log belongs to whoever the child runs as: it may reopen it by name.
    if (launch.switchUser && (setgroups(launch.groups.size(), launch.groups.data()) != 0 ||
                                  setgid(launch.gid) != 0 || setuid(launch.uid) != 0))
            _exit(126);
        if (workDir != nullptr && chdir(workDir) != 0) _exit(126);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    close(log);
    if (err >= 0) close(err);
    if (pid < 0) {
        problem_ = "fork failed";
        return false;
    }
    pid_ = pid;
    ChildLogs::Instance().Live(this);
    return true;
}

void ChildProcess::Ended(int status) {
    exitCode_ = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    ChildLogs::Instance().Gone(this);
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        Ended(status);
        return false;
    }
    if (done < 0 && errno == ECHILD) {  // collected elsewhere: how it ended is not known
        Ended(-1);
        return false;
    }
    return true;
}

bool ChildProcess::Wait(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // Short commands are waited for closely, long ones without burning the processor.
    auto pause = std::chrono::milliseconds(1);
    while (Running()) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

void ChildProcess::Stop(int signal, int graceMs) {
    if (Running()) {
        kill(pid_, signal);
        if (!Wait(graceMs)) {
            kill(pid_, SIGKILL);
            int status = -1;
            while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            Ended(status);
        }
    }
    if (!ownedDir_.empty()) {
        std::error_code error;
        std::filesystem::remove_all(ownedDir_, error);
        ownedDir_.clear();
    }
}

std::string ChildProcess::Log() const { return ReadFrom(logPath_); }

ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options, int timeoutMs) {
    ChildResult result;
    ChildProcess child;
    if (!child.Start(argv, options)) {
        result.problem = child.Problem();
        return result;
    }
    result.timedOut = !child.Wait(timeoutMs);
    if (result.timedOut) child.Stop();
    result.exitCode = result.timedOut ? -1 : child.ExitCode();
    result.out = child.Log();
    if (!options.errPath.empty()) result.err = ReadFrom(options.errPath);
    return result;
}
