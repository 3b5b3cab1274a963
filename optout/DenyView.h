// The opt-out view (form 158): the service (or all services) and period, the list of
// opt-out registrations, saving their numbers to a file, and the spreadsheet export.
#pragma once

#include <QBrush>
#include <QDateTime>

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

    explicit CDenyView(QWidget* parent = nullptr);
    ~CDenyView() override;

    void OnInitialUpdate() override;

    // Members to the controls (false) or back (true).
    void UpdateData(bool bSaveAndValidate);
    // Handlers.
    void OnButtonClose();

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

protected:
    QBrush BackgroundBrush() const override { return m_brushBack; }
};
