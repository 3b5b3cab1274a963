// A TCP socket (owned descriptor, non-blocking) with timed connect, send and receive built
// on poll(). Timeouts are in milliseconds; a negative timeout waits without limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rdb::net {

enum class IoStatus {
    Ok,
    Timeout,  // nothing moved within the timeout
    Closed,   // the peer closed the connection (orderly end of stream)
    Error,    // reset, broken pipe or another socket error
};

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd);  // takes ownership; makes the descriptor non-blocking
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Resolves host (name or numeric address) and connects to the first address that
    // answers, within timeoutMs in all. On failure returns an invalid socket and sets *err.
    static Socket Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* err);

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    // Sends all bytes. The timeout applies to each wait for room in the send buffer, so a
    // peer that reads slowly but steadily is served and one that stops reading is dropped.
    // *sent (optional) receives the number of bytes handed to the kernel.
    IoStatus SendAll(const void* data, size_t size, int timeoutMs, std::string* err,
                     size_t* sent = nullptr);

    // Receives what is there, up to cap bytes, waiting at most timeoutMs for the first byte.
    // waitFirst saves a futile recv() when nothing can have arrived yet (just after a
    // request or reply went out).
    IoStatus RecvSome(void* buf, size_t cap, int timeoutMs, size_t* got, std::string* err,
                      bool waitFirst = false);

    // True when an idle connection has been closed or reset by the peer, or has unexpected
    // bytes waiting (the stream is out of step): either way it must not carry a request.
    bool LooksDead() const;

    void SetNoDelay();
    // Wakes any thread blocked on this socket (poll returns, reads see end of stream).
    void ShutdownBoth();
    void Close();

    // "HOST:PORT" of the peer, for log lines.
    std::string PeerName() const;

private:
    int fd_ = -1;
};

// Formats errno as text.
std::string ErrnoText(int err);

}  // namespace rdb::net
