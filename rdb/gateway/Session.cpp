#include "rdb/gateway/Session.h"

#include <poll.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <optional>

#include "data/RdbClient.h"
#include "rdb/engine/Engine.h"
#include "rdb/gateway/GatewayLog.h"

namespace rdb::gateway {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kRecvChunk = 64 * 1024;
// Rows are gathered and sent in batches of about this size.
constexpr size_t kFlushAt = 64 * 1024;
constexpr size_t kLoggedSqlBytes = 300;

// The start of text, cut at a character boundary.
std::string Shorten(std::string_view text, size_t most) {
    if (text.size() <= most) return std::string(text);
    while (most > 0 && (static_cast<unsigned char>(text[most]) & 0xC0) == 0x80) --most;
    return std::string(text.substr(0, most)) + "...";
}

}  // namespace

DatabaseIdentity DatabaseIdentity::Of(const std::string& path) {
    DatabaseIdentity id;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        id.known = true;
        id.device = static_cast<uint64_t>(st.st_dev);
        id.inode = static_cast<uint64_t>(st.st_ino);
    }
    return id;
}

Session::Session(uint64_t id, net::Socket socket, const SessionConfig& config)
    : id_(id), config_(config), socket_(std::move(socket)) {}

Session::~Session() {
    Close();
}

void Session::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_.reset();
    socket_.Close();
}

void Session::Interrupt() {
    interrupted_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (engine_) sqlite3_interrupt(engine_->Handle());
    socket_.ShutdownBoth();
}

void Session::Run() {
    peer_ = socket_.PeerName();
    const std::string name = "connection " + std::to_string(id_) + " from " + peer_;
    const auto start = Clock::now();
    std::string reason = ServeGuarded();
    if (interrupted_) reason = "gateway shutting down";
    Close();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    char tail[96];
    std::snprintf(tail, sizeof tail, " (requests: %llu, %.1f s)",
                  static_cast<unsigned long long>(requests_), seconds);
    LogLine(name + " ended: " + reason + tail);
    finished_ = true;
}

// Nothing may leave the session's thread: an exception there would end the whole gateway.
std::string Session::ServeGuarded() {
    try {
        return Serve();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return std::string("internal error: ") + e.what();
    } catch (...) {
        return "internal error";
    }
}

// The client closed or reset its end while a statement of its runs: nobody waits for it.
bool Session::ClientGone() const {
    pollfd p{socket_.Fd(), POLLRDHUP, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool Session::DatabaseMoved(std::string* why) const {
    if (!config_.dbIdentity.known) return false;
    if (DatabaseIdentity::Of(config_.dbPath) == config_.dbIdentity) return false;
    *why = "the database file " + config_.dbPath +
           " has been moved, deleted or replaced since rdbd started; restart rdbd on the right file";
    return true;
}

Session::ReadResult Session::ReadFrame(net::FrameView* frame, Wait wait, int idleTimeoutMs, std::string* why) {
    const auto idleDeadline =
        idleTimeoutMs >= 0 ? std::optional(Clock::now() + std::chrono::milliseconds(idleTimeoutMs))
                           : std::nullopt;
    std::optional<Clock::time_point> frameDeadline;
    for (;;) {
        switch (decoder_.Next(frame)) {
            case net::FrameDecoder::Status::Frame:
                return ReadResult::Frame;
            case net::FrameDecoder::Status::Error:
                *why = "protocol error: " + decoder_.ErrorText();
                return ReadResult::Failed;
            case net::FrameDecoder::Status::NeedMore:
                break;
        }
        if (decoder_.Pending() > 0 && !frameDeadline)
            frameDeadline = Clock::now() + std::chrono::milliseconds(config_.frameTimeoutMs);
        std::optional<Clock::time_point> deadline = idleDeadline;
        if (frameDeadline && (!deadline || *frameDeadline < *deadline)) deadline = frameDeadline;
        int waitMs = -1;
        if (deadline) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now())
                    .count();
            waitMs = static_cast<int>(std::max<int64_t>(left, 0));
        }
        char* area = decoder_.WriteArea(kRecvChunk);
        size_t got = 0;
        std::string err;
        // Between requests nothing is buffered and the next one is seldom already here.
        const bool waitFirst = decoder_.Pending() == 0;
        switch (socket_.RecvSome(area, decoder_.WriteAreaSize(), waitMs, &got, &err, waitFirst)) {
            case net::IoStatus::Ok:
                decoder_.Commit(got);
                break;
            case net::IoStatus::Timeout:
                if (decoder_.Pending() > 0)
                    *why = "incomplete frame timed out after " +
                           std::to_string(decoder_.Pending()) + " bytes";
                else if (wait == Wait::Idle)
                    *why = "idle for " + std::to_string(idleTimeoutMs / 1000) +
                           " s (idle limit); the desk reconnects when it needs to";
                else
                    *why = "handshake timed out";
                return ReadResult::Failed;
            case net::IoStatus::Closed:
                if (decoder_.Pending() > 0) {
                    *why = "client closed in the middle of a frame (" +
                           std::to_string(decoder_.Pending()) + " bytes)";
                    return ReadResult::Failed;
                }
                *why = "client closed the connection";
                return ReadResult::Closed;
            case net::IoStatus::Error:
                *why = err;
                return ReadResult::Failed;
        }
    }
}

