// One client connection of the gateway, served on its own thread with its own engine (its
// own SQLite connection). Whatever the client does wrong ends this session and nothing
// else: bad frames, lengths out of range, half frames, silence in the middle of a frame,
// or not reading its replies.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Socket.h"

namespace rdb {
class Engine;
}

namespace rdb::gateway {

// The file the gateway opened at start, by identity: a file renamed, deleted or replaced
// afterwards is no longer the desks' database.
struct DatabaseIdentity {
    bool known = false;
    uint64_t device = 0;
    uint64_t inode = 0;

    static DatabaseIdentity Of(const std::string& path);
    bool operator==(const DatabaseIdentity&) const = default;
};

inline constexpr size_t kDefaultMaxStatementBytes = 1024 * 1024;

struct SessionConfig {
    std::string dbPath;
    DatabaseIdentity dbIdentity;     // checked before every connection and request when known
    int busyTimeoutMs = 8000;
    int handshakeTimeoutMs = 10000;  // from accept to a complete HELLO
    int frameTimeoutMs = 10000;      // from the first byte of a request to its last
    int sendTimeoutMs = 10000;       // longest wait for the client to take reply bytes
    // A little above the desk's own 10 s wait, so a desk that waits sees the reason.
    int statementTimeoutMs = 12000;  // 0: no limit
    int idleTimeoutMs = 10 * 60 * 1000;  // between requests; 0: no limit
    // The desk's longest statement is a few kilobytes; far below the frame limit.
    size_t maxStatementBytes = kDefaultMaxStatementBytes;
};

class Session {
public:
    Session(uint64_t id, net::Socket socket, const SessionConfig& config);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Serves the connection until it ends; logs one line for the connection when it ends
    // (peer, requests, duration, why it ended) and one per failed statement.
    void Run();

    // From another thread: ends the session soon (wakes a blocked read or write and
    // interrupts a running statement).
    void Interrupt();

    bool Finished() const { return finished_.load(); }

private:
    enum class ReadResult { Frame, Closed, Failed };
    enum class Wait { Handshake, Idle };

    std::string Serve();
    std::string ServeGuarded();
    bool ClientGone() const;
    bool DatabaseMoved(std::string* why) const;
    ReadResult ReadFrame(net::FrameView* frame, Wait wait, int idleTimeoutMs, std::string* why);
    bool Flush(std::string* why);
    bool HandleRequest(const net::FrameView& frame, std::string* why);
    void Close();

    const uint64_t id_;
    const SessionConfig config_;
    std::string peer_;
    net::Socket socket_;
    net::FrameDecoder decoder_;
    std::string out_;
    std::unique_ptr<Engine> engine_;
    std::mutex mutex_;  // guards socket_ closing and engine_ against Interrupt()
    std::atomic<bool> interrupted_{false};
    std::atomic<bool> finished_{false};
    uint64_t requests_ = 0;
};

}  // namespace rdb::gateway
