#include "callcheck/ListQuery.h"

#include "app/WriteLog.h"
#include "callcheck/CallCheckView.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/RecordTokenizer.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"

namespace callcheck {

void RunListQuery(CCallCheckView& view, const std::string& sql, const char* logFormat, const char* noDataText,
                  unsigned noDataIcon, RDBEventCallBackFN callback) {
    WriteLog(logFormat, sql.c_str());
    RDBSetEventCallBackFN(callback);
    platform::ShowAppStartingCursor();
    int32_t rows = 0;
    RDB_ERROR error{};
    // The rows are shown together once they are all in: a large list fills at the speed
    // of the query, not of the screen.
    view.m_list->SetRedraw(false);
    int32_t result = RDBQueryRecord(g_pEnv->m_hRdb, g_pEnv->m_strDbName.c_str(), 0, sql.c_str(), &rows, &error);
    view.m_list->SetRedraw(true);
    platform::ShowArrowCursor();
    if (result > 0) {
        if (rows == 0) {
            platform::ShowMessageBox(platform::MessageOwner(&view), noDataText, res::kTitleConfirm,
                                     platform::MB_OK | noDataIcon);
        }
        platform::ShowArrowCursor();
    } else {
        g_pEnv->ShowDBError(error);
    }
}

void InsertListRow(CListCtrl& list, int index, const char* row, int fieldCount) {
    list.InsertRecordRow(index, row, fieldCount);
}

}  // namespace callcheck
