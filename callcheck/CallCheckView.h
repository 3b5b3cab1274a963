// The callback-request view (form 102): the service and period, the list buttons, the
// automatic check's switches and count, the record actions, the list and its status line.
#pragma once

#include <QBrush>
#include <cstdint>
#include <string>

#include "app/FormView.h"

class CColorLabel;
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

    explicit CCallCheckView(QWidget* parent = nullptr);
    ~CCallCheckView() override;

    void OnInitialUpdate() override;

    // Handlers.
    void OnButtonClose();

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
};
