// The distribution status dialog (135): for a period, how many callback requests each agent
// received per day, with subtotals and a grand total.
#pragma once

#include <cstdint>

#include "app/Dialog.h"

class CFlatButton;
class CListCtrl;
class QDateEdit;

class CDlgQueryCallbackDist : public CDialog {
    Q_OBJECT
public:
    enum { IDC_DATE_FROM = 1018, IDC_DATE_TO = 1019, IDC_BUTTON_QUERY = 1014, IDC_LIST = 1006 };

    static constexpr char kMsgNoData[] = "분배된 데이터가 없습니다.";
    static constexpr char kLogQuery[] = "CDlgQueryCallbackDist::OnButtonQuery sql(%s)";

    explicit CDlgQueryCallbackDist(QWidget* parent = nullptr);
    ~CDlgQueryCallbackDist() override;

    void OnButtonQuery();

    // The query's row callback: one list row per delivered row, in the server's order.
    static int32_t RowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);
    // The dialog the row callback fills and the number of rows it has added.
    static CDlgQueryCallbackDist* s_pDialog;
    static int s_nRowCount;

    CListCtrl* m_list;
    CFlatButton* m_btnQuery;
    CFlatButton* m_btnClose;

    QDateEdit* m_dateFrom;
    QDateEdit* m_dateTo;

protected:
    bool OnInitDialog() override;
};
