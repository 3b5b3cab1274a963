#include "rdb/gateway/GatewayLog.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace rdb::gateway {

void AppendEscaped(std::string& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    auto escape = [&out](unsigned char c) {
        out.append("\\x");
        out.push_back(kHex[c >> 4]);
        out.push_back(kHex[c & 0x0F]);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || c == '\r') {
            // Keep it one line whatever the text holds (statements may contain breaks).
            out.push_back(' ');
        } else if (c < 0x20 || c == 0x7F || c == '\\') {
            // Statements come from clients: control bytes (ESC, BEL, NUL) must not reach
            // the operator's terminal. The backslash is escaped too, so a client cannot
            // write something that looks like an escape.
            escape(c);
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F, the C1 controls (CSI among them) in UTF-8.
            escape(c);
            escape(static_cast<unsigned char>(text[++i]));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
}

void LogLine(const std::string& text) {
    static std::mutex mutex;
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    localtime_r(&tv.tv_sec, &local);
    char stamp[64];
    const size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(stamp + n, sizeof stamp - n, ".%03d", static_cast<int>(tv.tv_usec / 1000));
    std::string line;
    line.reserve(text.size() + 40);
    line.append(stamp).append(" rdbd: ");
    AppendEscaped(line, text);
    line.push_back('\n');
    std::lock_guard<std::mutex> lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace rdb::gateway
