#include "callcheck/CallCheckView.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/ChildFrame.h"
#include "app/ListQuery.h"
#include "app/MainFrame.h"
#include "app/WriteLog.h"
#include "callcheck/AutoCheck.h"
#include "callcheck/CallbackList.h"
#include "callcheck/DlgManualDist.h"
#include "callcheck/DlgMemo.h"
#include "callcheck/TimeStamp.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/FlatButtonScheme.h"
#include "controls/FormBuilder.h"
#include "controls/ListCtrl.h"
#include "controls/ListModel.h"
#include "controls/SpinButtonCtrl.h"
#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "app/OrvantaApp.h"
#include "callcheck/AutoCheckBinding.h"
#include "output/ExportSelection.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/Cursor.h"
#include "platform/qt/ProfileStore.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace {

// Column sorting: one column and one direction for the whole process.
int g_nSortColumn = 0;
int g_nSortDirection = 1;

// The rate report's row callback: its list and row counter, set just before the call.
CListCtrl* g_pRateList = nullptr;
int g_nRateRow = 0;

// Bytes compared as unsigned values up to the first difference or the end: -1, 0 or +1.
int CompareBytes(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    int c = std::memcmp(a.data(), b.data(), common);
    if (c == 0) c = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// The items' parameter values are their indexes before the sort; lParamSort is the list.
int CompareListItems(uintptr_t lParam1, uintptr_t lParam2, uintptr_t lParamSort) {
    const CListModel* model = reinterpret_cast<const CListCtrl*>(lParamSort)->Model();
    const std::string& first = model->GetText(static_cast<int>(lParam1), g_nSortColumn);
    const std::string& second = model->GetText(static_cast<int>(lParam2), g_nSortColumn);
    return CompareBytes(second, first) * g_nSortDirection;
}

std::string DayText(const QDateEdit* picker) {
    return picker->date().toString(QStringLiteral("yyyyMMdd")).toStdString();
}

}  // namespace

CCallCheckView::CCallCheckView(QWidget* parent)
    : CFormView(res::kForm102, parent), m_brushBack(QColor(209, 247, 254)) {
    m_list = Item<CListCtrl>(IDC_LIST);
    // The list has no label; it is named after the window's title.
    m_list->setAccessibleName(QString::fromUtf8(res::kTitleCallbackView));
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
    m_pLoanList = std::make_unique<CLoanCallbackList>(this);
    m_pGeneralList = std::make_unique<CGeneralCallbackList>(this);
    m_pCallbackList = m_pGeneralList.get();  // as for a service of no known type
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) OnCtlColor(control);

    connect(m_comboService, &CComboBox::dropDown, this, &CCallCheckView::OnDropDownService);
    connect(m_comboService, &CComboBox::selChange, this, &CCallCheckView::OnSelChangeService);
    connect(m_btn[BTN_QUERY_LIST], &CFlatButton::clicked, this, &CCallCheckView::OnButtonQueryList);
    connect(m_btn[BTN_QUERY_COMPLETE_LIST], &CFlatButton::clicked, this, &CCallCheckView::OnButtonQueryCompleteList);
    connect(m_btn[BTN_QUERY_ALL_LIST], &CFlatButton::clicked, this, &CCallCheckView::OnButtonQueryAllList);
    connect(m_btn[BTN_UPDATE_COMMENT], &CFlatButton::clicked, this, &CCallCheckView::OnButtonUpdateComment);
    connect(m_btn[BTN_CHECK_COMPLETE], &CFlatButton::clicked, this, &CCallCheckView::OnButtonCheckComplete);
    connect(m_btn[BTN_EXCEL], &CFlatButton::clicked, this, &CCallCheckView::OnButtonExcel);
    connect(m_btn[BTN_CALLBACK_RATE], &CFlatButton::clicked, this, &CCallCheckView::OnButtonCallbackPercent);
    connect(m_btn[BTN_MANUAL_DIST], &CFlatButton::clicked, this, &CCallCheckView::OnButtonCallbackDist);
    connect(m_btn[BTN_CLOSE], &CFlatButton::clicked, this, &CCallCheckView::OnButtonClose);
    connect(m_btn[BTN_SELECT_ALL], &CFlatButton::clicked, this, &CCallCheckView::OnButtonSelectAll);
    connect(m_btn[BTN_SELECT_NONE], &CFlatButton::clicked, this, &CCallCheckView::OnButtonSelectNone);
    connect(m_list, &CListCtrl::columnClicked, this, &CCallCheckView::OnColumnClickList);
    connect(m_list, &CListCtrl::itemDoubleClicked, this, &CCallCheckView::OnDblClkList);
    // Start, stop, the auto-print box and the check timer.
    m_pAutoCheck = std::make_unique<CAutoCheckBinding>(*this);
}

