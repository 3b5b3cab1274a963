#include "agents/DlgQueryCallbackDist.h"

#include <QDateEdit>
#include <string>

#include "app/ListQuery.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "platform/MessageBox.h"
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
    const std::string sql = sql::DistStatusSql(g_pEnv->m_strUserId,
                                               from.toString(QStringLiteral("yyyyMMdd")).toStdString(),
                                               to.toString(QStringLiteral("yyyyMMdd")).toStdString());
    s_pDialog = this;
    RunListQuery({.list = m_list, .rowCounter = &s_nRowCount, .rowCallback = &CDlgQueryCallbackDist::RowCallback,
                  .owner = platform::MessageOwner(this), .logFormat = kLogQuery, .noDataText = kMsgNoData,
                  .noDataIcon = platform::MB_ICONERROR},
                 sql);
}

int32_t CDlgQueryCallbackDist::RowCallback(int32_t, int32_t, int32_t, const char* pszRow) {
    return InsertListRow(s_pDialog != nullptr ? s_pDialog->m_list : nullptr, s_nRowCount, pszRow);
}
