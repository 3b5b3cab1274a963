// Captures the diagnostics lines written while it lives.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/DebugOutput.h"

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> Lines() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    platform::DebugSink previous_;
};