CCallCheckView::~CCallCheckView() {
    if (g_pRateList == m_list) g_pRateList = nullptr;
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

    // The first service's columns and buttons; no list query yet.
    OnDropDownService();
    m_comboService->SetCurSel(0);
    OnSelChangeService();
    if (m_comboService->GetCount() == 1) m_comboService->setEnabled(false);
}

// ---------------------------------------------------------------------------------------
// Service and lists

void CCallCheckView::OnDropDownService() {
    m_comboService->ResetContent();
    g_pEnv->FillServiceCombo(m_comboService, sql::ServiceComboSql(g_pEnv->m_strUserId));
}

void CCallCheckView::OnSelChangeService() {
    const std::string serviceId = g_pEnv->GetComboSelServiceId(m_comboService);
    if (serviceId.empty()) return;
    const int id = std::atoi(serviceId.c_str());
    m_nServiceType = g_pEnv->GetServiceType(id);
    // The layout is chosen here, once; the list buttons use whichever it is.
    m_pCallbackList = m_nServiceType == 1 ? static_cast<CCallbackList*>(m_pLoanList.get()) : m_pGeneralList.get();
    m_pCallbackList->InsertColumns();
    m_list->DeleteAllItems();
    if (!g_pEnv->m_strAgentName.empty()) {
        // An agent sees only the records handed to it, and hands nothing out.
        m_btn[BTN_QUERY_ALL_LIST]->setVisible(false);
        m_btn[BTN_MANUAL_DIST]->setVisible(false);
    } else {
        m_btn[BTN_MANUAL_DIST]->setVisible(g_pEnv->GetCallbackDist(id) == 1);
        m_btn[BTN_QUERY_ALL_LIST]->setVisible(g_pEnv->GetNoReqDisp(id) == 1);
    }
}

