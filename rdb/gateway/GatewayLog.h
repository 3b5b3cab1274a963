// rdbd's log: one line per event on standard error, with a timestamp, written whole even
// when several connection threads log at once.
#pragma once

#include <string>
#include <string_view>

namespace rdb::gateway {

void LogLine(const std::string& text);

// Appends text for a log line: breaks become blanks, control bytes and the backslash are
// written as \xNN, so what a client sends cannot drive the operator's terminal.
void AppendEscaped(std::string& out, std::string_view text);

}  // namespace rdb::gateway
