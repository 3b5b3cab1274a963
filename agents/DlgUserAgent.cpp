#include "agents/DlgUserAgent.h"

#include <QLineEdit>
#include <climits>
#include <cstdlib>

#include "app/DataExchange.h"
#include "app/ListQuery.h"
#include "app/WriteLog.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "res/Strings.h"

CDlgUserAgent* CDlgUserAgent::s_pDialog = nullptr;
int CDlgUserAgent::s_nRowCount = 0;

namespace {

// The leading decimal number of a list text, as the classic conversion reads it.
int LeadingInt(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

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
    s_pDialog = this;

    connect(m_btnAdd, &CFlatButton::clicked, this, &CDlgUserAgent::OnButtonAdd);
    connect(m_btnChange, &CFlatButton::clicked, this, &CDlgUserAgent::OnButtonChange);
    connect(m_btnDelete, &CFlatButton::clicked, this, &CDlgUserAgent::OnButtonDelete);
    connect(m_btnQuery, &CFlatButton::clicked, this, &CDlgUserAgent::OnButtonQuery);
    connect(m_list, &CListCtrl::itemStateChanged, this, &CDlgUserAgent::OnItemChangedList);
}

CDlgUserAgent::~CDlgUserAgent() {
    if (s_pDialog == this) s_pDialog = nullptr;
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
    // Runs before the dialog shows: a user without agents hears so first.
    OnButtonQuery();
    return true;
}

void CDlgUserAgent::OnButtonQuery() {
    s_pDialog = this;
    // The rows are gone: change and delete wait for a new selection, also behind the box.
    RunListQuery({.list = m_list, .rowCounter = &s_nRowCount, .rowCallback = &CDlgUserAgent::RowCallback,
                  .owner = platform::MessageOwner(this), .logFormat = kLogQuery, .noDataText = kMsgNoAgents,
                  .noDataIcon = platform::MB_ICONERROR, .afterQuery = [this] { UpdateAgentButtons(); }},
                 sql::AgentListSql(g_pEnv->m_strUserId));
}

int32_t CDlgUserAgent::RowCallback(int32_t, int32_t, int32_t, const char* pszRow) {
    return InsertListRow(s_pDialog != nullptr ? s_pDialog->m_list : nullptr, s_nRowCount, pszRow);
}

void CDlgUserAgent::OnItemChangedList(int nItem, bool bSelected) {
    if (bSelected && nItem >= 0 && nItem < m_list->GetItemCount()) {
        m_nSeqNo = LeadingInt(m_list->GetItemText(nItem, COL_SEQ_NO));
        m_strName = m_list->GetItemText(nItem, COL_NAME);
        m_strPassword = m_list->GetItemText(nItem, COL_PASSWORD);
        m_nDistCount = LeadingInt(m_list->GetItemText(nItem, COL_DIST_COUNT));
        UpdateData(false);
    }
    UpdateAgentButtons();
}

void CDlgUserAgent::UpdateAgentButtons() {
    bool selected = m_list->GetNextSelectedItem(-1) >= 0;
    m_btnChange->setEnabled(selected);
    m_btnDelete->setEnabled(selected);
}

bool CDlgUserAgent::SelectRow(int nColumn, const std::string& text) {
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (m_list->GetItemText(row, nColumn) == text) {
            m_list->SetItemSelected(row, true);
            m_list->EnsureVisible(row);
            return true;
        }
    }
    return false;
}

void CDlgUserAgent::OnButtonAdd() {
    if (!UpdateData(true)) return;
    if (m_strName.empty()) {
        g_pEnv->MsgInfo("%s", kMsgEnterName);
        m_editName->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_strPassword.empty()) {
        g_pEnv->MsgInfo("%s", kMsgEnterPassword);
        m_editPassword->setFocus(Qt::OtherFocusReason);
        return;
    }
    const void* owner = platform::MessageOwner(this);
    int exists = g_pEnv->RecordExists(sql::AgentExistsSql(g_pEnv->m_strUserId, m_strName));
    if (exists == -1) return;  // the lookup failed and said so; nothing is known about the name
    if (exists != 0) {
        platform::ShowMessageBox(owner, kMsgAlreadyRegistered, res::kTitleConfirm,
                                 platform::MB_OK | platform::MB_ICONERROR);
        return;
    }

    std::string sql = sql::AgentInsertSql(g_pEnv->m_strUserId, m_strName, m_strPassword, m_nDistCount);
    // The same statement with the password's value masked: only the database gets it.
    WriteLog(kLogSql, sql::AgentInsertSql(g_pEnv->m_strUserId, m_strName, kLogPasswordMask, m_nDistCount).c_str());
    if (!g_pEnv->ExecuteSQL(sql)) return;
    OnButtonQuery();
    // The new agent is the one change and delete act on next.
    SelectRow(COL_NAME, m_strName);
    platform::ShowMessageBox(owner, kMsgAdded, res::kTitleConfirm, platform::MB_OK);
}

void CDlgUserAgent::OnButtonChange() {
    int row = m_list->GetNextSelectedItem(-1);
    if (row < 0) return;
    if (!UpdateData(true)) return;
    if (m_strPassword.empty()) {
        g_pEnv->MsgInfo("%s", kMsgEnterPassword);
        m_editPassword->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The selected row, whatever the name field has been edited to.
    std::string seqText = m_list->GetItemText(row, COL_SEQ_NO);
    m_nSeqNo = LeadingInt(seqText);
    if (!g_pEnv->ExecuteSQL(sql::AgentUpdateSql(m_strPassword, m_nDistCount, m_nSeqNo))) return;
    OnButtonQuery();
    SelectRow(COL_SEQ_NO, seqText);
    platform::ShowMessageBox(platform::MessageOwner(this), kMsgChanged, res::kTitleConfirm, platform::MB_OK);
}

void CDlgUserAgent::OnButtonDelete() {
    int row = m_list->GetNextSelectedItem(-1);
    if (row < 0) return;
    if (!UpdateData(true)) return;
    // The question names the agent whose row goes, not what the name field holds.
    std::string name = m_list->GetItemText(row, COL_NAME);
    m_nSeqNo = LeadingInt(m_list->GetItemText(row, COL_SEQ_NO));
    const void* owner = platform::MessageOwner(this);
    int answer = platform::ShowMessageBox(owner, platform::StrFormat(kMsgAskDelete, name.c_str()), kTitleWarning,
                                          platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer != platform::IDYES) return;
    if (!g_pEnv->ExecuteSQL(sql::AgentDeleteSql(m_nSeqNo))) return;
    OnButtonQuery();
    platform::ShowMessageBox(owner, kMsgDeleted, res::kTitleConfirm, platform::MB_OK);
}
