#include "app/ListQuery.h"

#include "app/WriteLog.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"
#include "res/Strings.h"

int32_t RunListQuery(const ListQuery& query, const std::string& sql) {
    platform::ShowAppStartingCursor();
    *query.rowCounter = 0;
    query.list->DeleteAllItems();
    if (query.afterClear) query.afterClear();
    WriteLog(query.logFormat, sql.c_str());
    platform::ShowAppStartingCursor();
    int32_t rows = 0;
    RDB_ERROR error{};
    // The rows are shown together once they are all in: a large list fills at the speed
    // of the query, not of the screen.
    query.list->SetRedraw(false);
    const int32_t result = g_pEnv->QueryRecords(0, sql, query.rowCallback, rows, error);
    query.list->SetRedraw(true);
    platform::ShowArrowCursor();
    if (query.afterQuery) query.afterQuery();
    if (result > 0) {
        if (rows == 0) {
            platform::ShowMessageBox(query.owner, query.noDataText, res::kTitleConfirm,
                                     platform::MB_OK | query.noDataIcon);
            platform::ShowArrowCursor();
        }
    } else {
        g_pEnv->ShowDBError(error);
    }
    return result;
}

int32_t InsertListRow(CListCtrl* list, int& rowCounter, const char* row, int fieldCount) {
    if (list == nullptr || row == nullptr) return 1;
    list->InsertRecordRow(rowCounter, row, fieldCount);
    ++rowCounter;
    return 1;
}
