// A misbehaving client costs only its own connection: the gateway closes it within a time
// limit, logs why, and another desk connected all along keeps being served.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rdb/client/TcpTransport.h"
#include "rdb/net/Protocol.h"
#include "tests/rdb_net/net_test_util.h"
#include "tests/support/Fixture.h"
#include "tests/support/RdbdProcess.h"

using nettest::RawClient;

namespace {

constexpr int kRecords = 3000;
constexpr int kIoTimeoutMs = 1000;
// Closing must come well within this (the stall cases wait out kIoTimeoutMs first).
constexpr int kCloseWithinMs = 5000;

std::string Be32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
    return s;
}

class GatewayAbuse : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        nettest::CreateNetTestDatabase(dir_->File("abuse.db"), kRecords);
        gateway_ = new RdbdProcess();
        ASSERT_TRUE(gateway_->Start(dir_->File("abuse.db"), 0,
                                    {"--io-timeout", std::to_string(kIoTimeoutMs)}))
            << gateway_->ErrorText();
    }
    static void TearDownTestSuite() {
        if (gateway_) {
            EXPECT_TRUE(gateway_->Stop()) << gateway_->ErrorText() << gateway_->LogText();
        }
        delete gateway_;
        delete dir_;
        gateway_ = nullptr;
        dir_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(gateway_ && gateway_->Running());
        desk_ = std::make_unique<rdb::TcpTransport>("127.0.0.1", gateway_->Port());
        ExpectDeskWorks();
        logMark_ = gateway_->LogText().size();
    }

    // What the gateway logged since this test began.
    std::string NewLog() const { return gateway_->LogText().substr(logMark_); }

    // Waits (2 s by default) for text to show in the new part of the log.
    bool WaitForLog(const std::string& text, int timeoutMs = 2000) const {
        for (int i = 0; i < timeoutMs / 20; ++i) {
            if (NewLog().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The well-behaved desk gets the right count.
    void ExpectDeskWorks() {
        std::string row;
        RDB_ERROR err{};
        ASSERT_EQ(desk_->QueryFirst("NEW_ACS", nettest::NewRecordCountSql(nettest::kLoanService),
                                    &row, &err),
                  1)
            << err.szMessage;
        ASSERT_EQ(err.nCode, 0) << err.szMessage;
        EXPECT_EQ(row, std::to_string((kRecords + 5) / 6) + ":;");
    }

    static uint16_t Port() { return gateway_->Port(); }

    // Asserts that the gateway closes raw's connection in time and logged reason for it.
    void ExpectClosed(RawClient& raw, const std::string& reason, int withinMs = kCloseWithinMs) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(raw.WaitClosed(withinMs)) << "still open after " << withinMs << " ms";
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_LT(ms, withinMs);
        // The log line is written just before or after the socket closes.
        EXPECT_TRUE(WaitForLog(reason)) << "no log line with \"" << reason << "\" in:\n"
                                        << NewLog();
        ExpectDeskWorks();
    }

    static TempDir* dir_;
    static RdbdProcess* gateway_;
    std::unique_ptr<rdb::TcpTransport> desk_;
    size_t logMark_ = 0;
};

TempDir* GatewayAbuse::dir_ = nullptr;
RdbdProcess* GatewayAbuse::gateway_ = nullptr;

TEST_F(GatewayAbuse, OversizeLength) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Connected());
    ASSERT_TRUE(raw.Send(Be32(rdb::net::kMaxFrameSize + 1) + "\x01"));
    ExpectClosed(raw, "exceeds the limit");
}

TEST_F(GatewayAbuse, OversizeLengthAfterHandshake) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    ASSERT_TRUE(raw.Send(Be32(0x7FFFFFFF) + "\x10"));
    ExpectClosed(raw, "exceeds the limit");
}

TEST_F(GatewayAbuse, NegativeLength) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    ASSERT_TRUE(raw.Send(Be32(0xFFFFFFFE) + "\x10" + std::string(64, 'x')));
    ExpectClosed(raw, "negative frame length");
}

TEST_F(GatewayAbuse, GarbageBytes) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
    ExpectClosed(raw, "protocol error");
}

TEST_F(GatewayAbuse, WrongFirstFrameAndBadMagic) {
    {
        RawClient raw(Port());
        std::string query;
        rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS", "select 1"});
        ASSERT_TRUE(raw.Send(query));
        ExpectClosed(raw, "bad handshake (QUERY frame)");
    }
    {
        RawClient raw(Port());
        const std::string body = Be32(0x0BADF00D) + std::string("\x00\x01\x00\x01", 4);
        ASSERT_TRUE(raw.Send(Be32(static_cast<uint32_t>(body.size() + 1)) + "\x01" + body));
        ExpectClosed(raw, "bad handshake (HELLO frame)");
    }
}

