// The agent management dialog (134): the user's agents in a list, and the fields to add an
// agent or change an agent's password and distribution count.
#pragma once

#include <string>

#include "app/Dialog.h"

class CFlatButton;
class CListCtrl;
class QLineEdit;

class CDlgUserAgent : public CDialog {
    Q_OBJECT
public:
    enum {
        IDC_EDIT_NAME = 1009,
        IDC_EDIT_PASSWORD = 1045,
        IDC_EDIT_DIST_COUNT = 1046,
        IDC_EDIT_SEQ_NO = 1010,
        IDC_BUTTON_ADD = 1011,
        IDC_BUTTON_CHANGE = 1012,
        IDC_BUTTON_DELETE = 1013,
        IDC_BUTTON_QUERY = 1014,
        IDC_LIST = 1006,
    };
    enum { MAX_NAME = 20, MAX_PASSWORD = 10, MAX_DIST_COUNT = 99999 };

    explicit CDlgUserAgent(QWidget* parent = nullptr);

    CListCtrl* m_list;
    std::string m_strName;
    int m_nDistCount = 0;
    std::string m_strPassword;
    int m_nSeqNo = 0;
    CFlatButton* m_btnAdd;
    CFlatButton* m_btnChange;
    CFlatButton* m_btnDelete;
    CFlatButton* m_btnClose;

    QLineEdit* m_editName;
    QLineEdit* m_editPassword;
    QLineEdit* m_editDistCount;
    QLineEdit* m_editSeqNo;
    CFlatButton* m_btnQuery;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
};
