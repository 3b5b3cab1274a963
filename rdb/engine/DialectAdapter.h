// Rewrites the SQL Server statements the desk sends into SQLite, by tokens and grammar.
//
// Constructs handled:
//   NAME = expr select items            -> expr AS NAME
//   '+' joining strings                 -> ||   (a '+' chain in which any operand is a string
//                                                literal, a convert(varchar, ...) or a '+'
//                                                string chain itself)
//   convert(varchar, x) / convert(varchar(n), x) -> CAST(x AS TEXT)
//   isnull(a, b)                        -> ifnull(a, b)
//   substring(x, a, b)                  -> substr(x, a, b)
//   table hints: with(nolock), (index(...),nolock), with (index(...), nolock) -> removed
//   dbo. prefix on names                -> removed
//   [bracketed names]                   -> "quoted names"
//   group by a, b with rollup, grouping(x) -> a union of the grouping levels, in the order
//                                           SQL Server returns them (details below)
//   {call NAME(args)} / { call NAME (args) } / exec NAME args -> a procedure call whose
//                                           literal arguments are returned as values, never
//                                           spliced into SQL
//
// Rollup: SELECT items FROM ... GROUP BY c1..cn WITH ROLLUP (or GROUP BY ROLLUP(c1..cn)) becomes
//   SELECT orv_c0 AS "item0", ... FROM (level 0 UNION ALL ... UNION ALL level n)
//   ORDER BY [the statement's own ORDER BY,] orv_r0, orv_k0, ..., orv_r{n-1}, orv_k{n-1}
// where level L groups by the first n - L columns; in its select list (and HAVING) the other
// columns read NULL and grouping(c) is 1 for them, 0 otherwise; WHERE and aggregate arguments
// keep the real values. orv_r/orv_k (rolled-up flag, group value) give SQL Server's order:
// detail rows by c1, c2, ... with NULLs first, each subtotal after its rows, the total last.
// The levels alias their items orv_c*, so GROUP BY names always mean table columns.
//
// Also: N'text' -> 'text', !< / !> -> >= / <=, isnull/coalesce and text functions count as
// text operands of '+', convert to int/float/decimal types -> CAST AS INTEGER/REAL/NUMERIC.
// Comments become one blank. A rollup over no rows gives no rows (no total row either).
// Refused besides malformed text: NUL bytes (SQLite would cut the statement there), nesting
// deeper than 128, convert with a style argument or to a date type, rollup over expressions,
// WITH CUBE, a rollup inside UNION or inside another rollup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rdb {

struct ProcedureCall {
    std::string name;                 // procedure name without dbo. prefix, as written
    std::vector<std::string> args;    // literal values: strings unquoted ('' -> '), numbers as text
    std::vector<bool> argIsNull;      // true where the argument was NULL
};

struct Translation {
    enum class Kind { Statement, Call };
    Kind kind = Kind::Statement;
    std::string sql;          // SQLite text when kind == Statement
    ProcedureCall call;       // when kind == Call
};

// Returns false and sets *error (a message naming the problem) when the text cannot be
// translated (unbalanced parentheses, unterminated string, malformed call, a rollup form
// it does not know). Never crashes on any input.
bool TranslateToSqlite(std::string_view tsql, Translation* out, std::string* error);

// The same for PostgreSQL.
bool TranslateToPostgres(std::string_view tsql, Translation* out, std::string* error);

}  // namespace rdb
