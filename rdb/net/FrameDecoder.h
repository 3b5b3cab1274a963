// Splits a byte stream into frames without trusting any length it is given: a length that
// is zero, negative, above the limit, or a type byte that is unknown puts the decoder into
// its error state for good (the connection must be closed). The buffer grows only with the
// bytes actually received, never from a claimed length.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "rdb/net/Protocol.h"

namespace rdb::net {

class FrameDecoder {
public:
    enum class Status { Frame, NeedMore, Error };

    explicit FrameDecoder(int32_t maxFrame = kMaxFrameSize);

    // Room for at least minBytes at the end of the buffer, for recv() to fill; follow with
    // Commit(bytes actually written). Invalidates earlier frame views.
    char* WriteArea(size_t minBytes);
    size_t WriteAreaSize() const { return buf_.size() - end_; }
    void Commit(size_t n);

    // Copies bytes in (WriteArea + Commit in one step).
    void Feed(const void* data, size_t n);

    // The next whole frame, NeedMore when it has not all arrived, or Error.
    Status Next(FrameView* out);

    bool Failed() const { return failed_; }
    const std::string& ErrorText() const { return error_; }

    // Bytes received and not yet returned as frames (part of a frame when non-zero).
    size_t Pending() const { return end_ - begin_; }
    // Bytes of buffer held (for checking that claimed lengths allocate nothing).
    size_t Capacity() const { return buf_.size(); }

    // Drops everything, error state included.
    void Reset();

private:
    Status Fail(std::string text);

    int32_t maxFrame_;
    std::vector<char> buf_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool failed_ = false;
    std::string error_;
};

}  // namespace rdb::net
