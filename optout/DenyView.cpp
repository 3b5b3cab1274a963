#include "optout/DenyView.h"

#include <QDateEdit>

#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Strings.h"

CDenyView::CDenyView(QWidget* parent) : CFormView(res::kForm158, parent), m_brushBack(QColor(209, 247, 254)) {
    m_comboService = Item<CComboBox>(IDC_COMBO_SERVICE);
    m_list = Item<CListCtrl>(IDC_LIST);
    m_btnQueryList = Item<CFlatButton>(IDC_BUTTON_QUERY_LIST);
    m_btnSaveFile = Item<CFlatButton>(IDC_BUTTON_SAVE_FILE);
    m_btnExcel = Item<CFlatButton>(IDC_BUTTON_EXCEL);
    m_btnClose = Item<CFlatButton>(IDC_BUTTON_CLOSE);
    m_dateFrom = Item<QDateEdit>(IDC_DATE_FROM);
    m_dateTo = Item<QDateEdit>(IDC_DATE_TO);

    connect(m_btnClose, &CFlatButton::clicked, this, &CDenyView::OnButtonClose);
}

CDenyView::~CDenyView() {
    // Command 32774 may open a new view from now on.
    if (CMainFrame* frame = CMainFrame::GetMainFrame()) {
        frame->m_bDenyViewOpen = false;
        frame->UpdateCommandUI();
    }
}

void CDenyView::OnInitialUpdate() {
    CFormView::OnInitialUpdate();
    ResizeParentToFit(false);

    m_list->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
    for (CFlatButton* button : {m_btnQueryList, m_btnSaveFile, m_btnExcel, m_btnClose}) {
        SetFlatButtonScheme(*button);
    }
    m_timeFrom = QDateTime::currentDateTime();
    m_timeTo = QDateTime::currentDateTime();
    int column = 0;
    for (const ListColumn& info : res::kColumns158) {
        m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    }
    m_comboService->AddString(res::kDenyAllServicesItem);
    m_comboService->SetCurSel(0);
    UpdateData(false);
}

void CDenyView::UpdateData(bool bSaveAndValidate) {
    if (bSaveAndValidate) {
        m_timeFrom = QDateTime(m_dateFrom->date(), m_timeFrom.time());
        m_timeTo = QDateTime(m_dateTo->date(), m_timeTo.time());
    } else {
        m_dateFrom->setDate(m_timeFrom.date());
        m_dateTo->setDate(m_timeTo.date());
    }
}

void CDenyView::OnButtonClose() {
    if (CChildFrame* frame = GetParentFrame()) frame->close();
}
