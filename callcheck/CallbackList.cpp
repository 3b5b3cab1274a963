#include "callcheck/CallbackList.h"

#include "app/ListQuery.h"
#include "callcheck/AutoCheck.h"
#include "callcheck/CallCheckView.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"

namespace {

// Five to a line: columns 0-4, 5-9, 10-13. Column 1 (zero width) carries the record key; the
// record actions rely on columns 1, 3, 4 and 10 holding the same fields in both layouts.
constexpr ListColumn kLoanColumns[] = {
    {"NO.", 50}, {"ACS_ID", 0}, {"서비스", 150}, {"전화번호", 100}, {"발신번호", 100},
    {"유형", 40}, {"금액", 80}, {"수신일자", 80}, {"수신시각", 60}, {"처리여부", 60},
    {"메모", 200}, {"통화시간", 70}, {"상담요청", 80}, {"분배상담원", 100},
};
constexpr ListColumn kGeneralColumns[] = {
    {"NO.", 50}, {"ACS_ID", 0}, {"서비스", 150}, {"전화번호", 100}, {"발신번호", 100},
    {"수신일자", 80}, {"수신시각", 60}, {"통화시간", 70}, {"처리여부", 70}, {"콜백요청", 70},
    {"메모", 200}, {"분배상담원", 100},
};

// The process-wide values of each layout's row callback.
CCallbackList::RowTarget g_loanRows;
CCallbackList::RowTarget g_generalRows;

}  // namespace

CLoanCallbackList::CLoanCallbackList(CCallCheckView* pView)
    : CCallbackList(pView, kLoanColumns, true, g_loanRows, &LoanListRowCallback) {}

CGeneralCallbackList::CGeneralCallbackList(CCallCheckView* pView)
    : CCallbackList(pView, kGeneralColumns, false, g_generalRows, &GeneralListRowCallback) {}

int32_t CLoanCallbackList::LoanListRowCallback(int32_t, int32_t, int32_t nColumns, const char* pszRow) {
    return InsertRow(g_loanRows, nColumns, pszRow);
}

int32_t CGeneralCallbackList::GeneralListRowCallback(int32_t, int32_t, int32_t nColumns, const char* pszRow) {
    return InsertRow(g_generalRows, nColumns, pszRow);
}

CCallbackList::CCallbackList(CCallCheckView* pView, std::span<const ListColumn> columns, bool bLoanLayout,
                             RowTarget& target, RDBEventCallBackFN rowCallback)
    : m_pView(pView), m_columns(columns), m_bLoanLayout(bLoanLayout), m_target(target), m_rowCallback(rowCallback) {
    m_target.last = this;
}

CCallbackList::~CCallbackList() {
    // A callback after this object is gone finds no list rather than a dangling one.
    if (m_target.last == this) m_target.last = nullptr;
}

void CCallbackList::InsertColumns() {
    m_pView->DeleteAllColumns();
    int column = 0;
    for (const ListColumn& info : m_columns) {
        m_pView->m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    }
    m_pView->ShowRecordActions(true);
}

void CCallbackList::QueryUnprocessed(const std::string& serviceId, const std::string& firstDay,
                                     const std::string& lastDay) {
    Query(sql::ListKind::Unprocessed, serviceId, firstDay, lastDay);
}

void CCallbackList::QueryProcessed(const std::string& serviceId, const std::string& firstDay,
                                   const std::string& lastDay) {
    Query(sql::ListKind::Processed, serviceId, firstDay, lastDay);
}

void CCallbackList::QueryAll(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay) {
    Query(sql::ListKind::All, serviceId, firstDay, lastDay);
}

void CCallbackList::Query(sql::ListKind kind, const std::string& serviceId, const std::string& firstDay,
                          const std::string& lastDay) {
    // Every list of the loan layout, and the unprocessed list of both, log as the check does
    // and say there is no callback data; the general layout's other lists find no data
    // matching, with the error icon, and its processed list logs under its own name.
    const bool callbackData = m_bLoanLayout || kind == sql::ListKind::Unprocessed;
    const bool ownLog = !m_bLoanLayout && kind == sql::ListKind::Processed;
    RunListQuery({.list = m_pView->m_list, .rowCounter = &m_target.row, .rowCallback = m_rowCallback,
                  .owner = platform::MessageOwner(m_pView),
                  .logFormat = ownLog ? callcheck::kLogQueryCompleteList : CAutoCheck::kLogCheck,
                  .noDataText = callbackData ? callcheck::kMsgNoCallbackData : callcheck::kMsgNoMatchingData,
                  .noDataIcon = callbackData ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR,
                  .afterClear = [this] { InsertColumns(); }},
                 sql::CallbackListSql(m_bLoanLayout, kind, serviceId, firstDay, lastDay, g_pEnv->m_strAgentName));
}

int32_t CCallbackList::InsertRow(RowTarget& target, int32_t nColumns, const char* pszRow) {
    CListCtrl* list = target.last != nullptr && target.last->m_pView != nullptr ? target.last->m_pView->m_list : nullptr;
    return InsertListRow(list, target.row, pszRow, nColumns);
}
