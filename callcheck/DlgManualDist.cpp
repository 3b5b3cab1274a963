#include "callcheck/DlgManualDist.h"

#include <QLineEdit>

#include "app/DataExchange.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Resource.h"
#include "res/Strings.h"

CDlgManualDist::CDlgManualDist(QWidget* parent) : CDialog(kTemplate, parent) {
    m_comboAgent = Item<CComboBox>(IDC_COMBO_AGENT);
    m_btn[0] = Item<CFlatButton>(IDC_BUTTON_DIST);
    m_btn[1] = Item<CFlatButton>(IDCANCEL);
    m_editCount = Item<QLineEdit>(IDC_EDIT_COUNT);
    m_editCount->setReadOnly(true);
    connect(m_comboAgent, &CComboBox::dropDown, this, &CDlgManualDist::OnDropDownAgent);
    connect(m_btn[0], &CFlatButton::clicked, this, &CDlgManualDist::OnButtonDist);
}

bool CDlgManualDist::OnInitDialog() {
    CDialog::OnInitDialog();
    for (CFlatButton* button : m_btn) SetFlatButtonScheme(*button);
    return true;
}

void CDlgManualDist::DoDataExchange(CDataExchange& dx) { dx.Text(m_editCount, m_nCount); }

void CDlgManualDist::OnDropDownAgent() {
    m_comboAgent->ResetContent();
    g_pEnv->FillServiceCombo(m_comboAgent, sql::AgentNamesSql(g_pEnv->m_strUserId));
}

void CDlgManualDist::OnButtonDist() {
    if (!UpdateData(true)) return;
    m_strAgent = g_pEnv->GetComboSelText(m_comboAgent);
    if (m_strAgent.empty()) {
        platform::ShowMessageBox(platform::MessageOwner(this), kMsgSelectAgent, res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        m_comboAgent->setFocus(Qt::OtherFocusReason);
        return;
    }
    EndDialog(IDOK);
}
