#include "app/DlgLogin.h"

#include <QLineEdit>

#include "app/DataExchange.h"
#include "app/DlgServerAddr.h"
#include "controls/FlatButtonScheme.h"
#include "app/LoginCheck.h"
#include "controls/FlatButton.h"
#include "data/KestrimEnv.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CDlgLogin::CDlgLogin(QWidget* parent) : CDialog(res::kDialog156, parent) {
    m_editPassword = Item<QLineEdit>(IDC_EDIT_PASSWORD);
    m_editLoginId = Item<QLineEdit>(IDC_EDIT_LOGIN_ID);
    m_btnLogin = Item<CFlatButton>(IDOK);
    m_btnCancel = Item<CFlatButton>(IDCANCEL);
    m_btnSettings = Item<CFlatButton>(IDC_BUTTON_SETTINGS);
    connect(m_btnSettings, &CFlatButton::clicked, this, &CDlgLogin::OnButtonSettings);
}

void CDlgLogin::DoDataExchange(CDataExchange& dx) {
    dx.Text(m_editPassword, m_strPassword);
    dx.MaxChars(m_editPassword, m_strPassword, MAX_PASSWORD);
    dx.Text(m_editLoginId, m_strLoginId);
    dx.MaxChars(m_editLoginId, m_strLoginId, MAX_LOGIN_ID);
}

bool CDlgLogin::OnInitDialog() {
    for (CFlatButton* button : {m_btnLogin, m_btnCancel, m_btnSettings}) SetFlatButtonScheme(*button);
    m_strLoginId = LastLoginId();
    return CDialog::OnInitDialog();
}

void CDlgLogin::OnOK() {
    if (!UpdateData(true)) return;
    if (CheckLogin(*g_pEnv, m_strLoginId, m_strPassword, platform::MessageOwner(this)) == LoginResult::Accepted) {
        EndDialog(IDOK);
    }
}

void CDlgLogin::OnButtonSettings() {
    auto* dialog = new CDlgServerAddr(this);
    dialog->DoModal();
    delete dialog;
}
