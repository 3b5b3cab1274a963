#include "rdb/engine/Procedures.h"

#include <sqlite3.h>

#include <memory>
#include <string>

namespace rdb {
namespace {

constexpr const char* kCallbackRateName = "P_INB_콜백률조회";

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

void SetDbError(sqlite3* db, Error* err) {
    if (err == nullptr) return;
    err->code = sqlite3_extended_errcode(db);
    err->message = sqlite3_errmsg(db);
}

std::string ColumnText(sqlite3_stmt* stmt, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    if (p == nullptr) return std::string();
    return std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt, col)));
}

bool ValidHour(const std::string& slot) {
    return slot.size() == 2 && slot[0] >= '0' && slot[0] <= '2' && slot[1] >= '0' &&
           slot[1] <= '9' && (slot[0] != '2' || slot[1] <= '3');
}

}  // namespace

Procedure FindProcedure(std::string_view name) {
    if (SameName(name, kCallbackRateName)) return &CallbackRateReport;
    return nullptr;
}

std::string FormatRate(int64_t callbacks, int64_t calls) {
    if (calls <= 0 || callbacks <= 0) return "0.0%";
    // Tenths of a percent, rounded half up, in integers so that 1 of 8 is exactly 12.5.
    const int64_t tenths = (callbacks * 2000 + calls) / (2 * calls);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

bool CallbackRateReport(sqlite3* db, const ProcedureCall& call, const RowSink& sink,
                        int64_t* rowCount, Error* err) {
    if (rowCount != nullptr) *rowCount = 0;
    if (call.args.size() != 3) {
        if (err != nullptr) {
            err->code = kErrProcedureArgs;
            err->message = std::string("procedure ") + kCallbackRateName +
                           " expects 3 arguments (user ID, first day, last day), got " +
                           std::to_string(call.args.size());
        }
        return false;
    }
    static const char* const kSql =
        "SELECT s.SVC_ID, s.SVC_NM, substr(r.DIAL_TIME, 1, 2) AS SLOT, count(*) AS CALLS,\n"
        "       sum(CASE WHEN r.IS_CALLBACK = '1' THEN 1 ELSE 0 END) AS CALLBACKS\n"
        "  FROM SERVICE_INFO s JOIN RST_INB r ON r.SVC_ID = s.SVC_ID\n"
        " WHERE s.USER_ID = ?1 AND r.DIAL_DATE BETWEEN ?2 AND ?3\n"
        " GROUP BY s.SVC_ID, SLOT\n"
        " ORDER BY s.SVC_ID, SLOT";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, kSql, -1, &stmt, nullptr) != SQLITE_OK) {
        SetDbError(db, err);
        return false;
    }
    // Finalized on every way out, a failed allocation in the sink included, so no read
    // transaction outlives the call.
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owner(stmt, &sqlite3_finalize);
    for (int i = 0; i < 3; ++i) {
        const bool isNull = i < static_cast<int>(call.argIsNull.size()) && call.argIsNull[i];
        if (isNull) {
            sqlite3_bind_null(stmt, i + 1);
        } else {
            sqlite3_bind_text64(stmt, i + 1, call.args[i].data(), call.args[i].size(),
                                SQLITE_TRANSIENT, SQLITE_UTF8);
        }
    }
    int64_t rows = 0;
    bool ok = true;
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) {
            SetDbError(db, err);
            ok = false;
            break;
        }
        const std::string slot = ColumnText(stmt, 2);
        // Times without a valid hour belong to no slot.
        if (!ValidHour(slot)) continue;
        const int64_t calls = sqlite3_column_int64(stmt, 3);
        const int64_t callbacks = sqlite3_column_int64(stmt, 4);
        std::string row;
        AppendRowValue(row, ColumnText(stmt, 0) + "." + ColumnText(stmt, 1));
        AppendRowValue(row, slot + "시");
        AppendRowValue(row, std::to_string(calls));
        AppendRowValue(row, std::to_string(callbacks));
        AppendRowValue(row, FormatRate(callbacks, calls));
        ++rows;
        if (rowCount != nullptr) *rowCount = rows;
        if (sink && !sink(5, row)) break;
    }
    return ok;
}

}  // namespace rdb
