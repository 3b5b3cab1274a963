#include "tests/support/CupsScheduler.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <cups/cups.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kPpd[] = ORVANTA_SOURCE_DIR "/tests/data/receipt80.ppd";

std::string Quote(const std::string& text) { return "'" + text + "'"; }

int CountLines(const std::string& text) {
    int lines = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) ++lines;
    return lines;
}

}  // namespace

CupsScheduler::CupsScheduler() {
    if (const char* server = std::getenv("CUPS_SERVER"); server != nullptr) {
        hadServer_ = true;
        previousServer_ = server;
    }
    if (!Start()) Stop();
}

CupsScheduler::~CupsScheduler() {
    Stop();
    if (hadServer_)
        setenv("CUPS_SERVER", previousServer_.c_str(), 1);
    else
        unsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);  // back to what the environment names
}

bool CupsScheduler::Run(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    std::string text;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), n);
    const bool ok = pclose(pipe) == 0;
    if (output != nullptr) *output = text;
    return ok;
}

bool CupsScheduler::Start() {
    if (access(kCupsd, X_OK) != 0) {
        problem_ = std::string(kCupsd) + " is not installed";
        return false;
    }
    // Filters run as the scheduler's unprivileged user and must reach the spool below.
    chmod(dir_.Path().c_str(), 0755);
    for (const char* sub : {"etc", "spool", "spool/tmp", "cache", "state", "log", "out"})
        std::filesystem::create_directories(dir_.File(sub));
    socket_ = dir_.File("cups.sock");

    {
        std::ofstream conf(dir_.File("etc/cupsd.conf"));
        conf << "Listen " << socket_ << "\n"
             << "Browsing No\nWebInterface No\nLogLevel info\nDefaultAuthType None\n"
             << "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
             << "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n";
    }
    {
        std::ofstream files(dir_.File("etc/cups-files.conf"));
        files << "ServerRoot " << dir_.File("etc") << "\n"
              << "RequestRoot " << dir_.File("spool") << "\n"
              << "TempDir " << dir_.File("spool/tmp") << "\n"
              << "CacheDir " << dir_.File("cache") << "\n"
              << "StateDir " << dir_.File("state") << "\n"
              << "ErrorLog " << dir_.File("log/error_log") << "\n"
              << "AccessLog " << dir_.File("log/access_log") << "\n"
              << "PageLog " << dir_.File("log/page_log") << "\n"
              << "Printcap " << dir_.File("state/printcap") << "\n"
              // Jobs end in a file of this folder instead of on a device.
              << "FileDevice Yes\n";
    }

    const std::string conf = dir_.File("etc/cupsd.conf");
    const std::string files = dir_.File("etc/cups-files.conf");
    const std::string out = dir_.File("log/cupsd.out");
    std::vector<char*> argv{const_cast<char*>(kCupsd), const_cast<char*>("-f"), const_cast<char*>("-c"),
                            const_cast<char*>(conf.c_str()), const_cast<char*>("-s"),
                            const_cast<char*>(files.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kCupsd, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        problem_ = "cupsd could not be started";
        return false;
    }
    pid_ = pid;
    // The print client keeps the server it first talked to (the printer layer may have asked
    // the machine's scheduler already), so tell it directly too.
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    cupsSetServer(socket_.c_str());
    if (!WaitUntilListening(15000)) return false;

    std::string output;
    if (!Run("lpadmin -p " + std::string(kQueue) + " -E -v " + Quote("file:" + OutputFile()) + " -P " +
                 Quote(kPpd),
             &output)) {
        problem_ = "lpadmin failed: " + output;
        return true;  // the scheduler runs; the queue does not
    }
    queueReady_ = true;
    return true;
}

bool CupsScheduler::WaitUntilListening(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            problem_ = "cupsd exited at start: " + ErrorLog();
            return false;
        }
        std::string output;
        if (std::filesystem::exists(socket_) && Run("lpstat -r", &output) &&
            output.find("is running") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    problem_ = "cupsd did not answer within " + std::to_string(timeoutMs) + " ms: " + ErrorLog();
    return false;
}

void CupsScheduler::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    pid_ = -1;
}

bool CupsScheduler::SetAccepting(bool accepting) {
    return Run(std::string(accepting ? "cupsaccept " : "cupsreject ") + kQueue);
}

int CupsScheduler::JobCount() {
    std::string output;
    return Run("lpstat -W all -o " + std::string(kQueue), &output) ? CountLines(output) : -1;
}

int CupsScheduler::CompletedJobCount() {
    std::string output;
    return Run("lpstat -W completed -o " + std::string(kQueue), &output) ? CountLines(output) : -1;
}

bool CupsScheduler::WaitForCompletedJobs(int count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CompletedJobCount() < count) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string CupsScheduler::ErrorLog() const {
    std::ifstream in(dir_.File("log/error_log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
