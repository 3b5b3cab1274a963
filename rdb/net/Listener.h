// A listening TCP socket (non-blocking, SO_REUSEADDR so a restarted gateway can take its
// port back at once).
#pragma once

#include <cstdint>
#include <string>

#include "rdb/net/Socket.h"

namespace rdb::net {

class Listener {
public:
    Listener() = default;
    ~Listener();
    Listener(Listener&& other) noexcept;
    Listener& operator=(Listener&& other) noexcept;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds host (numeric address or name) and port (0 = any free port) and listens.
    static Listener Bind(const std::string& host, uint16_t port, int backlog, std::string* err);

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    uint16_t Port() const;          // the port actually bound
    std::string LocalHost() const;  // the address actually bound, e.g. "127.0.0.1"

    // Accepts one pending connection: Ok with *out set, Timeout when none is pending, Error
    // with *err for failures worth logging (descriptor exhaustion and the like).
    IoStatus Accept(Socket* out, std::string* err);

    void Close();

private:
    int fd_ = -1;
};

}  // namespace rdb::net
