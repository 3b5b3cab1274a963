#include "callcheck/CallCheckView.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <cstdlib>

#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "controls/SpinButtonCtrl.h"
#include "data/KestrimEnv.h"
#include "platform/qt/ProfileStore.h"
#include "res/Dialogs.h"
#include "res/Strings.h"

CCallCheckView::CCallCheckView(QWidget* parent)
    : CFormView(res::kForm102, parent), m_brushBack(QColor(209, 247, 254)) {
    m_list = Item<CListCtrl>(IDC_LIST);
    m_comboService = Item<CComboBox>(IDC_COMBO_SERVICE);
    m_lblNewCountCaption = Item<CColorLabel>(IDC_STATIC_NEW_COUNT_CAPTION);
    m_lblNewCount = Item<CColorLabel>(IDC_STATIC_NEW_COUNT);
    for (int i = 0; i < BTN_COUNT; ++i) m_btn[i] = Item<CFlatButton>(kButtonIds[i]);
    m_dateFrom = Item<QDateEdit>(IDC_DATE_FROM);
    m_dateTo = Item<QDateEdit>(IDC_DATE_TO);
    m_editAlarmCount = Item<QLineEdit>(IDC_EDIT_ALARM_COUNT);
    m_spinAlarmCount = Item<CSpinButtonCtrl>(IDC_SPIN_ALARM_COUNT);
    m_chkAutoQuery = Item<QCheckBox>(IDC_CHECK_AUTO_QUERY);
    m_chkAutoPrint = Item<QCheckBox>(IDC_CHECK_AUTO_PRINT);
    m_lblStatus = Item<QLabel>(IDC_STATIC_STATUS);
    m_lblCountdown = Item<QLabel>(IDC_STATIC_COUNTDOWN);
    m_spinAlarmCount->SetRange(0, 100);

    connect(m_btn[BTN_CLOSE], &CFlatButton::clicked, this, &CCallCheckView::OnButtonClose);
}

CCallCheckView::~CCallCheckView() {
    // Command 32771 may open a new view from now on.
    if (CMainFrame* frame = CMainFrame::GetMainFrame()) {
        frame->m_bCallbackViewOpen = false;
        frame->UpdateCommandUI();
    }
}

void CCallCheckView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    ResizeParentToFit(false);

    m_list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    m_dateFrom->setDate(QDate::currentDate());
    m_dateTo->setDate(QDate::currentDate());
    m_btn[BTN_AUTO_STOP]->setEnabled(false);
    if (!g_pEnv->m_strAgentName.empty()) m_btn[BTN_CALLBACK_RATE]->setVisible(false);

    m_lblNewCountCaption->SetTextColor(QColor(245, 245, 245));
    m_lblNewCountCaption->SetBkColor(QColor(0, 139, 139));
    m_lblNewCount->SetTextColor(QColor(245, 245, 245));
    m_lblNewCount->SetBkColor(QColor(0, 139, 139));

    for (CFlatButton* button : m_btn) SetFlatButtonScheme(*button);

    std::string alarmCount = platform::ProfileStore::GetProfileString(
        res::kProfileSectionOrvanta, res::kProfileAlarmCount, res::kProfileAlarmCountDefault);
    m_editAlarmCount->setText(QString::fromStdString(alarmCount));
    m_nAlarmCount = static_cast<int>(std::strtol(alarmCount.c_str(), nullptr, 10));
    std::string autoQuery = platform::ProfileStore::GetProfileString(
        res::kProfileSectionOrvanta, res::kProfileAutoQuery, res::kProfileAutoQueryDefault);
    m_chkAutoQuery->setChecked(std::strtol(autoQuery.c_str(), nullptr, 10) != 0);
}

void CCallCheckView::OnButtonClose() {
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAlarmCount,
                                               m_editAlarmCount->text().toStdString());
    if (CChildFrame* frame = GetParentFrame()) frame->close();
}
