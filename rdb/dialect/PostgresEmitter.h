// A statement's tree, or a procedure call, written out for PostgreSQL.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {

// Appends the statement (the children of the tree's root; input is the text it was read
// from) to out. Returns false with *error set when a construct cannot be written for
// PostgreSQL.
bool WriteForPostgres(const Seq& statement, std::string_view input, std::string& out, std::string* error);

// The statement that runs a procedure on PostgreSQL, where it is a function: its arguments
// are the parameters $1..$n, bound by the caller.
std::string PostgresCallText(const std::vector<std::string>& nameParts, size_t argCount);

}  // namespace rdb::dialect
