// rdbd: the gateway that lets many desks share one database over TCP.
//
//   rdbd --db FILE [--create] [--listen HOST:PORT] [--demo] [--feed SECONDS] [limits]
//
// It listens on 127.0.0.1:8907 unless another address is named; port 0 takes any free port.
// Once it listens it prints "listening on HOST:PORT" on standard output. It serves only an
// existing database of ours unless told to create one, refuses every statement a desk never
// sends, and still must only be reachable from a trusted network (it has no logins).
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/HelpVersion.h"
#include "rdb/gateway/Gateway.h"
#include "rdb/gateway/GatewayLog.h"
#include "rdb/net/Protocol.h"

namespace {

void Usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "Usage: rdbd --db FILE [OPTION]...\n"
                 "   or: rdbd --help | --version\n"
                 "  --db FILE          an existing Orvanta database file\n"
                 "  --create           create FILE with the schema when it does not exist\n"
                 "  --listen HOST:PORT address to listen on (default 127.0.0.1:8907; port 0\n"
                 "                     picks a free port). rdbd has no logins:\n"
                 "                     listen on a trusted network only.\n"
                 "  --demo             fill the demo data set (creates FILE when missing)\n"
                 "  --feed SECONDS     add a new callback request every SECONDS\n"
                 "  --max-clients N    refuse connections beyond N (default 1000)\n"
                 "  --busy-timeout MS  how long a statement waits for a locked database\n"
                 "                     (default 8000)\n"
                 "  --io-timeout MS    how long a client may stall mid-request or leave a\n"
                 "                     reply unread, and the handshake limit (default 10000)\n"
                 "  --statement-timeout SECONDS\n"
                 "                     stop a statement that runs longer (default 12; 0: none)\n"
                 "  --idle-timeout SECONDS\n"
                 "                     close a connection idle this long (default 600; 0: never)\n"
                 "  --max-statement-bytes N\n"
                 "                     refuse longer statements (default 1048576)\n");
}

bool ParseInt(const char* text, long lo, long hi, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// "HOST:PORT", "[V6]:PORT" or ":PORT" (loopback).
bool ParseListen(const std::string& text, std::string* host, uint16_t* port) {
    std::string h;
    std::string p;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return false;
        h = text.substr(1, close - 1);
        p = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos) return false;
        h = text.substr(0, colon);
        p = text.substr(colon + 1);
    }
    long v = 0;
    if (!ParseInt(p.c_str(), 0, 65535, &v)) return false;
    *host = h.empty() ? "127.0.0.1" : h;
    *port = static_cast<uint16_t>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = platform::AnswerHelpOrVersion(argc, argv, "rdbd", ORVANTA_VERSION, Usage);
        code >= 0)
        return code;
    rdb::gateway::GatewayOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long n = 0;
        if (arg == "--db" && value(&v)) {
            options.dbPath = v;
        } else if (arg == "--listen" && value(&v)) {
            if (!ParseListen(v, &options.host, &options.port)) {
                std::fprintf(stderr, "rdbd: bad listen address '%s' (want HOST:PORT)\n", v);
                Usage();
                return 2;
            }
        } else if (arg == "--create") {
            options.create = true;
        } else if (arg == "--statement-timeout" && value(&v) && ParseInt(v, 0, 86400, &n)) {
            options.session.statementTimeoutMs = static_cast<int>(n * 1000);
        } else if (arg == "--idle-timeout" && value(&v) && ParseInt(v, 0, 7 * 86400, &n)) {
            options.session.idleTimeoutMs = static_cast<int>(n * 1000);
        } else if (arg == "--max-statement-bytes" && value(&v) &&
                   ParseInt(v, 1, rdb::net::kMaxFrameSize, &n)) {
            options.session.maxStatementBytes = static_cast<size_t>(n);
        } else if (arg == "--demo") {
            options.demo = true;
        } else if (arg == "--feed" && value(&v) && ParseInt(v, 1, 86400, &n)) {
            options.feedSeconds = static_cast<int>(n);
        } else if (arg == "--max-clients" && value(&v) && ParseInt(v, 1, 100000, &n)) {
            options.maxClients = static_cast<int>(n);
        } else if (arg == "--busy-timeout" && value(&v) && ParseInt(v, 0, 600000, &n)) {
            options.session.busyTimeoutMs = static_cast<int>(n);
        } else if (arg == "--io-timeout" && value(&v) && ParseInt(v, 1, 3600000, &n)) {
            options.session.handshakeTimeoutMs = static_cast<int>(n);
            options.session.frameTimeoutMs = static_cast<int>(n);
            options.session.sendTimeoutMs = static_cast<int>(n);
        } else {
            std::fprintf(stderr, "rdbd: bad or incomplete argument '%s'\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    if (options.dbPath.empty()) {
        Usage();
        return 2;
    }

    // Every connection holds a socket and the database's files: take all the descriptors
    // the system allows rather than the small default.
    rlimit files{};
    const bool haveLimit = getrlimit(RLIMIT_NOFILE, &files) == 0;
    if (haveLimit && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &files) != 0) getrlimit(RLIMIT_NOFILE, &files);
    }
    constexpr rlim_t kFilesPerClient = 4;
    constexpr rlim_t kFilesReserved = 64;
    if (haveLimit && files.rlim_cur != RLIM_INFINITY &&
        files.rlim_cur <
            static_cast<rlim_t>(options.maxClients) * kFilesPerClient + kFilesReserved) {
        const rlim_t fit = files.rlim_cur > kFilesReserved + kFilesPerClient
                               ? (files.rlim_cur - kFilesReserved) / kFilesPerClient
                               : 1;
        options.maxClients = static_cast<int>(fit);
        rdb::gateway::LogLine("descriptor limit " + std::to_string(files.rlim_cur) +
                              ": serving at most " + std::to_string(fit) + " connections");
    }

    // A client that goes away mid-reply must not kill the gateway.
    signal(SIGPIPE, SIG_IGN);
    // SIGTERM and SIGINT are taken from a descriptor by the accept loop; every thread
    // started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (stopFd < 0) {
        std::perror("rdbd: signalfd");
        return 1;
    }

    rdb::gateway::Gateway gateway(options);
    std::string err;
    if (!gateway.Start(&err)) {
        rdb::gateway::LogLine(err);
        return 1;
    }
    const std::string address = gateway.ListenAddress();
    std::printf("listening on %s\n", address.c_str());
    std::fflush(stdout);
    rdb::gateway::LogLine("listening on " + address + ", database " + options.dbPath);

    gateway.Run(stopFd);

    signalfd_siginfo info{};
    if (read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        rdb::gateway::LogLine(std::string("stopped by ") +
                              strsignal(static_cast<int>(info.ssi_signo)));
    close(stopFd);
    return 0;
}
