// The callback-request view (form 102): the service and period, the list buttons, the
// automatic check's switches and count, the record actions, the list and its status line.
#pragma once

#include <QBrush>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/FormView.h"
#include "controls/DialogTemplate.h"

class CAutoCheckBinding;
class CCallbackList;
class CColorLabel;
class CGeneralCallbackList;
class CLoanCallbackList;
class CComboBox;
class CFlatButton;
class CListCtrl;
class CSpinButtonCtrl;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;

class CCallCheckView : public CFormView {
    Q_OBJECT
public:
    enum {
        IDC_COMBO_SERVICE = 1021,
        IDC_DATE_FROM = 1018,
        IDC_DATE_TO = 1019,
        IDC_BUTTON_AUTO_START = 1302,
        IDC_BUTTON_AUTO_STOP = 1003,
        IDC_BUTTON_QUERY_LIST = 1014,
        IDC_BUTTON_QUERY_COMPLETE_LIST = 1017,
        IDC_BUTTON_QUERY_ALL_LIST = 1015,
        IDC_BUTTON_UPDATE_COMMENT = 1016,
        IDC_BUTTON_CHECK_COMPLETE = 1304,
        IDC_BUTTON_EXCEL = 1109,
        IDC_BUTTON_CALLBACK_RATE = 1305,
        IDC_BUTTON_MANUAL_DIST = 1308,
        IDC_BUTTON_CLOSE = 1209,
        IDC_EDIT_ALARM_COUNT = 1026,
        IDC_SPIN_ALARM_COUNT = 1427,
        IDC_BUTTON_SELECT_ALL = 1056,
        IDC_BUTTON_SELECT_NONE = 1057,
        IDC_LIST = 1006,
        IDC_STATIC_STATUS = 1306,
        IDC_STATIC_COUNTDOWN = 1055,
        IDC_CHECK_AUTO_QUERY = 1020,
        IDC_CHECK_AUTO_PRINT = 1022,
        IDC_STATIC_NEW_COUNT_CAPTION = 1023,
        IDC_STATIC_NEW_COUNT = 1024,
    };
    // Indexes into m_btn, in the order the buttons become flat buttons.
    enum {
        BTN_AUTO_START, BTN_AUTO_STOP, BTN_QUERY_LIST, BTN_QUERY_COMPLETE_LIST, BTN_QUERY_ALL_LIST,
        BTN_UPDATE_COMMENT, BTN_CHECK_COMPLETE, BTN_EXCEL, BTN_CALLBACK_RATE, BTN_MANUAL_DIST, BTN_CLOSE,
        BTN_SELECT_ALL, BTN_SELECT_NONE, BTN_COUNT
    };
    static constexpr int kButtonIds[BTN_COUNT] = {1302, 1003, 1014, 1017, 1015, 1016, 1304,
                                                  1109, 1305, 1308, 1209, 1056, 1057};
    enum { ID_TIMER_AUTOCHECK = 1 };
    // List columns that hold the same field in both record layouts.
    enum { COL_ACS_ID = 1, COL_RECV_PHONE = 3, COL_CALLER_ID = 4, COL_COMMENT = 10 };

    // m_strListKind of the three lists.
    static constexpr char kListKindUnprocessed[] = "미처리";
    static constexpr char kListKindProcessed[] = "처리";
    static constexpr char kListKindAll[] = "전체";
    // The record actions' and the rate report's texts, byte for byte.
    static constexpr char kMsgCompleteQuestion[] = "선택된 데이터를 완료 처리하면 다시 출력 할 수 업습니다\r계속 하시겠습니까 ?";
    static constexpr char kMsgNoSelection[] = "선택된 데이터가 없습니다";
    static constexpr char kMsgMemoOneRow[] = "메모 입력시에는 한건만 선택 가능합니다.";
    static constexpr char kMsgDistQuestion[] = "(%d)건의 자료를 상담원(%s)에게 분배합니다.계속 하시겠습니까 ?";
    static constexpr char kMsgNoRateData[] = "지정된 기간에 대한 자료가 없습니다.";
    static constexpr char kLogComplete[] = "OnButtonCheckComplete sql(%s)";
    static constexpr char kLogComment[] = "OnButtonUpdateComment sql(%s)";
    static constexpr char kLogDist[] = "OnButtonCallbackDist sql(%s)";
    static constexpr char kLogRate[] = "CCallCheckView::OnButtonCallbackPercent sql(%s)";
    static constexpr char kStatusFormat[] = "%s,%s";
    static constexpr int kStatusBlanks = 58;  // the status line is blanked with these first

