// Rewrites the SQL Server statements the desk sends into SQLite or PostgreSQL, by tokens and
// grammar: one reading of the statement, written out for either engine.
//
// Constructs handled (SQLite / PostgreSQL where they differ):
//   NAME = expr select items            -> expr AS NAME
//   '+' joining strings                 -> ||   (a '+' chain in which any operand is a string
//                                                literal, a convert(varchar, ...) or a '+'
//                                                string chain itself)
//   convert(varchar, x) / convert(varchar(n), x) -> CAST(x AS TEXT)
//   isnull(a, b)                        -> ifnull(a, b) / coalesce(a, b)
//   substring(x, a, b)                  -> substr(x, a, b)
//   table hints: with(nolock), (index(...),nolock), with (index(...), nolock) -> removed
//   dbo. prefix on names                -> removed
//   [bracketed names]                   -> "quoted names" / "quoted names" in ASCII lower case
//   group by a, b with rollup, grouping(x) -> a union of the grouping levels / GROUP BY ROLLUP,
//                                           in the order SQL Server returns them (below)
//   {call NAME(args)} / { call NAME (args) } / exec NAME args -> a procedure call whose
//                                           literal arguments are returned as values, never
//                                           spliced into SQL
//
// Rollup on SQLite: SELECT items FROM ... GROUP BY c1..cn WITH ROLLUP (or GROUP BY
// ROLLUP(c1..cn)) becomes
//   SELECT orv_c0 AS "item0", ... FROM (level 0 UNION ALL ... UNION ALL level n)
//   ORDER BY [the statement's own ORDER BY,] orv_r0, orv_k0, ..., orv_r{n-1}, orv_k{n-1}
// where level L groups by the first n - L columns; in its select list (and HAVING) the other
// columns read NULL and grouping(c) is 1 for them, 0 otherwise; WHERE and aggregate arguments
// keep the real values. orv_r/orv_k (rolled-up flag, group value) give SQL Server's order:
// detail rows by c1, c2, ... with NULLs first, each subtotal after its rows, the total last.
// The levels alias their items orv_c*, so GROUP BY names always mean table columns.
// Rollup on PostgreSQL: GROUP BY ROLLUP(c1..cn) HAVING [(own HAVING) AND] count(*) > 0
//   ORDER BY [own ORDER BY,] GROUPING(c1), coalesce(c1) NULLS FIRST, ...: the same order.
//
// Also: N'text' -> 'text', !< / !> -> >= / <=, isnull/coalesce and text functions count as
// text operands of '+', convert to int/float/decimal types -> CAST AS the engine's type.
// Comments become one blank. A rollup over no rows gives no rows (no total row either).
// PostgreSQL only: in a plain SELECT (no DISTINCT, TOP, GROUP BY, HAVING, UNION, LIMIT,
// subquery or * in its list), fmt(col) alias with fmt a display function and col a digit
// column of RST_INB is sent as col alias and formatted on the desk (Translation::desk); an
// ORDER BY whose keys are all such aliases is left out and the rows are sorted on the desk
// with the server's comparison ("C", trailing blanks ignored, NULLs first); a kept ORDER BY
// keeps the items it names on the server.
// PostgreSQL only: bare aliases get AS (a string alias becomes a name); ORDER BY items get
// NULLS FIRST (NULLS LAST after DESC), as NULL sorts first in SQL Server; LIKE becomes ILIKE
// under the "C" collation with no escape character; a literal holding a backslash becomes
// E'..' with the backslash doubled; ^ -> #; 0x1F -> 31; names holding @ or # are quoted;
// a blank goes between tokens that PostgreSQL would read as one.
// Refused besides malformed text: NUL bytes (SQLite would cut the statement there), nesting
// deeper than 128, convert with a style argument or to a date type, rollup over expressions,
// WITH CUBE, a rollup inside UNION or inside another rollup; on PostgreSQL also '$' outside
// names and hexadecimal literals that are not a 64-bit integer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rdb {

struct ProcedureCall {
    std::string name;               // procedure name without dbo. prefix, as written
    std::vector<std::string> args;  // literal values: strings unquoted ('' -> '), numbers as text
    std::vector<bool> argIsNull;    // true where the argument was NULL
};

// What a PostgreSQL result still needs on the desk. A select item that is a display
// function of a stored digit column is sent as the column and formatted on arrival by the
// embedded engine's own function; when every ORDER BY key names such an item, the rows are
// sorted on arrival too, as the server would have sorted them.
enum class DisplayFunction : uint8_t { Tel, Date, Time };
struct DeskFormat {
    size_t column = 0;  // index in the row
    DisplayFunction function = DisplayFunction::Tel;
};
struct DeskSortKey {
    size_t column = 0;  // a formatted column
    bool descending = false;
};
struct DeskWork {
    std::vector<DeskFormat> formats;
    std::vector<DeskSortKey> order;  // empty: the rows come in the server's order
    bool Empty() const { return formats.empty() && order.empty(); }
};

struct Translation {
    enum class Kind { Statement, Call };
    Kind kind = Kind::Statement;
    // The statement for the engine. For a call on PostgreSQL: SELECT * FROM name($1, ...),
    // the parameters to be bound to call.args; empty for a call on SQLite.
    std::string sql;
    ProcedureCall call;  // when kind == Call
    DeskWork desk;       // PostgreSQL only
};

// Returns false and sets *error (a message naming the problem) when the text cannot be
// translated (unbalanced parentheses, unterminated string, malformed call, a rollup form
// it does not know). Never crashes on any input.
bool TranslateToSqlite(std::string_view tsql, Translation* out, std::string* error);
// The same for PostgreSQL. Names written unquoted stay unquoted (PostgreSQL folds them to
// lower case); [bracketed] and "quoted" names, and string aliases, become double-quoted names
// in ASCII lower case, so they name what the same name unquoted names.
bool TranslateToPostgres(std::string_view tsql, Translation* out, std::string* error);

}  // namespace rdb
