#include "rdb/client/TcpTransport.h"

#include <cstdlib>
#include <limits>

namespace rdb {

namespace {

int32_t ClampCount(int64_t n) {
    return n > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                   : static_cast<int32_t>(n);
}

void ClearError(RDB_ERROR* err) {
    SetRdbError(err, 0, std::string());
}

}  // namespace

TcpTransport::TcpTransport(std::string host, uint16_t port)
    : host_(std::move(host)), port_(port), timeouts_(TimeoutsFromEnvironment()) {}

TcpTransport::~TcpTransport() = default;

TcpTransport::Timeouts TcpTransport::TimeoutsFromEnvironment() {
    Timeouts t;
    if (const char* env = std::getenv("RDB_TIMEOUT_MS")) {
        char* end = nullptr;
        const long ms = std::strtol(env, &end, 10);
        if (end != env && ms > 0 && ms <= 24L * 3600 * 1000) {
            t.connectMs = static_cast<int>(ms);
            t.ioMs = static_cast<int>(ms);
        }
    }
    return t;
}

void TcpTransport::SetTimeouts(const Timeouts& timeouts) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    timeouts_ = timeouts;
}

TcpTransport::Timeouts TcpTransport::GetTimeouts() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return timeouts_;
}

void TcpTransport::Disconnect() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // Connections in use by an outer call stay; they are dropped when that call ends badly.
    for (size_t i = depth_; i < connections_.size(); ++i) connections_[i].reset();
}

net::CallOutcome TcpTransport::Call(net::FrameType kind, const std::string& db,
                                    const std::string& sql, const ClientRowFn& onRow) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const size_t slot = depth_;
    if (connections_.size() <= slot) connections_.resize(slot + 1);
    struct Depth {
        size_t& d;
        explicit Depth(size_t& depth) : d(depth) { ++d; }
        ~Depth() { --d; }
    } depth(depth_);

    for (int attempt = 0;; ++attempt) {
        std::unique_ptr<net::ClientConnection>& conn = connections_[slot];
        bool reused = false;
        if (conn && conn->Usable()) {
            reused = true;
        } else {
            conn.reset();
            net::CallOutcome failed;
            failed.kind = net::CallOutcome::Kind::Failed;
            conn =
                net::ClientConnection::Open(host_, port_, timeouts_, &failed.code, &failed.message);
            if (!conn) return failed;
        }
        net::CallOutcome outcome = conn->Call(kind, db, sql, onRow);
        if (outcome.kind == net::CallOutcome::Kind::Failed && conn->Broken()) {
            conn.reset();
            // The cached link had died unseen and the request never left: one fresh try.
            if (reused && !outcome.requestSent && attempt == 0) continue;
        }
        return outcome;
    }
}

int32_t TcpTransport::Query(const std::string& db, const std::string& sql, const ClientRowFn& onRow,
                            int32_t* rowCount, RDB_ERROR* err) {
    // Like the embedded transport, the count reports the rows delivered, also when the
    // statement failed part way.
    int64_t delivered = 0;
    const net::CallOutcome out =
        Call(net::FrameType::Query, db, sql, [&](int32_t columns, const std::string& row) {
            ++delivered;
            if (onRow) onRow(columns, row);
        });
    if (rowCount) *rowCount = ClampCount(delivered);
    switch (out.kind) {
        case net::CallOutcome::Kind::Done:
            ClearError(err);
            return 1;
        case net::CallOutcome::Kind::ServerError:
            SetRdbError(err, out.code, out.message);
            return out.code < 0 ? out.code : 0;
        case net::CallOutcome::Kind::Failed:
            break;
    }
    SetRdbError(err, out.code, out.message);
    return out.code;
}

int32_t TcpTransport::QueryFirst(const std::string& db, const std::string& sql, std::string* row,
                                 RDB_ERROR* err) {
    std::string first;
    const net::CallOutcome out = Call(net::FrameType::First, db, sql,
                                      [&first](int32_t, const std::string& r) { first = r; });
    switch (out.kind) {
        case net::CallOutcome::Kind::Done:
            if (out.count > 0) {
                if (row) *row = std::move(first);
                ClearError(err);
            } else {
                if (row) row->clear();
                SetRdbError(err, 1, std::string());
            }
            return 1;
        case net::CallOutcome::Kind::ServerError:
            // A failed call, not a status: an engine code of 1 would read as "no row".
            SetRdbError(err, out.code, out.message);
            return out.code < 0 ? out.code : 0;
        case net::CallOutcome::Kind::Failed:
            break;
    }
    SetRdbError(err, out.code, out.message);
    return out.code;
}

int32_t TcpTransport::Execute(const std::string& db, const std::string& sql, RDB_ERROR* err) {
    const net::CallOutcome out = Call(net::FrameType::Execute, db, sql, ClientRowFn());
    switch (out.kind) {
        case net::CallOutcome::Kind::Done:
            ClearError(err);
            return 1;
        case net::CallOutcome::Kind::ServerError:
            SetRdbError(err, out.code, out.message);
            return out.code < 0 ? out.code : 0;
        case net::CallOutcome::Kind::Failed:
            break;
    }
    SetRdbError(err, out.code, out.message);
    return out.code;
}

std::unique_ptr<Transport> MakeTcpTransport(const std::string& host, uint16_t port) {
    return std::make_unique<TcpTransport>(host, port);
}

}  // namespace rdb
