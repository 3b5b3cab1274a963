// rdbd's log: one line per event on standard error, with a timestamp, written whole even
// when several connection threads log at once.
#pragma once

#include <string>

namespace rdb::gateway {

void LogLine(const std::string& text);

}  // namespace rdb::gateway
