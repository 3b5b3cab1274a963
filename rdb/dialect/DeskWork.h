// Which display-function items of a PostgreSQL statement are formatted on the desk, and
// whether its ORDER BY moves there too.
#pragma once

#include <deque>
#include <string_view>

#include "rdb/dialect/DialectAdapter.h"
#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {

// For a plain top-level SELECT: fills *out with the statement the server is to run instead
// (the deferred items as their columns, the ORDER BY left out when it moved), whose new
// tokens live in *tokens, and *work with what the desk does with the result. Returns false,
// touching nothing, when nothing moves.
bool PlanDeskWork(const Seq& statement, Seq* out, std::deque<SqlToken>* tokens, DeskWork* work);

// The stored columns that hold digits only and compare bytewise ("C") on the server, so
// that the desk's comparison of their formatted values is the server's.
bool IsDeskDigitColumn(std::string_view name);

}  // namespace rdb::dialect
