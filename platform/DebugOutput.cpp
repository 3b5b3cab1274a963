#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {

namespace {

std::mutex& SinkMutex() {
    static std::mutex m;
    return m;
}

DebugSink& CurrentSink() {
    static DebugSink sink;
    return sink;
}

// The file ORVANTA_LOG names, or null for standard error (unset or empty).
const char* LogFile() {
    const char* path = std::getenv("ORVANTA_LOG");
    return path != nullptr && *path != '\0' ? path : nullptr;
}

void DefaultSink(std::string_view message) {
    const char* path = LogFile();
    FILE* f = nullptr;
    if (path != nullptr) f = std::fopen(path, "ab");
    FILE* out = f != nullptr ? f : stderr;
    std::fwrite(message.data(), 1, message.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
    if (f != nullptr) std::fclose(f);
}

}  // namespace

void OutputDebugString(std::string_view message) {
    DebugSink sink;
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        sink = CurrentSink();
    }
    if (sink) {
        sink(message);
    } else {
        DefaultSink(message);
    }
}

DebugSink SetDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    DebugSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

bool DebugOutputIsStandardError() {
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        if (CurrentSink()) return false;
    }
    return LogFile() == nullptr;
}

}  // namespace platform
