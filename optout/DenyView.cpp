#include "optout/DenyView.h"

#include <QDateEdit>
#include <cstdio>

#include "app/ChildFrame.h"
#include "app/ListQuery.h"
#include "app/MainFrame.h"
#include "app/OrvantaApp.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/ListCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "output/ExportSelection.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Strings.h"

CDenyView* CDenyView::s_pView = nullptr;
int CDenyView::s_nRowCount = 0;

namespace {

std::string Ymd(const QDateTime& time) { return time.toString(QStringLiteral("yyyyMMdd")).toStdString(); }

}  // namespace

CDenyView::CDenyView(QWidget* parent) : CFormView(res::kForm158, parent), m_brushBack(QColor(209, 247, 254)) {
    m_comboService = Item<CComboBox>(IDC_COMBO_SERVICE);
    m_list = Item<CListCtrl>(IDC_LIST);
    // The list has no label; it is named after the window's title.
    m_list->setAccessibleName(QString::fromUtf8(res::kTitleDenyView));
    m_btnQueryList = Item<CFlatButton>(IDC_BUTTON_QUERY_LIST);
    m_btnSaveFile = Item<CFlatButton>(IDC_BUTTON_SAVE_FILE);
    m_btnExcel = Item<CFlatButton>(IDC_BUTTON_EXCEL);
    m_btnClose = Item<CFlatButton>(IDC_BUTTON_CLOSE);
    m_dateFrom = Item<QDateEdit>(IDC_DATE_FROM);
    m_dateTo = Item<QDateEdit>(IDC_DATE_TO);
    s_pView = this;

    connect(m_btnQueryList, &CFlatButton::clicked, this, &CDenyView::OnButtonQueryList);
    connect(m_btnSaveFile, &CFlatButton::clicked, this, &CDenyView::OnButtonSaveFile);
    connect(m_btnExcel, &CFlatButton::clicked, this, &CDenyView::OnButtonExcel);
    connect(m_btnClose, &CFlatButton::clicked, this, &CDenyView::OnButtonClose);
    connect(m_comboService, &CComboBox::dropDown, this, &CDenyView::OnDropDownService);
}

CDenyView::~CDenyView() {
    // A query of another view must never reach a deleted one.
    if (s_pView == this) s_pView = nullptr;
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

void CDenyView::OnDropDownService() {
    // Refilled every time the list opens, so services added meanwhile appear; the choice made
    // before is gone until the user picks again.
    m_comboService->ResetContent();
    g_pEnv->FillServiceCombo(m_comboService, sql::ServiceComboSql(g_pEnv->m_strUserId));
    m_comboService->AddString(res::kDenyAllServicesItem);
}

void CDenyView::OnButtonQueryList() {
    UpdateData(true);
    const void* owner = platform::MessageOwner(this);
    std::string serviceId = g_pEnv->GetComboSelServiceId(m_comboService);
    if (serviceId.empty()) {
        platform::ShowMessageBox(owner, kMsgSelectService, res::kTitleError, platform::MB_OK | platform::MB_ICONERROR);
        m_comboService->setFocus(Qt::OtherFocusReason);
        return;
    }

    m_strListFrom = Ymd(m_timeFrom);
    m_strListTo = Ymd(m_timeTo);
    const std::string sql = sql::DenyListSql(m_strListFrom, m_strListTo, serviceId, g_pEnv->m_strUserId);
    s_pView = this;
    RunListQuery({.list = m_list, .rowCounter = &s_nRowCount, .rowCallback = &CDenyView::RowCallback, .owner = owner,
                  .logFormat = kLogQueryList, .noDataText = kMsgNoData, .noDataIcon = platform::MB_ICONERROR},
                 sql);
}

int32_t CDenyView::RowCallback(int32_t, int32_t, int32_t, const char* pszRow) {
    // The sixth field (ACS_ID) has no column of its own and is not shown.
    return InsertListRow(s_pView != nullptr ? s_pView->m_list : nullptr, s_nRowCount, pszRow);
}

std::string CDenyView::SaveFilePath() const {
    COrvantaApp* app = COrvantaApp::Instance();
    const char* startDir = app != nullptr && app->m_szStartDir[0] != '\0' ? app->m_szStartDir : ".";
    return platform::StrFormat(kSaveFileFormat, startDir, m_strListFrom.c_str(), m_strListTo.c_str());
}

void CDenyView::OnButtonSaveFile() {
    UpdateData(true);
    const void* owner = platform::MessageOwner(this);
    int count = m_list->GetItemCount();
    if (count == 0) {
        platform::ShowMessageBox(owner, kMsgNothingToSave, res::kTitleConfirm,
                                 platform::MB_OK | platform::MB_ICONINFORMATION);
        return;
    }

    std::string path = SaveFilePath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        platform::ShowMessageBox(owner, platform::StrFormat(kMsgCannotCreateFile, path.c_str()), res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    // One number per line, every line ended by CR LF, the last one too.
    for (int i = 0; i < count; ++i) {
        std::string number = m_list->GetItemText(i, 2);
        std::fwrite(number.data(), 1, number.size(), file);
        std::fwrite("\r\n", 1, 2, file);
    }
    bool written = std::ferror(file) == 0;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        // A full disk must not be reported as a saved list.
        platform::ShowMessageBox(owner, platform::StrFormat(kMsgCannotCreateFile, path.c_str()), res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        return;
    }
    platform::ShowMessageBox(owner, platform::StrFormat(kMsgSavedToFile, path.c_str()), res::kTitleConfirm,
                             platform::MB_OK | platform::MB_ICONINFORMATION);
}

void CDenyView::OnButtonExcel() {
    UpdateData(true);
    COrvantaApp* app = COrvantaApp::Instance();
    ExportRequest request;
    request.list = m_list;
    request.owner = platform::MessageOwner(this);
    request.title = kDenyExportTitle;
    // Named after the period of the query that filled the list, as the numbers file is.
    request.fileName = platform::StrFormat(kDenyExportFile, m_strListFrom.c_str(), m_strListTo.c_str());
    // The bare name is resolved once against the start-up directory: the check, the
    // deletion, the save and the opening all use that one path.
    request.startDir = app != nullptr ? app->m_szStartDir : "";
    request.textColumns = {2, 3};
    request.excludedColumns = {6};  // the list has six columns, so nothing is left out
    request.openAfter = true;
    request.showNote = &CMainFrame::ShowStatusNote;
    ExportSelection(request);
}

void CDenyView::OnButtonClose() {
    if (CChildFrame* frame = GetParentFrame()) frame->close();
}
