// Child processes of the tests: the one way they start a program, capture what it writes,
// wait for it with a time limit and stop it. Programs are found through PATH and started
// directly (no shell), standard input from /dev/null, standard output and error into a log
// file. What a child wrote is printed on standard error only when a test fails: a command
// run during that test, or a long-lived child (a server) for what it wrote meanwhile.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

struct ChildOptions {
    std::string workDir{};      // where the child runs; empty: this process's folder
    std::string runAs{};        // a user the child becomes before it starts (we must be root); empty: as we are
    std::string logPath{};      // standard output and error; empty: a temporary file removed with the child
    std::string errPath{};      // standard error apart from the output ("/dev/null": thrown away); empty: with it
    bool raiseOpenFileLimit = false;  // soft open-file limit up to the hard one (a server of many clients)
};

struct ChildResult {
    int exitCode = -1;      // -1: not started, ended by a signal, or stopped at the time limit
    bool timedOut = false;
    std::string out;        // what it wrote (standard error too unless kept apart)
    std::string err;        // standard error, when kept apart
    std::string problem;    // why it could not be started
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // stops a child still running (SIGTERM, then SIGKILL)
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with the arguments after it. False with Problem() when it could not be
    // started (a program that is not there exits with 127 instead).
    bool Start(const std::vector<std::string>& argv, const ChildOptions& options = {});
    // The child's process ID; -1 before it starts and once it is known to have ended.
    pid_t Pid() const { return pid_; }
    // True while it runs; collects its end when it has ended.
    bool Running();
    // Waits up to timeoutMs for its end: true when it has ended (see ExitCode()).
    bool Wait(int timeoutMs);
    // Sends signal, waits up to graceMs, then ends it with SIGKILL; returns when it is gone.
    void Stop(int signal = SIGTERM, int graceMs = 10000);
    // Its exit status once ended; -1 when it ended by a signal or has not ended.
    int ExitCode() const { return exitCode_; }
    const std::string& Problem() const { return problem_; }
    std::string CommandLine() const;
    // What it wrote to its log so far.
    std::string Log() const;
    const std::string& LogPath() const { return logPath_; }

private:
    void Ended(int status);

    pid_t pid_ = -1;
    int exitCode_ = -1;
    std::vector<std::string> argv_;
    std::string logPath_;
    std::string errPath_;
    std::string ownedDir_;  // the temporary folder of a log the caller did not name
    std::string problem_;
};

// Runs a program to its end and returns what it wrote; one that is still running after
// timeoutMs is stopped and reported as timed out.
ChildResult RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {},
                     int timeoutMs = 300000);
