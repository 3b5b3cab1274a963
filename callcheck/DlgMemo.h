// The memo dialog (133): the caller number, read-only, and the record's memo to edit; "등록"
// accepts, "취소" cancels. The memo holds at most 200 bytes of code-page text: the edit takes
// no more once filled, and a longer memo (one already stored) is refused on OK with the
// framework's message.
#pragma once

#include <iterator>
#include <string>

#include "app/Dialog.h"

class CFlatButton;
class QLineEdit;
class QPlainTextEdit;

class CDlgMemo : public CDialog {
    Q_OBJECT
public:
    enum { IDC_EDIT_MEMO = 1001, IDC_EDIT_PHONE = 1003 };
    enum { MAX_MEMO = 200 };

    // The memo edit is multi-line, which the form builder does not make: the dialog makes
    // it itself, at its place in the template and first in the tab order.
    static constexpr DlgItem kMemoEdit{1001, DlgItemKind::Edit, nullptr, 20, 21, 395, 35, 0};
    static constexpr DlgItem kItems[] = {
        {1, DlgItemKind::FlatButton, "등록", 125, 62, 50, 14, dlg::Default},
        {2, DlgItemKind::FlatButton, "취소", 180, 62, 50, 14, 0},
        {-1, DlgItemKind::Static, "메모", 1, 21, 18, 35, 0},
        {-1, DlgItemKind::Static, "전화 번호", 1, 5, 39, 12, 0},
        {1003, DlgItemKind::Edit, nullptr, 43, 5, 105, 12, 0},
    };
    static constexpr DlgTemplate kTemplate{133, "메모 입력", 417, 79, kItems, std::size(kItems)};

    explicit CDlgMemo(QWidget* parent = nullptr);

    std::string m_strMemo;   // line ends as stored: carriage return and line feed
    std::string m_strPhone;
    CFlatButton* m_btn[2];   // 1 and 2

    QPlainTextEdit* m_editMemo;
    QLineEdit* m_editPhone;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Cuts what was just typed or pasted so that the memo stays within MAX_MEMO bytes.
    void OnMemoChanged();

    bool m_bLimited = false;  // the limit holds once the dialog has filled the edit
    bool m_bTrimming = false;
    int m_nChangePos = 0;
    int m_nChangeAdded = 0;
};
