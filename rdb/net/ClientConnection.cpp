#include "rdb/net/ClientConnection.h"

#include <chrono>

#include "data/RdbClient.h"

namespace rdb::net {

namespace {

constexpr size_t kRecvChunk = 256 * 1024;

// Marks the connection broken unless the call reaches its normal end, so that a row
// callback that throws does not leave half a reply in the stream.
class BreakUnlessDone {
public:
    explicit BreakUnlessDone(bool* broken) : broken_(broken) {}
    ~BreakUnlessDone() {
        if (!done_) *broken_ = true;
    }
    void Done() { done_ = true; }

private:
    bool* broken_;
    bool done_ = false;
};

}  // namespace

ClientConnection::ClientConnection(Socket socket, const Timeouts& timeouts)
    : socket_(std::move(socket)), timeouts_(timeouts) {}

std::unique_ptr<ClientConnection> ClientConnection::Open(const std::string& host, uint16_t port,
                                                         const Timeouts& timeouts, int32_t* code,
                                                         std::string* message) {
    // One budget for connecting and the handshake together.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeouts.connectMs);
    auto left = [&deadline] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
        return static_cast<int>(ms > 0 ? ms : 0);
    };
    std::string err;
    Socket s = Socket::Connect(host, port, timeouts.connectMs, &err);
    if (!s.Valid()) {
        *code = RDB_E_CONNECT;
        *message = err;
        return nullptr;
    }
    std::unique_ptr<ClientConnection> conn(new ClientConnection(std::move(s), timeouts));
    std::string hello;
    AppendHello(hello, HelloMsg{});
    if (conn->socket_.SendAll(hello.data(), hello.size(), left(), &err) != IoStatus::Ok) {
        *code = RDB_E_CONNECT;
        *message = "handshake with " + host + ":" + std::to_string(port) + " failed: " + err;
        return nullptr;
    }
    FrameView frame;
    int32_t readCode = 0;
    conn->awaitingReply_ = true;
    if (!conn->ReadFrame(&frame, left(), &readCode, &err)) {
        *code = RDB_E_CONNECT;
        *message = "handshake with " + host + ":" + std::to_string(port) + " failed: " + err;
        return nullptr;
    }
    HelloOkMsg ok;
    ErrorMsg refused;
    if (ParseHelloOk(frame, &ok)) {
        if (ok.version < kLowestVersion || ok.version > kProtocolVersion) {
            *code = RDB_E_PROTOCOL;
            *message = "gateway chose unsupported protocol version " + std::to_string(ok.version);
            return nullptr;
        }
        conn->version_ = ok.version;
        return conn;
    }
    if (ParseError(frame, &refused)) {
        *code = refused.status < 0 ? refused.status : RDB_E_CONNECT;
        *message = "gateway refused the connection: " + std::string(refused.message);
        return nullptr;
    }
    *code = RDB_E_PROTOCOL;
    *message = "unexpected " + std::string(FrameTypeName(frame.type)) + " frame in handshake";
    return nullptr;
}

CallOutcome ClientConnection::Fail(int32_t code, std::string message, bool sent) {
    broken_ = true;
    socket_.Close();
    CallOutcome out;
    out.kind = CallOutcome::Kind::Failed;
    out.code = code;
    out.message = std::move(message);
    out.requestSent = sent;
    return out;
}

