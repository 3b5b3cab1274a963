// The manual distribution dialog (136): shows how many records are selected and lets the
// user pick the agent to hand them to; the agent list is read from the database each time
// it drops down. "분배" accepts the chosen agent, "취소" cancels.
#pragma once

#include <iterator>
#include <string>

#include "app/Dialog.h"

class CComboBox;
class CFlatButton;
class QLineEdit;

class CDlgManualDist : public CDialog {
    Q_OBJECT
public:
    enum { IDC_COMBO_AGENT = 1015, IDC_BUTTON_DIST = 1016, IDC_EDIT_COUNT = 1014 };

    static constexpr char kMsgSelectAgent[] = "분배할 상담원을 선택하여 주십시오";
    static constexpr DlgItem kItems[] = {
        {1015, DlgItemKind::ComboDropList, nullptr, 102, 26, 120, 318, 0},
        {1016, DlgItemKind::FlatButton, "분배", 80, 45, 30, 30, 0},
        {2, DlgItemKind::FlatButton, "취소", 117, 45, 30, 30, 0},
        {1014, DlgItemKind::Edit, nullptr, 102, 11, 120, 12, 0},
        {-1, DlgItemKind::Static, "선택된 자료 건수", 7, 11, 92, 12, 0},
        {-1, DlgItemKind::Static, "분배할 상담원 선택", 7, 26, 92, 12, 0},
    };
    static constexpr DlgTemplate kTemplate{136, "콜백자료 수동분배", 232, 87, kItems, std::size(kItems)};

    explicit CDlgManualDist(QWidget* parent = nullptr);

    CComboBox* m_comboAgent;
    int m_nCount = 0;        // selected records, shown read-only
    CFlatButton* m_btn[2];   // 1016 and 2
    std::string m_strAgent;  // the chosen agent; empty unless the dialog ended through "분배"

    QLineEdit* m_editCount;

    void OnDropDownAgent();
    void OnButtonDist();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
};
