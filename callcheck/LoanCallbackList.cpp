#include "callcheck/LoanCallbackList.h"

#include "callcheck/AutoCheck.h"
#include "callcheck/CallCheckView.h"
#include "callcheck/ListQuery.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"

CLoanCallbackList* CLoanCallbackList::s_pLast = nullptr;
int CLoanCallbackList::s_nRow = 0;

CLoanCallbackList::CLoanCallbackList(CCallCheckView* pView) : m_pView(pView) { s_pLast = this; }

CLoanCallbackList::~CLoanCallbackList() {
    // A callback after this object is gone finds no list rather than a dangling one.
    if (s_pLast == this) s_pLast = nullptr;
}

void CLoanCallbackList::InsertColumns() {
    m_pView->DeleteAllColumns();
    int column = 0;
    for (const ListColumn& info : kColumns) {
        m_pView->m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    }
    m_pView->ShowRecordActions(true);
}

void CLoanCallbackList::QueryUnprocessed(const std::string& serviceId, const std::string& firstDay,
                                       const std::string& lastDay) {
    Query(sql::ListKind::Unprocessed, serviceId, firstDay, lastDay);
}

void CLoanCallbackList::QueryProcessed(const std::string& serviceId, const std::string& firstDay,
                                     const std::string& lastDay) {
    Query(sql::ListKind::Processed, serviceId, firstDay, lastDay);
}

void CLoanCallbackList::QueryAll(const std::string& serviceId, const std::string& firstDay,
                               const std::string& lastDay) {
    Query(sql::ListKind::All, serviceId, firstDay, lastDay);
}

void CLoanCallbackList::Query(sql::ListKind kind, const std::string& serviceId, const std::string& firstDay,
                            const std::string& lastDay) {
    platform::ShowAppStartingCursor();
    s_nRow = 0;
    m_pView->m_list->DeleteAllItems();
    InsertColumns();
    const std::string sql =
        sql::CallbackListSql(true, kind, serviceId, firstDay, lastDay, g_pEnv->m_strAgentName);
    // Every list of this layout logs as the check does and has the same no-data message.
    callcheck::RunListQuery(*m_pView, sql, CAutoCheck::kLogCheck, callcheck::kMsgNoCallbackData,
                            platform::MB_ICONINFORMATION, &LoanListRowCallback);
}

int32_t CLoanCallbackList::LoanListRowCallback(int32_t, int32_t, int32_t nColumns, const char* pszRow) {
    if (s_pLast == nullptr || s_pLast->m_pView == nullptr) return 1;
    callcheck::InsertListRow(*s_pLast->m_pView->m_list, s_nRow, pszRow, nColumns);
    ++s_nRow;
    return 1;
}
