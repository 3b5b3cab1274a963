#include "agents/DlgQueryCallbackDist.h"

#include <QDateEdit>

#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CDlgQueryCallbackDist::CDlgQueryCallbackDist(QWidget* parent) : CDialog(res::kDialog135, parent) {
    m_list = Item<CListCtrl>(IDC_LIST);
    m_btnQuery = Item<CFlatButton>(IDC_BUTTON_QUERY);
    m_btnClose = Item<CFlatButton>(IDCANCEL);
    m_dateFrom = Item<QDateEdit>(IDC_DATE_FROM);
    m_dateTo = Item<QDateEdit>(IDC_DATE_TO);
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
