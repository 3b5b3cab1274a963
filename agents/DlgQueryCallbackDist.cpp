#include "agents/DlgQueryCallbackDist.h"

#include <QDateEdit>
#include <string>

#include "app/WriteLog.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "data/RecordTokenizer.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "res/Strings.h"

CDlgQueryCallbackDist* CDlgQueryCallbackDist::s_pDialog = nullptr;
int CDlgQueryCallbackDist::s_nRowCount = 0;

CDlgQueryCallbackDist::CDlgQueryCallbackDist(QWidget* parent) : CDialog(res::kDialog135, parent) {
    m_list = Item<CListCtrl>(IDC_LIST);
    m_btnQuery = Item<CFlatButton>(IDC_BUTTON_QUERY);
    m_btnClose = Item<CFlatButton>(IDCANCEL);
    m_dateFrom = Item<QDateEdit>(IDC_DATE_FROM);
    m_dateTo = Item<QDateEdit>(IDC_DATE_TO);
    s_pDialog = this;

    connect(m_btnQuery, &CFlatButton::clicked, this, &CDlgQueryCallbackDist::OnButtonQuery);
}

CDlgQueryCallbackDist::~CDlgQueryCallbackDist() {
    if (s_pDialog == this) s_pDialog = nullptr;
}

bool CDlgQueryCallbackDist::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    SetFlatButtonScheme(*m_btnQuery);
    SetFlatButtonScheme(*m_btnClose);
    m_dateFrom->setDate(QDate::currentDate());
    m_dateTo->setDate(QDate::currentDate());
    int column = 0;
    for (const ListColumn& info : res::kColumns135) {
        m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    }
    return true;
}

void CDlgQueryCallbackDist::OnButtonQuery() {
    QDate from = m_dateFrom->date();
    QDate to = m_dateTo->date();
    platform::ShowAppStartingCursor();
    s_nRowCount = 0;
    m_list->DeleteAllItems();

    std::string sql = sql::DistStatusSql(g_pEnv->m_strUserId, from.toString(QStringLiteral("yyyyMMdd")).toStdString(),
                                         to.toString(QStringLiteral("yyyyMMdd")).toStdString());
    WriteLog(kLogQuery, sql.c_str());

    s_pDialog = this;
    RDBSetEventCallBackFN(&CDlgQueryCallbackDist::RowCallback);
    platform::ShowAppStartingCursor();
    int32_t rows = 0;
    RDB_ERROR error{};
    int32_t result = RDBQueryRecord(g_pEnv->m_hRdb, g_pEnv->m_strDbName.c_str(), 0, sql.c_str(), &rows, &error);
    platform::ShowArrowCursor();
    if (result > 0) {
        if (s_nRowCount == 0) {
            platform::ShowMessageBox(platform::MessageOwner(this), kMsgNoData, res::kTitleConfirm,
                                     platform::MB_OK | platform::MB_ICONERROR);
            platform::ShowArrowCursor();
        }
    } else {
        g_pEnv->ShowDBError(error);
    }
}

int32_t CDlgQueryCallbackDist::RowCallback(int32_t, int32_t, int32_t, const char* pszRow) {
    CDlgQueryCallbackDist* dialog = s_pDialog;
    if (dialog == nullptr || pszRow == nullptr) return 1;
    dialog->m_list->InsertRecordRow(s_nRowCount, pszRow);
    ++s_nRowCount;
    return 1;
}
