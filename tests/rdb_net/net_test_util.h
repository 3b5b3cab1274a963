// Helpers of the network tests: a database of known content, a raw socket client that can
// misbehave on purpose, and a free port.
#pragma once

#include <cstdint>
#include <string>

#include "rdb/net/Socket.h"

namespace nettest {

inline constexpr const char kDay[] = "20261201";
inline constexpr int kLoanService = 101;     // type 1
inline constexpr int kGeneralService = 102;  // type 2

// Creates the database at path: user "u1", services 101 (type 1) and 102 (type 2), and
// `records` RST_INB rows on kDay alternating between the two services; every third row is
// an unprocessed callback request. One USER_AGENT_INFO row (SEQ_NO 1, DIST_COUNT 0) serves
// as a shared counter.
void CreateNetTestDatabase(const std::string& path, int records);

// The first column of the first row of plain SQLite sql, bypassing every transport and
// the dialect adapter; -1 when it fails.
int64_t CountRows(const std::string& path, const std::string& sql);

// The new-record count and unprocessed loan-layout list of the desk for one service on kDay.
std::string NewRecordCountSql(int service);
std::string UnprocessedLoanListSql(int service);

// A port nothing listens on (bound once and released).
uint16_t UnusedPort();

// A bare connection to the gateway for sending whatever bytes a test likes.
class RawClient {
public:
    explicit RawClient(uint16_t port, int receiveBuffer = 0);
    bool Connected() const { return socket_.Valid(); }
    bool Send(const std::string& bytes);
    // Sends HELLO and reads HELLO_OK.
    bool Handshake();
    // Reads until the gateway closes the connection; true when that happens within
    // timeoutMs. Bytes read are discarded.
    bool WaitClosed(int timeoutMs);
    // Reads whatever arrives within timeoutMs (at most max bytes).
    std::string Read(size_t max, int timeoutMs);
    void Close() { socket_.Close(); }

private:
    rdb::net::Socket socket_;
};

}  // namespace nettest
