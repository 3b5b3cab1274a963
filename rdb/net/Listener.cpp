#include "rdb/net/Listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace rdb::net {

Listener::~Listener() {
    Close();
}

Listener::Listener(Listener&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

Listener& Listener::operator=(Listener&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void Listener::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

Listener Listener::Bind(const std::string& host, uint16_t port, int backlog, std::string* err) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc =
        getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0 || list == nullptr) {
        *err = "cannot resolve " + host + ": " + gai_strerror(rc);
        if (list) freeaddrinfo(list);
        return Listener();
    }
    std::string lastError = "no address";
    Listener result;
    for (addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                ai->ai_protocol);
        if (fd < 0) {
            lastError = ErrnoText(errno);
            continue;
        }
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, ai->ai_addr, ai->ai_addrlen) != 0 || ::listen(fd, backlog) != 0) {
            lastError = ErrnoText(errno);
            ::close(fd);
            continue;
        }
        result.fd_ = fd;
        break;
    }
    freeaddrinfo(list);
    if (!result.Valid()) *err = "cannot listen on " + host + ":" + service + ": " + lastError;
    return result;
}

uint16_t Listener::Port() const {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
    if (ss.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
    if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
    return 0;
}

std::string Listener::LocalHost() const {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    char host[INET6_ADDRSTRLEN] = "?";
    if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&ss), &len) != 0) return host;
    if (ss.ss_family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, host, sizeof host);
        return host;
    }
    if (ss.ss_family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, host, sizeof host);
        // Appended piece by piece: GCC 12 misreads "[" + std::string(...) at -O3.
        std::string text = "[";
        text.append(host).append("]");
        return text;
    }
    return host;
}

IoStatus Listener::Accept(Socket* out, std::string* err) {
    for (;;) {
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            *out = Socket(fd);
            out->SetNoDelay();
            return IoStatus::Ok;
        }
        const int e = errno;
        if (e == EINTR) continue;
        if (e == EAGAIN || e == EWOULDBLOCK) return IoStatus::Timeout;
        // A connection that died in the queue is not the listener's failure.
        if (e == ECONNABORTED || e == EPROTO) continue;
        *err = "accept failed: " + ErrnoText(e);
        return IoStatus::Error;
    }
}

}  // namespace rdb::net
