// printf-style formatting into a std::string of whatever length the text needs.
#pragma once

#include <cstdarg>
#include <string>

namespace platform {

std::string StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StrFormatV(const char* format, va_list args);

}  // namespace platform
