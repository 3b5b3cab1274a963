// libFuzzer target for the frame decoder and the frame parsers. The first input byte sets
// the chunk size the rest is fed in, so that frames split at every position get tried.
// Every frame that parses must encode back to the very same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rdb/net/FrameDecoder.h"
#include "rdb/net/Protocol.h"

using namespace rdb::net;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// Re-encodes a parsed frame and compares it with the bytes it came from.
void RoundTrip(const FrameView& f) {
    std::string original(kLengthSize, '\0');
    const auto len = static_cast<uint32_t>(f.body.size() + 1);
    original[0] = static_cast<char>(len >> 24);
    original[1] = static_cast<char>(len >> 16);
    original[2] = static_cast<char>(len >> 8);
    original[3] = static_cast<char>(len);
    original.push_back(static_cast<char>(f.type));
    original.append(f.body);

    std::string again;
    HelloMsg hello;
    HelloOkMsg ok;
    RequestMsg req;
    RowMsg row;
    DoneMsg done;
    ErrorMsg error;
    if (ParseHello(f, &hello)) {
        Check(AppendHello(again, hello));
    } else if (ParseHelloOk(f, &ok)) {
        Check(AppendHelloOk(again, ok));
    } else if (ParseRequest(f, &req)) {
        Check(AppendRequest(again, req));
    } else if (ParseRow(f, &row)) {
        Check(AppendRow(again, row.columns, row.row));
    } else if (ParseDone(f, &done)) {
        Check(AppendDone(again, done));
    } else if (ParseError(f, &error)) {
        AppendError(again, error);
    } else {
        return;
    }
    Check(again == original);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t chunk = static_cast<size_t>(data[0] % 64) + 1;
    ++data;
    --size;
    FrameDecoder decoder;
    size_t fed = 0;
    while (fed < size) {
        const size_t n = chunk < size - fed ? chunk : size - fed;
        decoder.Feed(data + fed, n);
        fed += n;
        FrameView f;
        FrameDecoder::Status st;
        while ((st = decoder.Next(&f)) == FrameDecoder::Status::Frame) {
            Check(f.body.size() + 1 <= static_cast<size_t>(kMaxFrameSize));
            RoundTrip(f);
        }
        if (st == FrameDecoder::Status::Error) {
            Check(decoder.Failed() && !decoder.ErrorText().empty());
            return 0;
        }
        // Held bytes never exceed one frame in progress plus a chunk.
        Check(decoder.Pending() < kLengthSize + static_cast<size_t>(kMaxFrameSize) + chunk);
    }
    return 0;
}
