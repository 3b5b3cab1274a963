#include "rdb/net/FrameDecoder.h"

#include <cstring>

namespace rdb::net {

FrameDecoder::FrameDecoder(int32_t maxFrame) : maxFrame_(maxFrame) {}

char* FrameDecoder::WriteArea(size_t minBytes) {
    // After one large frame, give the memory back once the buffer has drained.
    constexpr size_t kKeep = 256 * 1024;
    if (begin_ == end_ && buf_.size() > kKeep && minBytes <= kKeep) {
        begin_ = end_ = 0;
        buf_.resize(kKeep);
        buf_.shrink_to_fit();
    }
    if (buf_.size() - end_ >= minBytes) return buf_.data() + end_;
    // Move the unread bytes to the front before growing.
    if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buf_.size() - end_ < minBytes) {
        size_t want = buf_.size() < 4096 ? 4096 : buf_.size();
        while (want - end_ < minBytes) want *= 2;
        buf_.resize(want);
    }
    return buf_.data() + end_;
}

void FrameDecoder::Commit(size_t n) {
    if (n > buf_.size() - end_) n = buf_.size() - end_;
    end_ += n;
}

void FrameDecoder::Feed(const void* data, size_t n) {
    if (n == 0) return;
    std::memcpy(WriteArea(n), data, n);
    Commit(n);
}

FrameDecoder::Status FrameDecoder::Fail(std::string text) {
    failed_ = true;
    error_ = std::move(text);
    return Status::Error;
}

FrameDecoder::Status FrameDecoder::Next(FrameView* out) {
    if (failed_) return Status::Error;
    const size_t avail = end_ - begin_;
    if (avail < kLengthSize) {
        if (avail == 0 && begin_ == end_) begin_ = end_ = 0;
        return Status::NeedMore;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(buf_.data() + begin_);
    const uint32_t raw =
        (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    const auto len = static_cast<int32_t>(raw);
    if (len < 0) return Fail("negative frame length " + std::to_string(len));
    if (len == 0) return Fail("empty frame");
    if (len > maxFrame_)
        return Fail("frame length " + std::to_string(len) + " exceeds the limit of " +
                    std::to_string(maxFrame_));
    // The type byte is checked as soon as it is here, not when the whole frame has come.
    if (avail >= kLengthSize + 1 && !IsKnownFrameType(p[kLengthSize]))
        return Fail("unknown frame type " + std::to_string(p[kLengthSize]));
    if (avail - kLengthSize < static_cast<size_t>(len)) return Status::NeedMore;
    out->type = static_cast<FrameType>(p[kLengthSize]);
    out->body =
        std::string_view(buf_.data() + begin_ + kLengthSize + 1, static_cast<size_t>(len) - 1);
    begin_ += kLengthSize + static_cast<size_t>(len);
    return Status::Frame;
}

void FrameDecoder::Reset() {
    begin_ = end_ = 0;
    failed_ = false;
    error_.clear();
}

}  // namespace rdb::net
