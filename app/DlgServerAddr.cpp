#include "app/DlgServerAddr.h"

#include <QLineEdit>

#include "app/DataExchange.h"
#include "controls/FlatButtonScheme.h"
#include "controls/FlatButton.h"
#include "data/KestrimEnv.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CDlgServerAddr::CDlgServerAddr(QWidget* parent) : CDialog(res::kDialog130, parent) {
    m_editServerAddr = Item<QLineEdit>(IDC_EDIT_SERVER_ADDR);
    m_btnSave = Item<CFlatButton>(IDOK);
    m_btnCancel = Item<CFlatButton>(IDCANCEL);
}

void CDlgServerAddr::DoDataExchange(CDataExchange& dx) { dx.Text(m_editServerAddr, m_strServerAddr); }

bool CDlgServerAddr::OnInitDialog() {
    SetFlatButtonScheme(*m_btnSave);
    SetFlatButtonScheme(*m_btnCancel);
    m_strServerAddr = g_pEnv->m_strServerIp;
    return CDialog::OnInitDialog();
}

void CDlgServerAddr::OnOK() {
    if (!UpdateData(true)) return;
    // Saved for the next start: the connection opened at start keeps its address. The
    // settings file is the client library's only configuration here, so nothing else is
    // written.
    g_pEnv->m_strServerIp = m_strServerAddr;
    g_pEnv->SaveServerAddress();
    EndDialog(IDOK);
}
