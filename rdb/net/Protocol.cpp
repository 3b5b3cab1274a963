#include "rdb/net/Protocol.h"

#include "rdb/net/PayloadReader.h"

namespace rdb::net {

namespace {

void PutU16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void PutU32(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v >> 24));
    out.push_back(static_cast<char>(v >> 16));
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v));
}

void PutI64(std::string& out, int64_t v) {
    const auto u = static_cast<uint64_t>(v);
    PutU32(out, static_cast<uint32_t>(u >> 32));
    PutU32(out, static_cast<uint32_t>(u));
}

void PutStr(std::string& out, std::string_view s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out.append(s);
}

// Writes the length prefix and type; the body follows. Finish() patches the length.
size_t BeginFrame(std::string& out, FrameType type, size_t bodySize) {
    const size_t start = out.size();
    out.reserve(start + kLengthSize + 1 + bodySize);
    PutU32(out, 0);
    out.push_back(static_cast<char>(type));
    return start;
}

void FinishFrame(std::string& out, size_t start) {
    const auto len = static_cast<uint32_t>(out.size() - start - kLengthSize);
    out[start] = static_cast<char>(len >> 24);
    out[start + 1] = static_cast<char>(len >> 16);
    out[start + 2] = static_cast<char>(len >> 8);
    out[start + 3] = static_cast<char>(len);
}

bool Fits(size_t bodySize) {
    return bodySize + 1 <= static_cast<size_t>(kMaxFrameSize);
}

}  // namespace

bool IsKnownFrameType(uint8_t type) {
    switch (static_cast<FrameType>(type)) {
        case FrameType::Hello:
        case FrameType::HelloOk:
        case FrameType::Query:
        case FrameType::First:
        case FrameType::Execute:
        case FrameType::Row:
        case FrameType::Done:
        case FrameType::Error:
            return true;
    }
    return false;
}

const char* FrameTypeName(FrameType type) {
    switch (type) {
        case FrameType::Hello:
            return "HELLO";
        case FrameType::HelloOk:
            return "HELLO_OK";
        case FrameType::Query:
            return "QUERY";
        case FrameType::First:
            return "FIRST";
        case FrameType::Execute:
            return "EXECUTE";
        case FrameType::Row:
            return "ROW";
        case FrameType::Done:
            return "DONE";
        case FrameType::Error:
            return "ERROR";
    }
    return "?";
}

bool AppendHello(std::string& out, const HelloMsg& msg) {
    const size_t start = BeginFrame(out, FrameType::Hello, 8);
    PutU32(out, kMagic);
    PutU16(out, msg.lowestVersion);
    PutU16(out, msg.highestVersion);
    FinishFrame(out, start);
    return true;
}

bool AppendHelloOk(std::string& out, const HelloOkMsg& msg) {
    const size_t start = BeginFrame(out, FrameType::HelloOk, 10);
    PutU32(out, kMagic);
    PutU16(out, msg.version);
    PutU32(out, msg.maxFrame);
    FinishFrame(out, start);
    return true;
}

size_t RequestFrameSize(std::string_view database, std::string_view sql) {
    return 4 + 4 + database.size() + 4 + sql.size();
}

bool AppendRequest(std::string& out, const RequestMsg& msg) {
    if (msg.kind != FrameType::Query && msg.kind != FrameType::First &&
        msg.kind != FrameType::Execute)
        return false;
    const size_t body = RequestFrameSize(msg.database, msg.sql);
    if (!Fits(body)) return false;
    const size_t start = BeginFrame(out, msg.kind, body);
    PutU32(out, msg.requestId);
    PutStr(out, msg.database);
    PutStr(out, msg.sql);
    FinishFrame(out, start);
    return true;
}

bool AppendRow(std::string& out, int32_t columns, std::string_view row) {
    const size_t body = 4 + 4 + row.size();
    if (!Fits(body)) return false;
    const size_t start = BeginFrame(out, FrameType::Row, body);
    PutU32(out, static_cast<uint32_t>(columns));
    PutStr(out, row);
    FinishFrame(out, start);
    return true;
}

bool AppendDone(std::string& out, const DoneMsg& msg) {
    const size_t start = BeginFrame(out, FrameType::Done, 12);
    PutU32(out, msg.requestId);
    PutI64(out, msg.count);
    FinishFrame(out, start);
    return true;
}

void AppendError(std::string& out, const ErrorMsg& msg) {
    std::string_view text = msg.message;
    const size_t room = static_cast<size_t>(kMaxFrameSize) - 1 - 12;
    if (text.size() > room) text = text.substr(0, room);
    const size_t start = BeginFrame(out, FrameType::Error, 12 + text.size());
    PutU32(out, msg.requestId);
    PutU32(out, static_cast<uint32_t>(msg.status));
    PutStr(out, text);
    FinishFrame(out, start);
}

bool ParseHello(const FrameView& frame, HelloMsg* out) {
    if (frame.type != FrameType::Hello) return false;
    PayloadReader r(frame.body);
    const uint32_t magic = r.U32();
    out->lowestVersion = r.U16();
    out->highestVersion = r.U16();
    return r.Finished() && magic == kMagic;
}

bool ParseHelloOk(const FrameView& frame, HelloOkMsg* out) {
    if (frame.type != FrameType::HelloOk) return false;
    PayloadReader r(frame.body);
    const uint32_t magic = r.U32();
    out->version = r.U16();
    out->maxFrame = r.U32();
    return r.Finished() && magic == kMagic;
}

bool ParseRequest(const FrameView& frame, RequestMsg* out) {
    if (frame.type != FrameType::Query && frame.type != FrameType::First &&
        frame.type != FrameType::Execute)
        return false;
    PayloadReader r(frame.body);
    out->kind = frame.type;
    out->requestId = r.U32();
    out->database = r.Str();
    out->sql = r.Str();
    return r.Finished();
}

bool ParseRow(const FrameView& frame, RowMsg* out) {
    if (frame.type != FrameType::Row) return false;
    PayloadReader r(frame.body);
    out->columns = r.I32();
    out->row = r.Str();
    return r.Finished() && out->columns >= 0;
}

bool ParseDone(const FrameView& frame, DoneMsg* out) {
    if (frame.type != FrameType::Done) return false;
    PayloadReader r(frame.body);
    out->requestId = r.U32();
    out->count = r.I64();
    return r.Finished() && out->count >= 0;
}

bool ParseError(const FrameView& frame, ErrorMsg* out) {
    if (frame.type != FrameType::Error) return false;
    PayloadReader r(frame.body);
    out->requestId = r.U32();
    out->status = r.I32();
    out->message = r.Str();
    return r.Finished();
}

}  // namespace rdb::net
