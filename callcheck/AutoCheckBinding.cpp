#include "callcheck/AutoCheckBinding.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "app/DeskAlerts.h"
#include "app/MainFrame.h"
#include "callcheck/CallCheckView.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/qt/QtMessagePresenter.h"

CAutoCheckBinding::CAutoCheckBinding(CCallCheckView& view) : m_view(view), m_check(*this) {
    connect(&m_timer, &QTimer::timeout, this, [this] { m_check.OnTimer(); });
    connect(m_view.m_btn[CCallCheckView::BTN_AUTO_START], &CFlatButton::clicked, this,
            [this] { m_check.OnButtonAutoStart(); });
    connect(m_view.m_btn[CCallCheckView::BTN_AUTO_STOP], &CFlatButton::clicked, this,
            [this] { m_check.OnButtonAutoStop(); });
    // After the box has toggled, as the check expects.
    connect(m_view.m_chkAutoPrint, &QCheckBox::clicked, this, [this] { m_check.OnCheckAutoPrint(); });
}

CAutoCheckBinding::~CAutoCheckBinding() { m_timer.stop(); }

std::string CAutoCheckBinding::GetSelectedServiceId() const {
    return g_pEnv != nullptr ? g_pEnv->GetComboSelServiceId(m_view.m_comboService) : std::string();
}

int CAutoCheckBinding::GetServiceType() const { return m_view.m_nServiceType; }
std::string CAutoCheckBinding::GetFirstDay() const { return m_view.GetFirstDay(); }
std::string CAutoCheckBinding::GetLastDay() const { return m_view.GetLastDay(); }
std::string CAutoCheckBinding::GetAlarmCountText() const { return m_view.m_editAlarmCount->text().toStdString(); }
bool CAutoCheckBinding::IsAutoQueryChecked() const { return m_view.m_chkAutoQuery->isChecked(); }
void CAutoCheckBinding::SetAutoQueryChecked(bool checked) { m_view.m_chkAutoQuery->setChecked(checked); }
bool CAutoCheckBinding::IsAutoPrintChecked() const { return m_view.m_chkAutoPrint->isChecked(); }
void CAutoCheckBinding::SetAutoPrintChecked(bool checked) { m_view.m_chkAutoPrint->setChecked(checked); }

void CAutoCheckBinding::SetNewCountText(const std::string& text) {
    m_view.m_lblNewCount->setText(QString::fromStdString(text));
}

void CAutoCheckBinding::SetCountdownText(const std::string& text) {
    m_view.m_lblCountdown->setText(QString::fromStdString(text));
}

void CAutoCheckBinding::SetStatusText(const std::string& text) { m_view.SetStatusText(text); }

void CAutoCheckBinding::EnableAutoStart(bool enable) {
    m_view.m_btn[CCallCheckView::BTN_AUTO_START]->setEnabled(enable);
}

void CAutoCheckBinding::EnableAutoStop(bool enable) {
    m_view.m_btn[CCallCheckView::BTN_AUTO_STOP]->setEnabled(enable);
}

void CAutoCheckBinding::EnableServiceCombo(bool enable) { m_view.m_comboService->setEnabled(enable); }
void CAutoCheckBinding::FocusServiceCombo() { m_view.m_comboService->setFocus(); }
const void* CAutoCheckBinding::MessageOwner() const { return platform::MessageOwner(&m_view); }
void CAutoCheckBinding::QueryUnprocessedList() { m_view.OnButtonQueryList(); }
int CAutoCheckBinding::GetListItemCount() const { return m_view.m_list->GetItemCount(); }

std::string CAutoCheckBinding::GetListItemText(int item, int column) const {
    return m_view.m_list->GetItemText(item, column);
}

void CAutoCheckBinding::DeleteAllListItems() { m_view.m_list->DeleteAllItems(); }
bool CAutoCheckBinding::IsActionPending() const { return m_view.IsActionPending(); }

void CAutoCheckBinding::SetTimer(int periodMs) {
    // A period of 0 asks for the first tick at once; later ticks keep a small floor so a
    // countdown after a quick restart does not spin the processor.
    m_timer.start(std::max(periodMs, 10));
}

void CAutoCheckBinding::KillTimer() { m_timer.stop(); }

void CAutoCheckBinding::OnCheckFinished(bool counted, int count, bool ticketFailed) {
    if (CMainFrame* frame = CMainFrame::GetMainFrame()) {
        frame->Alerts().OnCheckFinished(m_view.m_comboService->currentText().toStdString(), counted, count,
                                        ticketFailed);
    }
}
