#include "app/DlgServerAddr.h"

#include <QLineEdit>
#include <string>
#include <vector>

#include "app/DataExchange.h"
#include "controls/FlatButtonScheme.h"
#include "controls/FlatButton.h"
#include "data/KestrimEnv.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "res/Strings.h"

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
    std::vector<std::string> failed;
    if (!g_pEnv->SaveServerAddress(&failed)) {
        // The address would be gone at the next start: say which file kept the old one.
        for (const std::string& file : failed) {
            platform::ShowMessageBox(platform::MessageOwner(this), platform::StrFormat(kMsgCannotSave, file.c_str()),
                                     res::kTitleError, platform::MB_OK | platform::MB_ICONERROR);
        }
    }
    EndDialog(IDOK);
}
