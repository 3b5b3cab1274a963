// Server-side procedures, called by name with the literal arguments of a call statement.
// Arguments are always bound as parameters, never placed into SQL text.
#pragma once

#include <cstdint>
#include <string_view>

#include "rdb/dialect/DialectAdapter.h"
#include "rdb/engine/Engine.h"

struct sqlite3;

namespace rdb {

using Procedure = bool (*)(sqlite3* db, const ProcedureCall& call, const RowSink& sink,
                           int64_t* rowCount, Error* err);

// The procedure of that name (ASCII letters compared without case, as object names are on
// the server), or null.
Procedure FindProcedure(std::string_view name);

// Callback-rate report (user ID, first day, last day): for each service of the user and each
// hour of DIAL_TIME that has calls in the period, one row of five columns: service
// "SVC_ID.SVC_NM", slot "09시", incoming calls, callback requests, rate "12.5%".
// Rows are ordered by service ID, then slot.
bool CallbackRateReport(sqlite3* db, const ProcedureCall& call, const RowSink& sink,
                        int64_t* rowCount, Error* err);

// Rate text: callbacks as a percentage of calls with one decimal, rounded half up, and '%'.
std::string FormatRate(int64_t callbacks, int64_t calls);

}  // namespace rdb
