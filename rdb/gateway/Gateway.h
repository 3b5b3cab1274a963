// The rdbd gateway: listens, gives every client connection a thread and an engine of its
// own, and shuts down cleanly when told to.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rdb/gateway/Session.h"
#include "rdb/net/Listener.h"

namespace rdb::gateway {

struct GatewayOptions {
    std::string dbPath;
    std::string host = "127.0.0.1";
    uint16_t port = 8907;
    bool create = false;    // make the database when the file does not exist
    bool demo = false;      // fill the demo data set (implies create)
    int feedSeconds = 0;    // 0: no feed
    int maxClients = 1000;  // connections beyond this are refused at once
    SessionConfig session;  // dbPath is filled from the above
};

class Gateway {
public:
    explicit Gateway(GatewayOptions options);
    ~Gateway();
    Gateway(const Gateway&) = delete;
    Gateway& operator=(const Gateway&) = delete;

    // Opens the database (creating it only when asked to, filling it with demo), notes
    // which file it is and starts listening. False with *err on failure: a missing file,
    // or one that is not ours, is refused.
    bool Start(std::string* err);

    // "HOST:PORT" actually listened on.
    std::string ListenAddress() const;

    // Accepts and serves until stopFd becomes readable, then closes every connection,
    // waits for their threads and returns.
    void Run(int stopFd);

private:
    struct Client {
        std::shared_ptr<Session> session;
        std::thread thread;
    };

    void Accept();
    void Reap(bool all);
    void FeedLoop();

    GatewayOptions options_;
    net::Listener listener_;
    std::list<Client> clients_;
    uint64_t nextId_ = 1;

    std::thread feeder_;
    std::mutex feedMutex_;
    std::condition_variable feedWake_;
    bool stopping_ = false;
};

}  // namespace rdb::gateway
