// What every window's list query does around its statement: the app-starting cursor, the
// window's row counter reset and the list's rows deleted, the statement logged, the
// window's row callback registered, the query, the arrow cursor, then the no-data box or
// the database error. The client library's row callback carries no context of the
// caller's, so each window keeps a process-wide pointer to itself and a process-wide row
// counter, and its callback hands both to InsertListRow.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/RdbClient.h"

class CListCtrl;

struct ListQuery {
    CListCtrl* list = nullptr;         // emptied first; the rows are shown once they are all in
    int* rowCounter = nullptr;         // the window's process-wide row counter, reset to 0
    RDBEventCallBackFN rowCallback = nullptr;
    const void* owner = nullptr;       // owner of the no-data box
    const char* logFormat = nullptr;   // the window's log line, " sql(%s)" at its end
    const char* noDataText = nullptr;  // shown, caption "확인", when the query gives no row
    unsigned noDataIcon = 0;
    std::function<void()> afterClear{};  // runs once the rows are deleted (a list rebuilding its columns)
    std::function<void()> afterQuery{};  // runs once the arrow cursor is back, before any box
};

// Runs sql as described above. The list keeps whatever rows arrived. Returns the client
// call's result (above 0: success).
int32_t RunListQuery(const ListQuery& query, const std::string& sql);

// A row callback's work: inserts item rowCounter numbered rowCounter + 1 with fields 0 to
// fieldCount - 1 of row in columns 1 onwards (-1: as many as the row has), then counts it.
// Nothing happens without a list (its window is gone) or a row. Returns 1, as a row
// callback does.
int32_t InsertListRow(CListCtrl* list, int& rowCounter, const char* row, int fieldCount = -1);
