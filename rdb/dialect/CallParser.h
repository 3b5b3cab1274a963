// Procedure calls: {call NAME(args)}, { call NAME (args) }, exec NAME args. Their literal
// arguments are returned as values, never spliced into SQL.
#pragma once

#include <string>
#include <vector>

#include "rdb/dialect/DialectAdapter.h"
#include "rdb/dialect/SqlLexer.h"

namespace rdb::dialect {

// Whether a statement starting with this token is a procedure call.
bool StartsCall(const SqlToken& first);

// Reads the call in t (which ends with End) into out->call and sets out->kind. *nameParts
// receives the parts of the procedure's name, the dbo. prefix left out. Returns false with
// *error set for a malformed call or an argument that is not a literal.
bool ParseCall(const std::vector<SqlToken>& t, Translation* out, std::vector<std::string>* nameParts,
               std::string* error);

}  // namespace rdb::dialect
