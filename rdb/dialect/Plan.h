// The plan of one level of a statement's tree: what to do with each node of a range when it
// is written out (drop it, join strings, move an alias, roll up, ...), read once for both
// targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {

enum : uint8_t {
    kConcat = 1,       // this '+' joins strings: write ||
    kDrop = 2,         // leave the node out, with the blanks before it
    kDropKeepGap = 4,  // leave the node out, its blanks go to the next node
    kAliasItem = 8,    // select item NAME = expr; end = item end
    kRollup = 16,      // SELECT ... WITH ROLLUP; end = end of that select
    kBareAlias = 32,   // the alias of a select item written "expr NAME"
    kOrderBy = 64,     // ORDER of ORDER BY; end = end of its list
    kLike = 128,       // LIKE; end = end of its pattern
};

struct Mark {
    uint8_t flags = 0;
    uint32_t open = 0;   // '(' to write before the node
    uint32_t close = 0;  // ')' to write after the node
    size_t end = 0;
};

// Fills m with one mark for each node of [b, e) of s. concatBindsTighter: whether the
// target's || binds tighter than + and - (as in SQLite) or looser (as in PostgreSQL); the
// parentheses that keep SQL Server's left-to-right reading differ accordingly.
void MakePlan(const Seq& s, size_t b, size_t e, bool concatBindsTighter, std::vector<Mark>& m);

// Whether the node ends a select list (FROM, WHERE, ..., ';').
bool EndsSelectList(const Node& n);

}  // namespace rdb::dialect
