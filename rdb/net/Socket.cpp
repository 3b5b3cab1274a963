#include "rdb/net/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace rdb::net {

namespace {

using Clock = std::chrono::steady_clock;

void MakeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0 && !(flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Waits for events on fd for at most timeoutMs (negative: no limit), riding out EINTR.
// Returns the revents, or 0 on timeout.
short WaitFor(int fd, short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, wait);
        if (n > 0) return p.revents;
        if (n == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

std::string AddressText(const sockaddr* sa) {
    char host[INET6_ADDRSTRLEN] = "?";
    uint16_t port = 0;
    if (sa->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
        inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
        port = ntohs(in->sin_port);
        return std::string(host) + ":" + std::to_string(port);
    }
    if (sa->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(sa);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
        port = ntohs(in6->sin6_port);
        // Appended piece by piece: GCC 12 misreads "[" + std::string(...) at -O3.
        std::string text = "[";
        text.append(host).append("]:").append(std::to_string(port));
        return text;
    }
    return "?";
}

}  // namespace

std::string ErrnoText(int err) {
    char buf[256];
    // GNU strerror_r returns the text, which may or may not be buf.
    return strerror_r(err, buf, sizeof buf);
}

Socket::Socket(int fd) : fd_(fd) {
    if (fd_ >= 0) MakeNonBlocking(fd_);
}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Socket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void Socket::ShutdownBoth() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void Socket::SetNoDelay() {
    const int one = 1;
    if (fd_ >= 0) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

Socket Socket::Connect(const std::string& host, uint16_t port, int timeoutMs, std::string* err) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0 || list == nullptr) {
        // AI_ADDRCONFIG hides loopback addresses on a machine without other interfaces.
        hints.ai_flags = 0;
        if (list) freeaddrinfo(list);
        list = nullptr;
        const int rc2 = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        if (rc2 != 0 || list == nullptr) {
            *err = "cannot resolve " + host + ": " + gai_strerror(rc2 != 0 ? rc2 : rc);
            if (list) freeaddrinfo(list);
            return Socket();
        }
    }
    std::string lastError = "no address";
    Socket result;
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        Socket s(::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol));
        if (!s.Valid()) {
            lastError = ErrnoText(errno);
            continue;
        }
        if (::connect(s.fd_, ai->ai_addr, ai->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                lastError = ErrnoText(errno);
                continue;
            }
            int left = 0;
            if (timeoutMs < 0) {
                left = -1;
            } else {
                const auto ms =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                        .count();
                left = ms > 0 ? static_cast<int>(ms) : 0;
            }
            const short ev = WaitFor(s.fd_, POLLOUT, left);
            if (ev == 0) {
                lastError = "connection timed out";
                continue;
            }
            int soErr = 0;
            socklen_t len = sizeof soErr;
            if (getsockopt(s.fd_, SOL_SOCKET, SO_ERROR, &soErr, &len) != 0) soErr = errno;
            if (soErr != 0) {
                lastError = ErrnoText(soErr);
                continue;
            }
        }
        s.SetNoDelay();
        result = std::move(s);
        break;
    }
    freeaddrinfo(list);
    if (!result.Valid()) *err = "cannot connect to " + host + ":" + service + ": " + lastError;
    return result;
}

IoStatus Socket::SendAll(const void* data, size_t size, int timeoutMs, std::string* err,
                         size_t* sent) {
    const auto* p = static_cast<const char*>(data);
    size_t done = 0;
    IoStatus status = IoStatus::Ok;
    while (done < size) {
        const ssize_t n = ::send(fd_, p + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        const int e = n < 0 ? errno : EIO;
        if (e == EINTR) continue;
        if (e == EAGAIN || e == EWOULDBLOCK) {
            // Any wake-up (room, hang-up, error) goes back to send(), which tells which.
            if (WaitFor(fd_, POLLOUT, timeoutMs) != 0) continue;
            *err = "send timed out";
            status = IoStatus::Timeout;
            break;
        }
        *err = "send failed: " + ErrnoText(e);
        status = (e == EPIPE || e == ECONNRESET) ? IoStatus::Closed : IoStatus::Error;
        break;
    }
    if (sent) *sent = done;
    return status;
}

IoStatus Socket::RecvSome(void* buf, size_t cap, int timeoutMs, size_t* got, std::string* err,
                          bool waitFirst) {
    *got = 0;
    if (waitFirst && WaitFor(fd_, POLLIN, timeoutMs) == 0) {
        *err = "receive timed out";
        return IoStatus::Timeout;
    }
    for (;;) {
        const ssize_t n = ::recv(fd_, buf, cap, 0);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0) {
            *err = "connection closed by peer";
            return IoStatus::Closed;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const short ev = WaitFor(fd_, POLLIN, timeoutMs);
            if (ev == 0) {
                *err = "receive timed out";
                return IoStatus::Timeout;
            }
            continue;  // readable, hung up or failed: recv() tells which
        }
        const int e = errno;
        *err = "receive failed: " + ErrnoText(e);
        return e == ECONNRESET ? IoStatus::Closed : IoStatus::Error;
    }
}

bool Socket::LooksDead() const {
    if (fd_ < 0) return true;
    pollfd p{fd_, POLLIN, 0};
    const int n = poll(&p, 1, 0);
    if (n == 0) return false;
    if (n < 0) return errno != EINTR;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return true;
    char c = 0;
    const ssize_t r = ::recv(fd_, &c, 1, MSG_PEEK);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return false;
    return true;  // end of stream, an error, or stray bytes
}

std::string Socket::PeerName() const {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (fd_ < 0 || getpeername(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0) return "?";
    return AddressText(reinterpret_cast<const sockaddr*>(&ss));
}

}  // namespace rdb::net
