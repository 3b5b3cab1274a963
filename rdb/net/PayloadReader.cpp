#include "rdb/net/PayloadReader.h"

namespace rdb::net {

bool PayloadReader::Take(size_t n, const unsigned char** p) {
    if (!ok_ || rest_.size() < n) {
        ok_ = false;
        return false;
    }
    *p = reinterpret_cast<const unsigned char*>(rest_.data());
    rest_.remove_prefix(n);
    return true;
}

uint8_t PayloadReader::U8() {
    const unsigned char* p = nullptr;
    return Take(1, &p) ? p[0] : 0;
}

uint16_t PayloadReader::U16() {
    const unsigned char* p = nullptr;
    if (!Take(2, &p)) return 0;
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t PayloadReader::U32() {
    const unsigned char* p = nullptr;
    if (!Take(4, &p)) return 0;
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

int32_t PayloadReader::I32() {
    return static_cast<int32_t>(U32());
}

int64_t PayloadReader::I64() {
    const uint64_t hi = U32();
    const uint64_t lo = U32();
    return static_cast<int64_t>((hi << 32) | lo);
}

std::string_view PayloadReader::Str() {
    const uint32_t n = U32();
    if (!ok_ || rest_.size() < n) {
        ok_ = false;
        return {};
    }
    std::string_view s = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return s;
}

}  // namespace rdb::net
