#include "agents/DlgUserAgent.h"

#include <QLineEdit>

#include "app/DataExchange.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CDlgUserAgent::CDlgUserAgent(QWidget* parent) : CDialog(res::kDialog134, parent) {
    m_list = Item<CListCtrl>(IDC_LIST);
    m_btnAdd = Item<CFlatButton>(IDC_BUTTON_ADD);
    m_btnChange = Item<CFlatButton>(IDC_BUTTON_CHANGE);
    m_btnDelete = Item<CFlatButton>(IDC_BUTTON_DELETE);
    m_btnClose = Item<CFlatButton>(IDCANCEL);
    m_btnQuery = Item<CFlatButton>(IDC_BUTTON_QUERY);
    m_editName = Item<QLineEdit>(IDC_EDIT_NAME);
    m_editPassword = Item<QLineEdit>(IDC_EDIT_PASSWORD);
    m_editDistCount = Item<QLineEdit>(IDC_EDIT_DIST_COUNT);
    m_editSeqNo = Item<QLineEdit>(IDC_EDIT_SEQ_NO);
}

void CDlgUserAgent::DoDataExchange(CDataExchange& dx) {
    dx.Text(m_editName, m_strName);
    dx.MaxChars(m_editName, m_strName, MAX_NAME);
    dx.Text(m_editDistCount, m_nDistCount);
    dx.MinMaxInt(m_editDistCount, m_nDistCount, 0, MAX_DIST_COUNT);
    dx.Text(m_editPassword, m_strPassword);
    dx.MaxChars(m_editPassword, m_strPassword, MAX_PASSWORD);
    dx.Text(m_editSeqNo, m_nSeqNo);
}

bool CDlgUserAgent::OnInitDialog() {
    CDialog::OnInitDialog();
    m_list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    for (CFlatButton* button : {m_btnAdd, m_btnChange, m_btnDelete, m_btnClose}) SetFlatButtonScheme(*button);
    int column = 0;
    for (const ListColumn& info : res::kColumns134) {
        m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    }
    return true;
}
