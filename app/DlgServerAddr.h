// The server address dialog (130): shows the address in use and saves a new one to the
// settings files, for the next start.
#pragma once

#include <string>

#include "app/Dialog.h"

class CFlatButton;
class QLineEdit;

class CDlgServerAddr : public CDialog {
    Q_OBJECT
public:
    enum { IDC_EDIT_SERVER_ADDR = 1007 };

    // A settings file that could not be written (its path).
    static constexpr char kMsgCannotSave[] = "(%s) 화일에 저장할 수 없습니다.";

    explicit CDlgServerAddr(QWidget* parent = nullptr);

    std::string m_strServerAddr;

    QLineEdit* m_editServerAddr;
    CFlatButton* m_btnSave;
    CFlatButton* m_btnCancel;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
};
