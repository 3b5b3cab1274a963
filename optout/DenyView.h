// The opt-out view (form 158): the service (or all services) and period, the list of
// opt-out registrations, saving their numbers to a file, and the spreadsheet export.
#pragma once

#include <QBrush>
#include <QDateTime>
#include <cstdint>
#include <string>

#include "app/FormView.h"

class CComboBox;
class CFlatButton;
class CListCtrl;
class QDateEdit;

class CDenyView : public CFormView {
    Q_OBJECT
public:
    enum {
        IDC_COMBO_SERVICE = 1021,
        IDC_DATE_FROM = 1018,
        IDC_DATE_TO = 1019,
        IDC_BUTTON_QUERY_LIST = 1014,
        IDC_BUTTON_SAVE_FILE = 1000,
        IDC_BUTTON_EXCEL = 1109,
        IDC_BUTTON_CLOSE = 1209,
        IDC_LIST = 1006,
    };

    // The view's messages and names.
    static constexpr char kMsgSelectService[] = "서비스 ID를 선택하여 주십시오";
    static constexpr char kMsgNoData[] = "지정된 조건에 맞는 데이터가 없습니다.";
    static constexpr char kMsgNothingToSave[] = "저장할 데이터가 없습니다!";
    static constexpr char kMsgCannotCreateFile[] = "(%s)화일을 생성할 수 없습니다.";
    static constexpr char kMsgSavedToFile[] = "(%s) 화일에 저장 되었습니다.";
    // start directory, first day, last day
    static constexpr char kSaveFileFormat[] = "%s/수신거부등록자목록%s_%s.txt";
    static constexpr char kLogQueryList[] = "CDenyView::OnButtonQueryList sql(%s)";

    explicit CDenyView(QWidget* parent = nullptr);
    ~CDenyView() override;

    void OnInitialUpdate() override;

    // Members to the controls (false) or back (true).
    void UpdateData(bool bSaveAndValidate);
    // Handlers.
    void OnButtonQueryList();
    void OnButtonSaveFile();
    void OnButtonExcel();
    void OnButtonClose();
    void OnDropDownService();

    // The list query's row callback: one list row per delivered row.
    static int32_t RowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);
    // The view the row callback fills and the number of rows it has added.
    static CDenyView* s_pView;
    static int s_nRowCount;

    // The file the listed numbers are saved to: named after the period of the list.
    std::string SaveFilePath() const;

    CComboBox* m_comboService;
    CListCtrl* m_list;
    QDateTime m_timeFrom;
    QDateTime m_timeTo;
    CFlatButton* m_btnQueryList;
    CFlatButton* m_btnSaveFile;
    CFlatButton* m_btnExcel;
    CFlatButton* m_btnClose;
    QBrush m_brushBack;

    QDateEdit* m_dateFrom;
    QDateEdit* m_dateTo;

    // The period (YYYYMMDD) of the query that filled the list; the saved file and the
    // export are named after it, not after whatever the pickers show by then.
    std::string m_strListFrom;
    std::string m_strListTo;

protected:
    QBrush BackgroundBrush() const override { return m_brushBack; }
};
