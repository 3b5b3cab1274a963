// Frame encoding and decoding: round trips, and input that lies about itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Protocol.h"

using namespace rdb::net;

namespace {

std::string Be32(uint32_t v) {
    std::string s(4, '\0');
    s[0] = static_cast<char>(v >> 24);
    s[1] = static_cast<char>(v >> 16);
    s[2] = static_cast<char>(v >> 8);
    s[3] = static_cast<char>(v);
    return s;
}

// Decodes everything in bytes; fails the test on a decoder error.
std::vector<std::pair<FrameType, std::string>> DecodeAll(const std::string& bytes,
                                                         size_t chunk = SIZE_MAX) {
    FrameDecoder d;
    std::vector<std::pair<FrameType, std::string>> frames;
    for (size_t pos = 0; pos < bytes.size();) {
        const size_t n = std::min(chunk, bytes.size() - pos);
        d.Feed(bytes.data() + pos, n);
        pos += n;
        FrameView f;
        FrameDecoder::Status st;
        while ((st = d.Next(&f)) == FrameDecoder::Status::Frame)
            frames.emplace_back(f.type, std::string(f.body));
        EXPECT_NE(st, FrameDecoder::Status::Error) << d.ErrorText();
    }
    EXPECT_EQ(d.Pending(), 0u);
    return frames;
}

FrameDecoder::Status DecodeOne(const std::string& bytes, std::string* error = nullptr) {
    FrameDecoder d;
    d.Feed(bytes.data(), bytes.size());
    FrameView f;
    const auto st = d.Next(&f);
    if (error) *error = d.ErrorText();
    return st;
}

FrameView View(FrameType type, const std::string& body) {
    return FrameView{type, body};
}

}  // namespace

TEST(FrameCodec, EveryMessageSurvivesARoundTrip) {
    const std::string korean = "\xEB\xAF\xB8\xEC\xB2\x98\xEB\xA6\xAC";  // UTF-8 text
    const std::string binary("a\0b:;c\xFF", 7);
    std::string out;
    ASSERT_TRUE(AppendHello(out, HelloMsg{1, 7}));
    ASSERT_TRUE(AppendHelloOk(out, HelloOkMsg{1, 12345}));
    ASSERT_TRUE(
        AppendRequest(out, RequestMsg{FrameType::Query, 42, "NEW_ACS", "select " + korean}));
    ASSERT_TRUE(AppendRequest(out, RequestMsg{FrameType::First, 43, "", ""}));
    ASSERT_TRUE(AppendRequest(out, RequestMsg{FrameType::Execute, 0xFFFFFFFF, "db", binary}));
    ASSERT_TRUE(AppendRow(out, 3, binary));
    ASSERT_TRUE(AppendRow(out, 0, ""));
    ASSERT_TRUE(AppendDone(out, DoneMsg{44, int64_t{1} << 40}));
    AppendError(out, ErrorMsg{45, -2147483647 - 1, korean});

    for (size_t chunk : {size_t{1}, size_t{3}, size_t{7}, SIZE_MAX}) {
        SCOPED_TRACE(chunk);
        const auto frames = DecodeAll(out, chunk);
        ASSERT_EQ(frames.size(), 9u);

        HelloMsg hello;
        ASSERT_TRUE(ParseHello(View(frames[0].first, frames[0].second), &hello));
        EXPECT_EQ(hello.lowestVersion, 1);
        EXPECT_EQ(hello.highestVersion, 7);

        HelloOkMsg ok;
        ASSERT_TRUE(ParseHelloOk(View(frames[1].first, frames[1].second), &ok));
        EXPECT_EQ(ok.version, 1);
        EXPECT_EQ(ok.maxFrame, 12345u);

        RequestMsg q;
        ASSERT_TRUE(ParseRequest(View(frames[2].first, frames[2].second), &q));
        EXPECT_EQ(q.kind, FrameType::Query);
        EXPECT_EQ(q.requestId, 42u);
        EXPECT_EQ(q.database, "NEW_ACS");
        EXPECT_EQ(q.sql, "select " + korean);
        ASSERT_TRUE(ParseRequest(View(frames[3].first, frames[3].second), &q));
        EXPECT_EQ(q.kind, FrameType::First);
        EXPECT_EQ(q.sql, "");
        ASSERT_TRUE(ParseRequest(View(frames[4].first, frames[4].second), &q));
        EXPECT_EQ(q.kind, FrameType::Execute);
        EXPECT_EQ(q.requestId, 0xFFFFFFFFu);
        EXPECT_EQ(q.sql, binary);

        RowMsg row;
        ASSERT_TRUE(ParseRow(View(frames[5].first, frames[5].second), &row));
        EXPECT_EQ(row.columns, 3);
        EXPECT_EQ(row.row, binary);
        ASSERT_TRUE(ParseRow(View(frames[6].first, frames[6].second), &row));
        EXPECT_EQ(row.columns, 0);
        EXPECT_EQ(row.row, "");

        DoneMsg done;
        ASSERT_TRUE(ParseDone(View(frames[7].first, frames[7].second), &done));
        EXPECT_EQ(done.requestId, 44u);
        EXPECT_EQ(done.count, int64_t{1} << 40);

        ErrorMsg error;
        ASSERT_TRUE(ParseError(View(frames[8].first, frames[8].second), &error));
        EXPECT_EQ(error.requestId, 45u);
        EXPECT_EQ(error.status, -2147483647 - 1);
        EXPECT_EQ(error.message, korean);
    }
}