bool ClientConnection::ReadFrame(FrameView* frame, int timeoutMs, int32_t* code,
                                 std::string* message) {
    for (;;) {
        switch (decoder_.Next(frame)) {
            case FrameDecoder::Status::Frame:
                return true;
            case FrameDecoder::Status::Error:
                *code = RDB_E_PROTOCOL;
                *message = "malformed reply from gateway: " + decoder_.ErrorText();
                return false;
            case FrameDecoder::Status::NeedMore:
                break;
        }
        char* area = decoder_.WriteArea(kRecvChunk);
        size_t got = 0;
        std::string err;
        // Just after a request the reply cannot be here yet: wait before reading. Within a
        // stream of rows the next bytes usually are, so read first there.
        const bool waitFirst = awaitingReply_ && decoder_.Pending() == 0;
        switch (
            socket_.RecvSome(area, decoder_.WriteAreaSize(), timeoutMs, &got, &err, waitFirst)) {
            case IoStatus::Ok:
                decoder_.Commit(got);
                awaitingReply_ = false;
                break;
            case IoStatus::Timeout:
                *code = RDB_E_TIMEOUT;
                *message = "no reply from gateway within " + std::to_string(timeoutMs) + " ms";
                return false;
            case IoStatus::Closed:
            case IoStatus::Error:
                *code = RDB_E_DISCONNECTED;
                *message = "connection to gateway lost: " + err;
                return false;
        }
    }
}

CallOutcome ClientConnection::Call(FrameType kind, std::string_view database, std::string_view sql,
                                   const RowFn& onRow) {
    CallOutcome outcome;
    if (broken_) return Fail(RDB_E_DISCONNECTED, "connection is closed", false);

    const uint32_t id = nextRequestId_++;
    out_.clear();
    if (!AppendRequest(out_, RequestMsg{kind, id, database, sql})) {
        // Nothing was sent, so the link is still fine.
        outcome.kind = CallOutcome::Kind::Failed;
        outcome.code = RDB_E_PROTOCOL;
        outcome.message =
            "statement of " + std::to_string(sql.size()) + " bytes exceeds the frame limit";
        return outcome;
    }
    BreakUnlessDone guard(&broken_);
    std::string err;
    size_t sentBytes = 0;
    const IoStatus sent =
        socket_.SendAll(out_.data(), out_.size(), timeouts_.ioMs, &err, &sentBytes);
    if (sent != IoStatus::Ok) {
        return Fail(sent == IoStatus::Timeout ? RDB_E_TIMEOUT : RDB_E_DISCONNECTED,
                    "sending request failed: " + err, sentBytes > 0);
    }

    awaitingReply_ = true;
    int64_t rows = 0;
    for (;;) {
        FrameView frame;
        int32_t code = 0;
        if (!ReadFrame(&frame, timeouts_.ioMs, &code, &err)) return Fail(code, err, true);
        switch (frame.type) {
            case FrameType::Row: {
                RowMsg row;
                if (!ParseRow(frame, &row))
                    return Fail(RDB_E_PROTOCOL, "malformed ROW frame from gateway", true);
                if (kind == FrameType::Execute || (kind == FrameType::First && rows > 0))
                    return Fail(RDB_E_PROTOCOL, "unexpected ROW frame from gateway", true);
                ++rows;
                rowScratch_.assign(row.row);
                if (onRow) onRow(row.columns, rowScratch_);
                break;
            }
            case FrameType::Done: {
                DoneMsg done;
                if (!ParseDone(frame, &done) || done.requestId != id)
                    return Fail(RDB_E_PROTOCOL, "DONE frame out of step", true);
                if (kind != FrameType::Execute && done.count != rows)
                    return Fail(RDB_E_PROTOCOL, "DONE frame row count does not match", true);
                guard.Done();
                outcome.kind = CallOutcome::Kind::Done;
                outcome.count = done.count;
                outcome.requestSent = true;
                return outcome;
            }
            case FrameType::Error: {
                ErrorMsg error;
                if (!ParseError(frame, &error) || error.requestId != id)
                    return Fail(RDB_E_PROTOCOL, "ERROR frame out of step", true);
                guard.Done();
                outcome.kind = CallOutcome::Kind::ServerError;
                outcome.code = error.status;
                outcome.message.assign(error.message);
                outcome.requestSent = true;
                return outcome;
            }
            default:
                return Fail(
                    RDB_E_PROTOCOL,
                    "unexpected " + std::string(FrameTypeName(frame.type)) + " frame from gateway",
                    true);
        }
    }
}

}  // namespace rdb::net
