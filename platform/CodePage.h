// Texts are UTF-8 inside the program; field limits count bytes the way the Korean code
// page does: an ASCII character takes one byte, any other character two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

size_t Cp949ByteLength(std::string_view utf8);

// The longest prefix of utf8 (whole characters only) whose code-page length is at most
// maxBytes.
std::string Cp949Truncate(std::string_view utf8, size_t maxBytes);

}  // namespace platform