bool Session::Flush(std::string* why) {
    if (out_.empty()) return true;
    std::string err;
    const net::IoStatus st = socket_.SendAll(out_.data(), out_.size(), config_.sendTimeoutMs, &err);
    out_.clear();
    if (st == net::IoStatus::Ok) return true;
    *why = st == net::IoStatus::Timeout ? "client stopped reading (send timed out)" : err;
    return false;
}

std::string Session::Serve() {
    net::FrameView frame;
    std::string why;
    switch (ReadFrame(&frame, Wait::Handshake, config_.handshakeTimeoutMs, &why)) {
        case ReadResult::Frame:
            break;
        case ReadResult::Closed:
            return "client closed the connection before the handshake";
        case ReadResult::Failed:
            return why;
    }
    net::HelloMsg hello;
    if (!net::ParseHello(frame, &hello)) {
        net::AppendError(out_, {0, RDB_E_PROTOCOL, "expected HELLO"});
        Flush(&why);
        return "protocol error: bad handshake (" + std::string(net::FrameTypeName(frame.type)) +
               " frame)";
    }
    const uint16_t version = std::min(hello.highestVersion, net::kProtocolVersion);
    if (version < hello.lowestVersion || version < net::kLowestVersion) {
        net::AppendError(out_, {0, RDB_E_PROTOCOL, "unsupported protocol version"});
        Flush(&why);
        return "unsupported protocol versions " + std::to_string(hello.lowestVersion) + ".." +
               std::to_string(hello.highestVersion);
    }

    if (DatabaseMoved(&why)) {
        net::AppendError(out_, {0, RDB_E_OPEN, why});
        std::string ignored;
        Flush(&ignored);
        return "refused: " + why;
    }
    Error err;
    Engine::Options options;
    options.busyTimeoutMs = config_.busyTimeoutMs;
    options.deskLimits = true;
    options.statementTimeoutMs = config_.statementTimeoutMs;
    options.abandoned = [this] { return ClientGone(); };
    std::unique_ptr<Engine> engine = Engine::Open(config_.dbPath, options, &err);
    if (!engine) {
        net::AppendError(out_, {0, RDB_E_OPEN, "cannot open the database: " + err.message});
        Flush(&why);
        return "cannot open the database: " + err.message;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        engine_ = std::move(engine);
    }
    if (interrupted_) return "gateway shutting down";
    net::AppendHelloOk(out_, {version, static_cast<uint32_t>(net::kMaxFrameSize)});
    if (!Flush(&why)) return why;

    for (;;) {
        const int idle = config_.idleTimeoutMs > 0 ? config_.idleTimeoutMs : -1;
        switch (ReadFrame(&frame, Wait::Idle, idle, &why)) {
            case ReadResult::Frame:
                break;
            case ReadResult::Closed:
                return why;
            case ReadResult::Failed:
                return why;
        }
        if (!HandleRequest(frame, &why)) return why;
    }
}

