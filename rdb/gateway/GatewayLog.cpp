#include "rdb/gateway/GatewayLog.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace rdb::gateway {

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
    // Keep it one line whatever the text holds (statements and messages may contain breaks).
    for (char c : text) line.push_back(c == '\n' || c == '\r' ? ' ' : c);
    line.push_back('\n');
    std::lock_guard<std::mutex> lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace rdb::gateway
