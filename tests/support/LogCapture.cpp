#include "tests/support/LogCapture.h"

LogCapture::LogCapture() {
    previous_ = platform::SetDebugSink([this](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
    });
}

LogCapture::~LogCapture() { platform::SetDebugSink(std::move(previous_)); }

std::vector<std::string> LogCapture::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}
