#include "app/WriteLog.h"

#include <cstdarg>
#include <string>

#include "platform/DebugOutput.h"
#include "platform/Format.h"

void WriteLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Whole texts: long statements are logged in full, never cut at a fixed buffer.
    std::string line = "[Orvanta]" + platform::StrFormatV(format, args);
    va_end(args);
    platform::OutputDebugString(line);
}
