// The TCP link to the rdbd gateway. The object stands for the address, not for a socket:
// it connects at the first call, and whenever the connection has been lost it connects
// again at the next call, so a desk started before the server, or left running across a
// server restart, carries on without being reopened.
//
// Timeouts: connecting (with the handshake) and each wait for reply bytes are limited to
// 10 s by default, so a dead or hung server fails a call instead of freezing the desk. The
// environment variable RDB_TIMEOUT_MS, read when the transport is made, overrides both.
//
// One call at a time per transport (calls from other threads wait). A call made from inside
// a row callback runs on a second connection, since the first is still carrying rows.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "rdb/client/Transport.h"
#include "rdb/net/ClientConnection.h"

namespace rdb {

class TcpTransport : public Transport {
public:
    using Timeouts = net::ClientConnection::Timeouts;

    TcpTransport(std::string host, uint16_t port);
    ~TcpTransport() override;

    int32_t Query(const std::string& db, const std::string& sql, const ClientRowFn& onRow,
                  int32_t* rowCount, RDB_ERROR* err) override;
    int32_t QueryFirst(const std::string& db, const std::string& sql, std::string* row,
                       RDB_ERROR* err) override;
    int32_t Execute(const std::string& db, const std::string& sql, RDB_ERROR* err) override;

    void SetTimeouts(const Timeouts& timeouts);
    Timeouts GetTimeouts() const;

    // Drops the cached connection; the next call connects anew.
    void Disconnect();

    // Timeouts from RDB_TIMEOUT_MS, or the 10 s defaults.
    static Timeouts TimeoutsFromEnvironment();

private:
    net::CallOutcome Call(net::FrameType kind, const std::string& db, const std::string& sql,
                          const ClientRowFn& onRow);

    std::string host_;
    uint16_t port_;
    Timeouts timeouts_;
    mutable std::recursive_mutex mutex_;
    // Index = nesting depth of calls made from row callbacks. A deque, so that a nested call
    // growing it leaves the outer call's element in place.
    std::deque<std::unique_ptr<net::ClientConnection>> connections_;
    size_t depth_ = 0;
};

}  // namespace rdb