bool Session::HandleRequest(const net::FrameView& frame, std::string* why) {
    net::RequestMsg req;
    if (!net::ParseRequest(frame, &req)) {
        *why = "protocol error: unexpected or malformed " +
               std::string(net::FrameTypeName(frame.type)) + " frame";
        return false;
    }
    ++requests_;
    auto logFailure = [&](int32_t code, const std::string& message) {
        LogLine("connection " + std::to_string(id_) + ": " + net::FrameTypeName(req.kind) +
                " failed (code " + std::to_string(code) + ": " + message +
                "): " + Shorten(req.sql, kLoggedSqlBytes));
    };
    auto refuseRow = [&](size_t size) {
        const std::string message =
            "a row of " + std::to_string(size) + " bytes exceeds the frame limit";
        net::AppendError(out_, {req.requestId, RDB_E_PROTOCOL, message});
        logFailure(RDB_E_PROTOCOL, message);
    };
    if (req.sql.size() > config_.maxStatementBytes) {
        // Refused unread: translating a huge text costs far more memory than the text.
        const std::string message = "statement of " + std::to_string(req.sql.size()) +
                                    " bytes exceeds the gateway's limit of " +
                                    std::to_string(config_.maxStatementBytes) + " bytes";
        net::AppendError(out_, {req.requestId, SQLITE_TOOBIG, message});
        LogLine("connection " + std::to_string(id_) + ": " + net::FrameTypeName(req.kind) +
                " refused: " + message);
        return Flush(why);
    }
    if (DatabaseMoved(why)) {
        net::AppendError(out_, {req.requestId, RDB_E_OPEN, *why});
        std::string ignored;
        Flush(&ignored);
        return false;
    }
    Error err;
    switch (req.kind) {
        case net::FrameType::Query: {
            int64_t sent = 0;
            size_t tooLarge = 0;
            bool sendFailed = false;
            const RowSink sink = [&](int32_t columns, const std::string& row) {
                if (!net::AppendRow(out_, columns, row)) {
                    tooLarge = row.size();
                    return false;
                }
                ++sent;
                if (out_.size() >= kFlushAt && !Flush(why)) {
                    sendFailed = true;
                    return false;
                }
                return true;
            };
            int64_t count = 0;
            const bool ok = engine_->Query(req.sql, sink, &count, &err);
            if (sendFailed) return false;
            if (tooLarge > 0) {
                refuseRow(tooLarge);
            } else if (!ok) {
                net::AppendError(out_, {req.requestId, err.code, err.message});
                logFailure(err.code, err.message);
            } else {
                net::AppendDone(out_, {req.requestId, sent});
            }
            break;
        }
        case net::FrameType::First: {
            std::string row;
            int32_t columns = 0;
            const int rc = engine_->QueryFirst(req.sql, &row, &columns, &err);
            if (rc < 0) {
                net::AppendError(out_, {req.requestId, err.code, err.message});
                logFailure(err.code, err.message);
            } else if (rc == 0) {
                net::AppendDone(out_, {req.requestId, 0});
            } else if (!net::AppendRow(out_, columns, row)) {
                refuseRow(row.size());
            } else {
                net::AppendDone(out_, {req.requestId, 1});
            }
            break;
        }
        case net::FrameType::Execute: {
            int64_t changes = 0;
            if (engine_->Execute(req.sql, &changes, &err)) {
                net::AppendDone(out_, {req.requestId, changes < 0 ? 0 : changes});
            } else {
                net::AppendError(out_, {req.requestId, err.code, err.message});
                logFailure(err.code, err.message);
            }
            break;
        }
        default:
            *why = "protocol error: unexpected request kind";
            return false;
    }
    return Flush(why);
}

}  // namespace rdb::gateway