TEST(FrameCodec, LengthPrefixIsBigEndianAndCountsTypeAndBody) {
    std::string out;
    AppendDone(out, DoneMsg{1, 2});
    ASSERT_EQ(out.size(), 4u + 1 + 12);
    EXPECT_EQ(out.substr(0, 4), Be32(13));
    EXPECT_EQ(static_cast<uint8_t>(out[4]), 0x21);
}

TEST(FrameCodec, FrameOfExactlyTheLimitPassesAndOneByteMoreIsRefused) {
    // ROW body: i32 columns + u32 length + bytes; with the type byte the frame is row + 9.
    const size_t fits = static_cast<size_t>(kMaxFrameSize) - 9;
    std::string out;
    ASSERT_TRUE(AppendRow(out, 1, std::string(fits, 'x')));
    EXPECT_EQ(out.size(), kLengthSize + static_cast<size_t>(kMaxFrameSize));
    FrameDecoder d;
    d.Feed(out.data(), out.size());
    FrameView f;
    ASSERT_EQ(d.Next(&f), FrameDecoder::Status::Frame);
    RowMsg row;
    ASSERT_TRUE(ParseRow(f, &row));
    EXPECT_EQ(row.row.size(), fits);

    std::string tooBig = "keep";
    EXPECT_FALSE(AppendRow(tooBig, 1, std::string(fits + 1, 'x')));
    EXPECT_EQ(tooBig, "keep");
    EXPECT_FALSE(AppendRequest(
        tooBig, RequestMsg{FrameType::Query, 1, "db", std::string(kMaxFrameSize, 's')}));
    EXPECT_EQ(tooBig, "keep");
    EXPECT_GT(RequestFrameSize("db", std::string(kMaxFrameSize, 's')),
              static_cast<size_t>(kMaxFrameSize));
}

TEST(FrameCodec, OverlongErrorMessageIsCutToFit) {
    std::string out;
    AppendError(out, ErrorMsg{1, -4, std::string(kMaxFrameSize + 100, 'm')});
    FrameDecoder d;
    d.Feed(out.data(), out.size());
    FrameView f;
    ASSERT_EQ(d.Next(&f), FrameDecoder::Status::Frame);
    ErrorMsg e;
    ASSERT_TRUE(ParseError(f, &e));
    EXPECT_LT(e.message.size(), static_cast<size_t>(kMaxFrameSize));
}

TEST(FrameDecoderHostile, BadLengthsAreErrorsThatStick) {
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"negative", Be32(0xFFFFFFFF) + "\x21"},
        {"most negative", Be32(0x80000000) + "\x21"},
        {"zero", Be32(0)},
        {"one over the limit", Be32(static_cast<uint32_t>(kMaxFrameSize) + 1) + "\x21"},
        {"huge", Be32(0x7FFFFFFF)},
        {"unknown type", Be32(5) + "\x7F" + "abcd"},
        {"text instead of a frame", "GET / HTTP/1.1\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameDecoder d;
        d.Feed(c.bytes.data(), c.bytes.size());
        FrameView f;
        EXPECT_EQ(d.Next(&f), FrameDecoder::Status::Error);
        EXPECT_FALSE(d.ErrorText().empty());
        // Good bytes afterwards do not revive the stream.
        std::string good;
        AppendDone(good, DoneMsg{1, 1});
        d.Feed(good.data(), good.size());
        EXPECT_EQ(d.Next(&f), FrameDecoder::Status::Error);
        EXPECT_TRUE(d.Failed());
    }
}