std::string CCallCheckView::SelectedServiceIdOrComplain() {
    std::string serviceId = g_pEnv->GetComboSelServiceId(m_comboService);
    if (serviceId.empty()) {
        platform::ShowMessageBox(platform::MessageOwner(this), CAutoCheck::kMsgSelectService, res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        m_comboService->setFocus(Qt::OtherFocusReason);
    }
    return serviceId;
}

std::string CCallCheckView::GetFirstDay() const { return DayText(m_dateFrom); }

std::string CCallCheckView::GetLastDay() const { return DayText(m_dateTo); }

void CCallCheckView::OnButtonQueryList() { QueryCallbackList(kListKindUnprocessed, &CCallbackList::QueryUnprocessed); }

void CCallCheckView::OnButtonQueryCompleteList() {
    QueryCallbackList(kListKindProcessed, &CCallbackList::QueryProcessed);
}

void CCallCheckView::OnButtonQueryAllList() { QueryCallbackList(kListKindAll, &CCallbackList::QueryAll); }

void CCallCheckView::QueryCallbackList(const char* listKind, CallbackListQuery query) {
    m_strListKind = listKind;  // also when there is no service to list
    const std::string firstDay = GetFirstDay(), lastDay = GetLastDay();
    const std::string serviceId = SelectedServiceIdOrComplain();
    if (serviceId.empty()) return;
    (m_pCallbackList->*query)(serviceId, firstDay, lastDay);
}

void CCallCheckView::RefreshList() {
    if (m_strListKind == kListKindUnprocessed) {
        OnButtonQueryList();
    } else if (m_strListKind == kListKindProcessed) {
        OnButtonQueryCompleteList();
    } else {
        OnButtonQueryAllList();
    }
}

void CCallCheckView::DeleteAllColumns() { m_list->DeleteAllColumns(); }

void CCallCheckView::ShowRecordActions(bool bShow) {
    m_bRateTable = !bShow;
    m_btn[BTN_UPDATE_COMMENT]->setEnabled(bShow);
    m_btn[BTN_CHECK_COMPLETE]->setEnabled(bShow);
    m_btn[BTN_MANUAL_DIST]->setEnabled(bShow);
}

// ---------------------------------------------------------------------------------------
// Sorting, status line, colours, close

int CCallCheckView::SortDirection() { return g_nSortDirection; }

void CCallCheckView::OnColumnClickList(int nColumn) {
    platform::ShowAppStartingCursor();
    g_nSortColumn = nColumn;
    const int count = m_list->GetItemCount();
    for (int i = 0; i < count; ++i) m_list->SetItemData(i, static_cast<uintptr_t>(i));
    m_list->SortItems(&CompareListItems, reinterpret_cast<uintptr_t>(m_list));
    m_list->SetRedraw(false);
    for (int i = 0; i < count; ++i) m_list->SetItemText(i, 0, std::to_string(i + 1));
    m_list->SetRedraw(true);
    g_nSortDirection = g_nSortDirection == 1 ? -1 : 1;
    platform::ShowArrowCursor();
}

void CCallCheckView::SetStatusText(const std::string& text) {
    CTimeStamp stamp;
    stamp.SetNow();
    m_lblStatus->setText(QString(kStatusBlanks, QLatin1Char(' ')));
    m_lblStatus->setText(QString::fromStdString(platform::StrFormat(kStatusFormat, stamp.GetTimeText(), text.c_str())));
}

void CCallCheckView::OnCtlColor(QWidget* control) {
    // Static texts other than the two colour labels: black on the form's own background.
    // Everything else keeps the colours it has (the form's background shows through).
    auto* label = qobject_cast<QLabel*>(control);
    if (label == nullptr) return;
    const int id = CFormBuilder::DlgCtrlId(label);
    if (id == IDC_STATIC_NEW_COUNT_CAPTION || id == IDC_STATIC_NEW_COUNT) return;
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
    pal.setColor(QPalette::Window, QColor(255, 255, 255));
    label->setPalette(pal);
    label->setAutoFillBackground(false);
}

void CCallCheckView::OnButtonExcel() {
    // Whatever table the list shows (either record layout or the rate table) is exported.
    COrvantaApp* app = COrvantaApp::Instance();
    const std::string startDir = app != nullptr ? app->m_szStartDir : "";
    ExportRequest request;
    request.list = m_list;
    request.owner = platform::MessageOwner(this);
    request.title = kCallbackExportTitle;
    request.fileName = platform::StrFormat(kCallbackExportFile, startDir.c_str());
    request.startDir = startDir;
    request.showNote = &CMainFrame::ShowStatusNote;
    ExportSelection(request);
}

void CCallCheckView::OnButtonClose() {
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAlarmCount,
                                               m_editAlarmCount->text().toStdString());
    if (CChildFrame* frame = GetParentFrame()) frame->close();
}

// ---------------------------------------------------------------------------------------
// Record actions

std::vector<int> CCallCheckView::SelectedItems() const {
    std::vector<int> items;
    const int count = m_list->GetSelectedCount();
    items.reserve(static_cast<size_t>(count));
    int item = -1;
    for (int i = 0; i < count; ++i) {
        item = m_list->GetNextSelectedItem(item);
        if (item < 0) break;
        items.push_back(item);
    }
    return items;
}

int CCallCheckView::Ask(const std::string& text) {
    return platform::ShowMessageBox(platform::MessageOwner(this), text, res::kTitleConfirm,
                                    platform::MB_YESNO | platform::MB_ICONQUESTION);
}

void CCallCheckView::Inform(const char* text) {
    platform::ShowMessageBox(platform::MessageOwner(this), text, res::kTitleConfirm,
                             platform::MB_OK | platform::MB_ICONINFORMATION);
}

QWidget* CCallCheckView::DialogParent() { return CMainFrame::GetMainFrame(); }

void CCallCheckView::OnButtonCheckComplete() {
    if (m_bRateTable) return;
    ActionScope pending(*this);
    if (Ask(kMsgCompleteQuestion) != platform::IDYES) return;
    // The selection as it is now that the question is answered.
    const std::vector<int> items = SelectedItems();
    if (items.empty()) {
        Inform(kMsgNoSelection);
        return;
    }
    for (int item : items) {
        const std::string sql = sql::MarkProcessedSql(m_list->GetItemText(item, COL_ACS_ID));
        WriteLog(kLogComplete, sql.c_str());
        if (!g_pEnv->ExecuteSQL(sql)) {
            platform::ShowArrowCursor();
            return;
        }
    }
    RefreshList();
}

