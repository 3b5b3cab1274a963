// The client side of one gateway connection: connect with handshake, then one request at a
// time. Any failure of the stream (timeout, end of stream, malformed frame, reply out of
// step) marks the connection broken; it is then only good for closing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Protocol.h"
#include "rdb/net/Socket.h"

namespace rdb::net {

struct CallOutcome {
    enum class Kind {
        Done,         // DONE received: count holds its value
        ServerError,  // ERROR received: code/message from the gateway; the link stays usable
        Failed,       // transport failure: code is a negative RDB_E_* value
    };
    Kind kind = Kind::Failed;
    int64_t count = 0;
    int32_t code = 0;
    std::string message;
    bool requestSent = false;  // false: no byte of the request left this process
};

class ClientConnection {
public:
    using RowFn = std::function<void(int32_t columns, const std::string& row)>;

    struct Timeouts {
        int connectMs = 10000;  // connect plus handshake
        int ioMs = 10000;       // longest wait for the next bytes of a reply
    };

    // Connects and completes the handshake. On failure returns null with *code (negative
    // RDB_E_* value) and *message set.
    static std::unique_ptr<ClientConnection> Open(const std::string& host, uint16_t port,
                                                  const Timeouts& timeouts, int32_t* code,
                                                  std::string* message);

    // Runs one request (kind Query, First or Execute). Rows go to onRow as they arrive.
    CallOutcome Call(FrameType kind, std::string_view database, std::string_view sql,
                     const RowFn& onRow);

    bool Broken() const { return broken_; }
    // Checks an idle connection before use: false when the gateway has gone away.
    bool Usable() const { return !broken_ && !socket_.LooksDead(); }

    uint16_t Version() const { return version_; }

private:
    ClientConnection(Socket socket, const Timeouts& timeouts);
    CallOutcome Fail(int32_t code, std::string message, bool sent);
    // Reads until a whole frame is there. False on failure, with *code and *message set.
    bool ReadFrame(FrameView* frame, int timeoutMs, int32_t* code, std::string* message);

    Socket socket_;
    Timeouts timeouts_;
    FrameDecoder decoder_;
    std::string out_;
    std::string rowScratch_;
    uint32_t nextRequestId_ = 1;
    uint16_t version_ = 0;
    bool broken_ = false;
    bool awaitingReply_ = false;  // a request went out and no byte of its reply came yet
};

}  // namespace rdb::net
