#include "rdb/gateway/Gateway.h"

#include <poll.h>
#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <system_error>

#include "data/RdbClient.h"
#include "rdb/demo/DemoData.h"
#include "rdb/engine/Engine.h"
#include "rdb/gateway/GatewayLog.h"
#include "rdb/net/Protocol.h"

namespace rdb::gateway {

namespace {

constexpr int kBacklog = 512;
constexpr int kReapIntervalMs = 500;

}  // namespace

Gateway::Gateway(GatewayOptions options) : options_(std::move(options)) {
    options_.session.dbPath = options_.dbPath;
}

Gateway::~Gateway() {
    {
        std::lock_guard<std::mutex> lock(feedMutex_);
        stopping_ = true;
    }
    feedWake_.notify_all();
    if (feeder_.joinable()) feeder_.join();
    for (Client& c : clients_) c.session->Interrupt();
    Reap(true);
}

bool Gateway::Start(std::string* err) {
    Error e;
    Engine::Options engineOptions;
    engineOptions.busyTimeoutMs = options_.session.busyTimeoutMs;
    // This first connection checks the file (and, when asked to, makes the schema of a new
    // database) before any client comes; sessions never create anything.
    engineOptions.create = options_.create || options_.demo;
    std::unique_ptr<Engine> engine = Engine::Open(options_.dbPath, engineOptions, &e);
    if (!engine) {
        *err = "cannot open database " + options_.dbPath + ": " + e.message;
        if ((e.code & 0xFF) == SQLITE_CANTOPEN && !engineOptions.create)
            *err += " (create it with: rdbcli --init file:" + options_.dbPath + ", or start rdbd with --create)";
        return false;
    }
    if (engine->MadeSchema()) LogLine("created a new database " + options_.dbPath);
    options_.session.dbIdentity = DatabaseIdentity::Of(options_.dbPath);
    if (options_.demo) {
        if (!FillDemoData(*engine, DemoOptions{}, &e)) {
            *err = "cannot fill the demo data: " + e.message;
            return false;
        }
        LogLine("demo data ready in " + options_.dbPath);
        for (int i = 0; i < kDemoLoginCount; ++i)
            LogLine(std::string("demo login: ") + kDemoLogins[i].loginId + " / " +
                    kDemoLogins[i].password + " (" + kDemoLogins[i].what + ")");
    }
    engine.reset();

    listener_ = net::Listener::Bind(options_.host, options_.port, kBacklog, err);
    if (!listener_.Valid()) return false;

    if (options_.feedSeconds > 0) feeder_ = std::thread(&Gateway::FeedLoop, this);
    return true;
}

std::string Gateway::ListenAddress() const {
    return listener_.LocalHost() + ":" + std::to_string(listener_.Port());
}

void Gateway::FeedLoop() {
    Error e;
    Engine::Options engineOptions;
    engineOptions.busyTimeoutMs = options_.session.busyTimeoutMs;
    std::unique_ptr<Engine> engine = Engine::Open(options_.dbPath, engineOptions, &e);
    if (!engine) {
        LogLine("feed: cannot open the database: " + e.message);
        return;
    }
    uint32_t seed =
        static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::unique_lock<std::mutex> lock(feedMutex_);
    while (!feedWake_.wait_for(lock, std::chrono::seconds(options_.feedSeconds),
                               [this] { return stopping_; })) {
        lock.unlock();
        const int64_t id = FeedOneRequest(*engine, seed++, &e);
        if (id < 0)
            LogLine("feed: adding a request failed: " + e.message);
        else
            LogLine("feed: new callback request ACS_ID " + std::to_string(id));
        lock.lock();
    }
}

void Gateway::Accept() {
    for (;;) {
        net::Socket socket;
        std::string err;
        const net::IoStatus st = listener_.Accept(&socket, &err);
        if (st == net::IoStatus::Timeout) return;
        if (st != net::IoStatus::Ok) {
            // Out of descriptors or the like: pause so the loop does not spin on it.
            LogLine(err);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return;
        }
        Reap(false);
        if (static_cast<int>(clients_.size()) >= options_.maxClients) {
            const std::string peer = socket.PeerName();
            std::string out;
            net::AppendError(out, {0, RDB_E_CONNECT, "too many connections"});
            std::string ignored;
            socket.SendAll(out.data(), out.size(), 0, &ignored);
            LogLine("connection from " + peer + " refused: limit of " +
                    std::to_string(options_.maxClients) + " connections reached");
            continue;
        }
        try {
            auto session = std::make_shared<Session>(nextId_++, std::move(socket), options_.session);
            std::thread thread([session] { session->Run(); });
            clients_.push_back(Client{session, std::move(thread)});
        } catch (const std::exception& e) {
            // Out of threads or memory: this connection goes, the gateway stays.
            LogLine(std::string("cannot start a connection thread: ") + e.what());
        }
    }
}

void Gateway::Reap(bool all) {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (all || it->session->Finished()) {
            if (it->thread.joinable()) it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

void Gateway::Run(int stopFd) {
    for (;;) {
        pollfd fds[2] = {{listener_.Fd(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = poll(fds, 2, kReapIntervalMs);
        if (n < 0 && errno != EINTR) {
            LogLine("poll failed");
            break;
        }
        if (n > 0 && fds[1].revents != 0) break;
        if (n > 0 && (fds[0].revents & POLLIN)) Accept();
        Reap(false);
    }
    Reap(false);
    LogLine("shutting down: closing " + std::to_string(clients_.size()) + " open connection(s)");
    listener_.Close();
    {
        std::lock_guard<std::mutex> lock(feedMutex_);
        stopping_ = true;
    }
    feedWake_.notify_all();
    if (feeder_.joinable()) feeder_.join();
    for (Client& c : clients_) c.session->Interrupt();
    Reap(true);
}

}  // namespace rdb::gateway