void CCallCheckView::OnButtonUpdateComment() {
    if (m_bRateTable) return;
    ActionScope pending(*this);
    const int count = m_list->GetSelectedCount();
    if (count == 0) {
        Inform(kMsgNoSelection);
        return;
    }
    if (count > 1) {
        Inform(kMsgMemoOneRow);
        return;
    }
    const int item = m_list->GetNextSelectedItem(-1);
    const std::string acsId = m_list->GetItemText(item, COL_ACS_ID);
    std::string memo;
    {
        auto dialog = std::make_unique<CDlgMemo>(DialogParent());
        dialog->m_strMemo = m_list->GetItemText(item, COL_COMMENT);
        dialog->m_strPhone = m_list->GetItemText(item, COL_CALLER_ID);
        if (dialog->DoModal() != IDOK) return;
        memo = dialog->m_strMemo;
    }
    // Only the record still selected gets the memo.
    if (m_list->GetSelectedCount() != 1 || m_list->GetItemText(m_list->GetNextSelectedItem(-1), COL_ACS_ID) != acsId) {
        return;
    }
    const std::string sql = sql::UpdateCommentSql(memo, acsId);
    WriteLog(kLogComment, sql.c_str());
    if (!g_pEnv->ExecuteSQL(sql)) {
        platform::ShowArrowCursor();
        return;
    }
    RefreshList();
}

void CCallCheckView::OnButtonCallbackDist() {
    if (m_bRateTable) return;
    ActionScope pending(*this);
    const std::vector<int> chosen = SelectedItems();
    const int count = static_cast<int>(chosen.size());
    if (count == 0) {
        Inform(kMsgNoSelection);
        return;
    }
    std::vector<std::string> chosenIds;
    for (int item : chosen) chosenIds.push_back(m_list->GetItemText(item, COL_ACS_ID));
    std::string agent;
    {
        auto dialog = std::make_unique<CDlgManualDist>(DialogParent());
        dialog->m_nCount = count;
        if (dialog->DoModal() == IDOK) agent = dialog->m_strAgent;
    }
    if (agent.empty()) return;
    if (Ask(platform::StrFormat(kMsgDistQuestion, count, agent.c_str())) != platform::IDYES) return;
    // Only records that were chosen and are still selected are handed out.
    bool sent = false;
    for (int item : SelectedItems()) {
        const std::string acsId = m_list->GetItemText(item, COL_ACS_ID);
        if (std::find(chosenIds.begin(), chosenIds.end(), acsId) == chosenIds.end()) continue;
        const std::string sql = sql::UpdateAgentSql(agent, acsId);
        WriteLog(kLogDist, sql.c_str());
        if (!g_pEnv->ExecuteSQL(sql)) {
            platform::ShowArrowCursor();
            return;
        }
        sent = true;
    }
    if (sent) RefreshList();
}

void CCallCheckView::OnButtonSelectAll() { m_list->SelectAllItems(true); }

void CCallCheckView::OnButtonSelectNone() { m_list->SelectAllItems(false); }

void CCallCheckView::OnDblClkList(int) { OnButtonUpdateComment(); }

// ---------------------------------------------------------------------------------------
// Callback-rate report

void CCallCheckView::InsertRateColumns() {
    DeleteAllColumns();
    int column = 0;
    for (const ListColumn& info : kRateColumns) m_list->InsertColumn(column++, info.heading, LVCFMT_LEFT, info.width);
    ShowRecordActions(false);
}

void CCallCheckView::OnButtonCallbackPercent() {
    const std::string firstDay = GetFirstDay(), lastDay = GetLastDay();
    if (SelectedServiceIdOrComplain().empty()) return;
    g_pRateList = m_list;
    RunListQuery({.list = m_list, .rowCounter = &g_nRateRow, .rowCallback = &CCallCheckView::RateRowCallback,
                  .owner = platform::MessageOwner(this), .logFormat = kLogRate, .noDataText = kMsgNoRateData,
                  .noDataIcon = platform::MB_ICONINFORMATION, .afterClear = [this] { InsertRateColumns(); }},
                 sql::CallbackRateSql(g_pEnv->m_strUserId, firstDay, lastDay));
}

int32_t CCallCheckView::RateRowCallback(int32_t, int32_t, int32_t, const char* pszRow) {
    // Five fields whatever count the library reports.
    return InsertListRow(g_pRateList, g_nRateRow, pszRow, 5);
}
