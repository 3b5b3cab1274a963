// Wire protocol between the client library's TCP transport and the rdbd gateway.
//
// Framing
//   Every message is one frame:  LENGTH (4 bytes) | TYPE (1 byte) | BODY (LENGTH - 1 bytes)
//   LENGTH counts TYPE and BODY. Integers are big-endian. LENGTH is read as a signed 32-bit
//   value and must lie in 1 .. kMaxFrameSize (16 MiB); anything else (zero, negative,
//   oversize), an unknown TYPE, a BODY that does not match its TYPE exactly (short, or with
//   bytes left over) is a protocol error and the receiver closes the connection. Nothing is
//   allocated from a claimed length: buffers grow only with bytes actually received.
//   A string field is u32 byte count followed by the bytes (no NUL); its count must fit in
//   what is left of the body.
//
// Session
//   1. The client sends HELLO; the server answers HELLO_OK (the version it will speak) or
//      ERROR (for example an unsupported version, or the database cannot be opened) and
//      closes. The client must send HELLO within the handshake timeout.
//   2. Then strictly one request at a time: the client sends a request frame and reads
//      frames until DONE or ERROR for that request id. Requests are never pipelined.
//
// Frames (TYPE value: body fields)
//   HELLO     0x01  u32 magic 'ORVN', u16 lowest version, u16 highest version (client)
//   HELLO_OK  0x02  u32 magic 'ORVN', u16 chosen version, u32 largest frame accepted
//   QUERY     0x10  u32 request id, str database, str sql   all rows (RDBQueryRecord)
//   FIRST     0x11  u32 request id, str database, str sql   first row (RDBQueryFirstRecord)
//   EXECUTE   0x12  u32 request id, str database, str sql   no rows (RDBExecuteSQL)
//   ROW       0x20  i32 column count, str row               one row in row format
//   DONE      0x21  u32 request id, i64 count               QUERY: rows sent; FIRST: 1 row /
//                                                            0 none; EXECUTE: rows changed
//   ERROR     0x22  u32 request id, i32 status, str message  statement failed (engine code)
//                                                            or refused (negative RDB_E_*)
//   A request answers with zero or more ROW frames (QUERY: each row in result order; FIRST:
//   at most one) followed by exactly one DONE or ERROR carrying the request's id. The
//   request id is the client's own per-connection sequence number; a reply with another id
//   means the stream is out of step and the connection is dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rdb::net {

inline constexpr uint32_t kMagic = 0x4F52564E;  // "ORVN"
inline constexpr uint16_t kProtocolVersion = 1;
inline constexpr uint16_t kLowestVersion = 1;
inline constexpr int32_t kMaxFrameSize = 16 * 1024 * 1024;
inline constexpr size_t kLengthSize = 4;

enum class FrameType : uint8_t {
    Hello = 0x01,
    HelloOk = 0x02,
    Query = 0x10,
    First = 0x11,
    Execute = 0x12,
    Row = 0x20,
    Done = 0x21,
    Error = 0x22,
};

bool IsKnownFrameType(uint8_t type);
const char* FrameTypeName(FrameType type);

// A decoded frame: its type and the body that follows the type byte. The body views the
// decoder's buffer and is valid until the decoder is fed or read again.
struct FrameView {
    FrameType type = FrameType::Hello;
    std::string_view body;
};

struct HelloMsg {
    uint16_t lowestVersion = kLowestVersion;
    uint16_t highestVersion = kProtocolVersion;
};

struct HelloOkMsg {
    uint16_t version = kProtocolVersion;
    uint32_t maxFrame = static_cast<uint32_t>(kMaxFrameSize);
};

struct RequestMsg {
    FrameType kind = FrameType::Query;  // Query, First or Execute
    uint32_t requestId = 0;
    std::string_view database;
    std::string_view sql;
};

struct RowMsg {
    int32_t columns = 0;
    std::string_view row;
};

struct DoneMsg {
    uint32_t requestId = 0;
    int64_t count = 0;
};

struct ErrorMsg {
    uint32_t requestId = 0;
    int32_t status = 0;
    std::string_view message;
};

// Encoders append one whole frame (length prefix included) to out. They return false and
// leave out unchanged when the frame would exceed kMaxFrameSize.
bool AppendHello(std::string& out, const HelloMsg& msg);
bool AppendHelloOk(std::string& out, const HelloOkMsg& msg);
bool AppendRequest(std::string& out, const RequestMsg& msg);
bool AppendRow(std::string& out, int32_t columns, std::string_view row);
bool AppendDone(std::string& out, const DoneMsg& msg);
// An error message longer than the frame allows is cut, so this always succeeds.
void AppendError(std::string& out, const ErrorMsg& msg);

// Body size of a frame for a request, for checking a statement against the limit before
// anything is sent.
size_t RequestFrameSize(std::string_view database, std::string_view sql);

// Parsers: true when the frame has this type and its body is exactly well formed. The
// string views point into frame.body.
bool ParseHello(const FrameView& frame, HelloMsg* out);
bool ParseHelloOk(const FrameView& frame, HelloOkMsg* out);
bool ParseRequest(const FrameView& frame, RequestMsg* out);
bool ParseRow(const FrameView& frame, RowMsg* out);
bool ParseDone(const FrameView& frame, DoneMsg* out);
bool ParseError(const FrameView& frame, ErrorMsg* out);

}  // namespace rdb::net
