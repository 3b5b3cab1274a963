// The distribution status dialog (135): for a period, how many callback requests each agent
// received per day, with subtotals and a grand total.
#pragma once

#include "app/Dialog.h"

class CFlatButton;
class CListCtrl;
class QDateEdit;

class CDlgQueryCallbackDist : public CDialog {
    Q_OBJECT
public:
    enum { IDC_DATE_FROM = 1018, IDC_DATE_TO = 1019, IDC_BUTTON_QUERY = 1014, IDC_LIST = 1006 };

    explicit CDlgQueryCallbackDist(QWidget* parent = nullptr);

    CListCtrl* m_list;
    CFlatButton* m_btnQuery;
    CFlatButton* m_btnClose;

    QDateEdit* m_dateFrom;
    QDateEdit* m_dateTo;

protected:
    bool OnInitDialog() override;
};
