// The collation of every text column: ASCII letters compare without regard to case and
// trailing blanks are ignored, so 'ABC' = 'abc ' holds in comparisons, grouping and indexes.
// Other bytes compare as unsigned values.
#pragma once

#include <string_view>

struct sqlite3;

namespace rdb {

inline constexpr const char* kTextCollation = "CI_PAD";

// The text without its trailing blanks, which the collation does not see.
std::string_view TrimTrailingBlanks(std::string_view s);

// Three-way comparison under the collation: negative, 0 or positive.
int CompareText(std::string_view a, std::string_view b);

// Registers the collation on a connection. Returns the SQLite result code.
int RegisterTextCollation(sqlite3* db);

}  // namespace rdb