    static constexpr ListColumn kRateColumns[] = {
        {"NO.", 50},
        {"서비스", 150},
        {"시간대", 60},
        {"인입건수", 80},
        {"콜백건수", 80},
        {"콜백율", 70},
    };

    explicit CCallCheckView(QWidget* parent = nullptr);
    ~CCallCheckView() override;

    void OnInitialUpdate() override;

    // Service and lists.
    void OnDropDownService();
    void OnSelChangeService();
    void OnButtonQueryList();          // unprocessed
    void OnButtonQueryCompleteList();  // processed
    void OnButtonQueryAllList();       // every record of the period but opt-outs
    // The list last requested again, after an action changed records.
    void RefreshList();
    void OnColumnClickList(int nColumn);
    void OnDblClkList(int nItem);
    void OnButtonExcel();
    void OnButtonClose();
    void OnCtlColor(QWidget* control);
    // The status line: the time of day, a comma, the text.
    void SetStatusText(const std::string& text);
    void DeleteAllColumns();

    // Record actions.
    void OnButtonCheckComplete();
    void OnButtonUpdateComment();
    void OnButtonCallbackDist();
    void OnButtonSelectAll();
    void OnButtonSelectNone();

    // Callback-rate report.
    void OnButtonCallbackPercent();
    void InsertRateColumns();
    static int32_t RateRowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);

    // The record actions (memo, complete, manual distribution) work on record rows only:
    // disabled while the list shows the rate table. The record layouts switch them on.
    void ShowRecordActions(bool bShow);
    bool IsRateTableShown() const { return m_bRateTable; }

    // True while a record action runs, which includes waiting for the user in its message
    // box or dialog. Whatever would replace the list's rows (the automatic check's reload
    // and printing) waits until it is false, so an action never walks rows it did not start
    // with; the check's count, sound and countdown go on meanwhile.
    bool IsActionPending() const { return m_nActionsPending > 0; }

    // The period pickers as "%Y%m%d".
    std::string GetFirstDay() const;
    std::string GetLastDay() const;

    // Direction of the next column sort, shared by every column and every view: +1 puts
    // the greatest text first.
    static int SortDirection();

    CListCtrl* m_list;
    CComboBox* m_comboService;
    CColorLabel* m_lblNewCountCaption;
    CColorLabel* m_lblNewCount;
    CFlatButton* m_btn[BTN_COUNT];
    int m_nAlarmCount = 5;       // sound threshold in records
    int m_nCheckInterval = 10;   // seconds between automatic checks
    int32_t m_tLastCheck = 0;    // when the last check ended, seconds since 1970
    std::string m_strListKind;   // the list last requested
    int m_nServiceType = 0;      // SVC_TYPE of the selected service
    std::unique_ptr<CLoanCallbackList> m_pLoanList;
    std::unique_ptr<CGeneralCallbackList> m_pGeneralList;
    CCallbackList* m_pCallbackList;  // the layout of the selected service: one of the two above
    std::unique_ptr<CAutoCheckBinding> m_pAutoCheck;  // the automatic check of this view
    QBrush m_brushBack;

    // The other controls of the form.
    QDateEdit* m_dateFrom;
    QDateEdit* m_dateTo;
    QLineEdit* m_editAlarmCount;
    CSpinButtonCtrl* m_spinAlarmCount;
    QCheckBox* m_chkAutoQuery;
    QCheckBox* m_chkAutoPrint;
    QLabel* m_lblStatus;
    QLabel* m_lblCountdown;

protected:
    QBrush BackgroundBrush() const override { return m_brushBack; }

private:
    // Counts a running record action for IsActionPending.
    class ActionScope {
    public:
        explicit ActionScope(CCallCheckView& view) : m_view(view) { ++m_view.m_nActionsPending; }
        ~ActionScope() { --m_view.m_nActionsPending; }
        ActionScope(const ActionScope&) = delete;
        ActionScope& operator=(const ActionScope&) = delete;

    private:
        CCallCheckView& m_view;
    };

    // The selected items in list order: the first from the top, then each next one after the
    // one before, as many as the selected count.
    std::vector<int> SelectedItems() const;
    using CallbackListQuery = void (CCallbackList::*)(const std::string& serviceId, const std::string& firstDay,
                                                      const std::string& lastDay);
    // One of the three list buttons: the list kind, then the list of the selected service.
    void QueryCallbackList(const char* listKind, CallbackListQuery query);
    // Selected service ID, or empty after the "select a service" message.
    std::string SelectedServiceIdOrComplain();
    int Ask(const std::string& text);
    void Inform(const char* text);
    // The modal dialogs' owner: the main window.
    static QWidget* DialogParent();

    bool m_bRateTable = false;
    int m_nActionsPending = 0;
};
