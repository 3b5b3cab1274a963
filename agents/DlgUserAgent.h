// The agent management dialog (134): the user's agents in a list, and the fields to add an
// agent or change an agent's password and distribution count.
#pragma once

#include <cstdint>
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
    // List columns of the agent's values.
    enum { COL_SEQ_NO = 1, COL_NAME = 2, COL_PASSWORD = 3, COL_DIST_COUNT = 4 };

    // The dialog's messages.
    static constexpr char kMsgNoAgents[] = "등록된 상담원이 없습니다.";
    static constexpr char kMsgEnterName[] = "상담원 명을 입력하여 주십시오";
    static constexpr char kMsgEnterPassword[] = "비밀번호를 입력하여 주십시오";
    static constexpr char kMsgAlreadyRegistered[] = "이미 등록된 상담원 입니다.";
    static constexpr char kMsgAdded[] = "추가 되었습니다.";
    static constexpr char kMsgChanged[] = "변경 되었습니다.";
    static constexpr char kMsgDeleted[] = "삭제 되었습니다.";
    static constexpr char kMsgAskDelete[] = "상담원(%s)를 삭제 하시겠습니까?";  // agent name
    static constexpr char kTitleWarning[] = "경고";
    static constexpr char kLogQuery[] = "CDlgUserAgent::OnButtonQuery sql(%s)";
    static constexpr char kLogSql[] = "SQL(%s)";
    // Stands for the password in the logged statement: the log may be kept or sent on,
    // and says nothing of the password's length either.
    static constexpr char kLogPasswordMask[] = "********";

    explicit CDlgUserAgent(QWidget* parent = nullptr);
    ~CDlgUserAgent() override;

    // Handlers.
    void OnButtonAdd();
    void OnButtonChange();
    void OnButtonDelete();
    void OnButtonQuery();
    void OnItemChangedList(int nItem, bool bSelected);

    // The list query's row callback: one list row per agent.
    static int32_t RowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);
    // The dialog the row callback fills and the number of rows it has added.
    static CDlgUserAgent* s_pDialog;
    static int s_nRowCount;

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

private:
    // Change and delete act on the agent selected in the list, so they wait for a selection.
    void UpdateAgentButtons();
    // Selects the first row whose column holds text; false when there is none.
    bool SelectRow(int nColumn, const std::string& text);
};