TEST(FrameDecoderHostile, BadLengthIsSeenBeforeTheBodyArrives) {
    std::string error;
    EXPECT_EQ(DecodeOne(Be32(0xFFFFFFF0), &error), FrameDecoder::Status::Error);
    EXPECT_NE(error.find("negative"), std::string::npos) << error;
    EXPECT_EQ(DecodeOne(Be32(0x01000001), &error), FrameDecoder::Status::Error);
    EXPECT_NE(error.find("exceeds"), std::string::npos) << error;
    // An unknown type byte is refused without waiting for the rest of the frame.
    EXPECT_EQ(DecodeOne(Be32(1000) + "\x99"), FrameDecoder::Status::Error);
}

TEST(FrameDecoderHostile, TruncatedFrameIsNeverDelivered) {
    std::string out;
    AppendRequest(out, RequestMsg{FrameType::Query, 7, "NEW_ACS", "select 1"});
    FrameDecoder d;
    FrameView f;
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        d.Feed(&out[i], 1);
        ASSERT_EQ(d.Next(&f), FrameDecoder::Status::NeedMore) << "after " << i + 1 << " bytes";
    }
    EXPECT_EQ(d.Pending(), out.size() - 1);
    d.Feed(&out.back(), 1);
    EXPECT_EQ(d.Next(&f), FrameDecoder::Status::Frame);
}

TEST(FrameDecoderHostile, ClaimedLengthAllocatesNothing) {
    // Claims almost 16 MiB and sends ten bytes: the buffer stays small.
    FrameDecoder d;
    const std::string head = Be32(static_cast<uint32_t>(kMaxFrameSize)) + "\x10" + "12345";
    d.Feed(head.data(), head.size());
    FrameView f;
    EXPECT_EQ(d.Next(&f), FrameDecoder::Status::NeedMore);
    EXPECT_LE(d.Capacity(), 64u * 1024);
}

TEST(FrameDecoderHostile, BufferShrinksAfterALargeFrame) {
    std::string out;
    AppendRow(out, 1, std::string(4 * 1024 * 1024, 'r'));
    FrameDecoder d;
    d.Feed(out.data(), out.size());
    FrameView f;
    ASSERT_EQ(d.Next(&f), FrameDecoder::Status::Frame);
    EXPECT_GE(d.Capacity(), out.size());
    d.WriteArea(1024);
    EXPECT_LE(d.Capacity(), 256u * 1024);
}

TEST(FrameParsers, BodiesThatDoNotMatchTheirTypeAreRefused) {
    RequestMsg req;
    RowMsg row;
    DoneMsg done;
    ErrorMsg err;
    HelloMsg hello;
    HelloOkMsg ok;

    std::string good;
    AppendRequest(good, RequestMsg{FrameType::Query, 1, "db", "sql"});
    const std::string body = good.substr(5);
    EXPECT_TRUE(ParseRequest(View(FrameType::Query, body), &req));
    EXPECT_FALSE(ParseRequest(View(FrameType::Query, body + "x"), &req)) << "trailing byte";
    EXPECT_FALSE(ParseRequest(View(FrameType::Query, body.substr(0, body.size() - 1)), &req));
    EXPECT_FALSE(ParseRequest(View(FrameType::Row, body), &req)) << "wrong type";
    // A string length larger than the body.
    EXPECT_FALSE(ParseRequest(View(FrameType::Query, Be32(1) + Be32(0xFFFFFFFF) + "db"), &req));
    EXPECT_FALSE(ParseRequest(View(FrameType::Query, ""), &req));

    EXPECT_FALSE(ParseRow(View(FrameType::Row, Be32(0xFFFFFFFF) + Be32(0)), &row))
        << "negative column count";
    EXPECT_FALSE(ParseRow(View(FrameType::Row, Be32(1) + Be32(5) + "abc"), &row));
    EXPECT_FALSE(ParseDone(View(FrameType::Done, Be32(1) + Be32(0x80000000) + Be32(0)), &done))
        << "negative count";
    EXPECT_FALSE(ParseDone(View(FrameType::Done, Be32(1) + Be32(0)), &done));
    EXPECT_FALSE(ParseError(View(FrameType::Error, Be32(1) + Be32(2) + Be32(10) + "short"), &err));

    EXPECT_FALSE(ParseHello(
        View(FrameType::Hello, Be32(0x12345678) + std::string("\x00\x01\x00\x01", 4)), &hello))
        << "bad magic";
    EXPECT_FALSE(
        ParseHelloOk(View(FrameType::HelloOk, Be32(kMagic) + std::string("\x00\x01", 2)), &ok));
}

TEST(FrameParsers, ParsedStringsStayInsideTheBody) {
    // Two strings whose lengths would overlap the end; the first fits, the second does not.
    const std::string body = Be32(9) + Be32(2) + "db" + Be32(4) + "sq";
    RequestMsg req;
    EXPECT_FALSE(ParseRequest(View(FrameType::Execute, body), &req));
}
