// Bounds-checked reading of a frame body. Every read checks what is left first; after the
// first failed read the reader stays failed, so a parser can read all fields and test once.
#pragma once

#include <cstdint>
#include <string_view>

namespace rdb::net {

class PayloadReader {
public:
    explicit PayloadReader(std::string_view body) : rest_(body) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int32_t I32();
    int64_t I64();
    // u32 byte count, then that many bytes; fails when the count exceeds what is left.
    std::string_view Str();

    bool Ok() const { return ok_; }
    // True when every read succeeded and the body was consumed exactly.
    bool Finished() const { return ok_ && rest_.empty(); }

private:
    bool Take(size_t n, const unsigned char** p);

    std::string_view rest_;
    bool ok_ = true;
};

}  // namespace rdb::net
