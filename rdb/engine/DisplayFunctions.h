// The server-side display functions the list statements call: F_FMT_TEL, F_FMT_DATE and
// F_FMT_TIME. Each takes the stored value and returns its display text; a value it does
// not recognise comes back unchanged and NULL stays NULL.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace rdb {

// Korean number groups: 02-123-4567, 02-1234-5678, 031-123-4567, 010-1234-5678,
// 0505-123-4567, 1588-1234. Stored numbers are digits only; trailing blanks are tolerated.
std::string FormatTel(std::string_view value);

// 'YYYYMMDD' -> 'YYYY-MM-DD'.
std::string FormatDate(std::string_view value);

// 'hhmmss' -> 'hh:mm:ss', 'hhmm' -> 'hh:mm'.
std::string FormatTime(std::string_view value);

// Registers the three functions on a connection. Returns the SQLite result code.
int RegisterDisplayFunctions(sqlite3* db);

}  // namespace rdb
