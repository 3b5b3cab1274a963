#include "tests/support/CupsScheduler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <cups/cups.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCupsd[] = "/usr/sbin/cupsd";
constexpr char kPpd[] = ORVANTA_SOURCE_DIR "/tests/data/receipt80.ppd";

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

bool CupsScheduler::Run(const std::vector<std::string>& command, std::string* output) {
    const ChildResult result = RunChild(command);
    if (output != nullptr) *output = result.out;
    return result.exitCode == 0;
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
    ChildOptions options;
    options.logPath = out;
    if (!cupsd_.Start({kCupsd, "-f", "-c", conf, "-s", files}, options)) {
        problem_ = "cupsd could not be started: " + cupsd_.Problem();
        return false;
    }
    // The print client keeps the server it first talked to (the printer layer may have asked
    // the machine's scheduler already), so tell it directly too.
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    cupsSetServer(socket_.c_str());
    if (!WaitUntilListening(15000)) return false;

    std::string output;
    if (!Run({"lpadmin", "-p", kQueue, "-E", "-v", "file:" + OutputFile(), "-P", kPpd}, &output)) {
        problem_ = "lpadmin failed: " + output;
        return true;  // the scheduler runs; the queue does not
    }
    queueReady_ = true;
    return true;
}

bool CupsScheduler::WaitUntilListening(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (!cupsd_.Running()) {
            problem_ = "cupsd exited at start: " + ErrorLog();
            return false;
        }
        std::string output;
        if (std::filesystem::exists(socket_) && Run({"lpstat", "-r"}, &output) &&
            output.find("is running") != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    problem_ = "cupsd did not answer within " + std::to_string(timeoutMs) + " ms: " + ErrorLog();
    return false;
}

void CupsScheduler::Stop() { cupsd_.Stop(SIGTERM, 10000); }

bool CupsScheduler::SetAccepting(bool accepting) {
    return Run({accepting ? "cupsaccept" : "cupsreject", kQueue});
}

int CupsScheduler::JobCount() {
    std::string output;
    return Run({"lpstat", "-W", "all", "-o", kQueue}, &output) ? CountLines(output) : -1;
}

int CupsScheduler::CompletedJobCount() {
    std::string output;
    return Run({"lpstat", "-W", "completed", "-o", kQueue}, &output) ? CountLines(output) : -1;
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