TEST_F(GatewayAbuse, UnsupportedVersionIsRefusedWithAnErrorFrame) {
    RawClient raw(Port());
    std::string hello;
    rdb::net::AppendHello(hello, {50, 60});
    ASSERT_TRUE(raw.Send(hello));
    const std::string reply = raw.Read(4096, 5000);
    ASSERT_GT(reply.size(), 5u);
    EXPECT_EQ(static_cast<uint8_t>(reply[4]), static_cast<uint8_t>(rdb::net::FrameType::Error));
    ExpectClosed(raw, "unsupported protocol versions 50..60");
}

TEST_F(GatewayAbuse, MalformedRequestBody) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    // A QUERY whose SQL string claims more bytes than the frame holds.
    const std::string body = Be32(1) + Be32(7) + "NEW_ACS" + Be32(1000) + "select";
    ASSERT_TRUE(raw.Send(Be32(static_cast<uint32_t>(body.size() + 1)) + "\x10" + body));
    ExpectClosed(raw, "malformed QUERY frame");
}

TEST_F(GatewayAbuse, HalfAFrameThenClose) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    std::string query;
    rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS", "select 1"});
    ASSERT_TRUE(raw.Send(query.substr(0, query.size() / 2)));
    raw.Close();
    EXPECT_TRUE(WaitForLog("in the middle of a frame")) << NewLog();
    ExpectDeskWorks();
}

TEST_F(GatewayAbuse, HalfAFrameThenSilence) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    std::string query;
    rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS", "select 1"});
    ASSERT_TRUE(raw.Send(query.substr(0, 6)));
    // While this connection waits out its frame timeout, the desk is served.
    ExpectDeskWorks();
    ExpectClosed(raw, "incomplete frame timed out");
}

TEST_F(GatewayAbuse, SilenceBeforeTheHandshake) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Connected());
    ExpectClosed(raw, "handshake timed out");
}

TEST_F(GatewayAbuse, CloseInTheMiddleOfAResponse) {
    RawClient raw(Port());
    ASSERT_TRUE(raw.Handshake());
    // A large result: every record with every other one of its service is far more than
    // the socket buffers hold.
    std::string query;
    rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS",
                                    "select a.ACS_ID, b.RECV_PHONE, b.CALLER_ID from RST_INB a "
                                    "join RST_INB b on a.SVC_ID = b.SVC_ID"});
    ASSERT_TRUE(raw.Send(query));
    EXPECT_FALSE(raw.Read(64 * 1024, 5000).empty());
    raw.Close();
    EXPECT_TRUE(WaitForLog(" ended: send failed")) << NewLog();
    ExpectDeskWorks();
}

TEST_F(GatewayAbuse, ClientThatNeverReads) {
    RawClient raw(Port(), 4096);
    ASSERT_TRUE(raw.Handshake());
    std::string query;
    rdb::net::AppendRequest(query, {rdb::net::FrameType::Query, 1, "NEW_ACS",
                                    "select a.ACS_ID, b.RECV_PHONE, b.CALLER_ID from RST_INB a "
                                    "join RST_INB b on a.SVC_ID = b.SVC_ID"});
    ASSERT_TRUE(raw.Send(query));
    // Not reading: the gateway's send times out and it drops the connection. Reading here
    // would let the reply flow again, so the log tells when it has happened.
    ExpectDeskWorks();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitForLog("client stopped reading", kIoTimeoutMs + 10000)) << NewLog();
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(kIoTimeoutMs + kCloseWithinMs));
    EXPECT_TRUE(raw.WaitClosed(kCloseWithinMs));
    ExpectDeskWorks();
}

TEST_F(GatewayAbuse, ManyBadClientsAtOnce) {
    std::vector<std::unique_ptr<RawClient>> bad;
    for (int i = 0; i < 40; ++i) {
        bad.push_back(std::make_unique<RawClient>(Port()));
        ASSERT_TRUE(bad.back()->Connected());
        bad.back()->Send(i % 2 ? Be32(0xFFFFFFFF) : std::string("\x00\x00\x00\x00", 4));
    }
    for (auto& raw : bad) EXPECT_TRUE(raw->WaitClosed(kCloseWithinMs));
    ExpectDeskWorks();
}

}  // namespace
