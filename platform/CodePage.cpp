#include "platform/CodePage.h"

namespace platform {

namespace {

// Length in bytes of the UTF-8 sequence starting with lead byte c; a stray continuation
// byte or an invalid lead counts as one character of its own.
size_t SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if ((c & 0xE0) == 0xC0) return 2;
    if ((c & 0xF0) == 0xE0) return 3;
    if ((c & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

size_t Cp949ByteLength(std::string_view utf8) {
    size_t bytes = 0;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t len = SequenceLength(c);
        if (i + len > utf8.size()) len = utf8.size() - i;
        bytes += (c < 0x80) ? 1 : 2;
        i += len;
    }
    return bytes;
}

std::string Cp949Truncate(std::string_view utf8, size_t maxBytes) {
    size_t bytes = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t len = SequenceLength(c);
        if (i + len > utf8.size()) len = utf8.size() - i;
        size_t width = (c < 0x80) ? 1 : 2;
        if (bytes + width > maxBytes) break;
        bytes += width;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace platform
