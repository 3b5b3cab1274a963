// A statement's tree written out for SQLite.
#pragma once

#include <string>
#include <string_view>

#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {

// Appends the statement (the children of the tree's root; input is the text it was read
// from) to out. Returns false with *error set when a construct cannot be written for SQLite.
bool WriteForSqlite(const Seq& statement, std::string_view input, std::string& out, std::string* error);

}  // namespace rdb::dialect
