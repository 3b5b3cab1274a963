// The login dialog (156): a user ID or "agent@user", and the password. Ends with OK only
// after a successful login; from it the server address can be changed.
#pragma once

#include <string>

#include "app/Dialog.h"

class CFlatButton;
class QLineEdit;

class CDlgLogin : public CDialog {
    Q_OBJECT
public:
    enum { IDC_EDIT_PASSWORD = 1045, IDC_EDIT_LOGIN_ID = 1346, IDC_BUTTON_SETTINGS = 3 };
    enum { MAX_PASSWORD = 20, MAX_LOGIN_ID = 31 };  // bytes

    explicit CDlgLogin(QWidget* parent = nullptr);

    std::string m_strPassword;
    std::string m_strLoginId;

    QLineEdit* m_editPassword;
    QLineEdit* m_editLoginId;
    CFlatButton* m_btnLogin;
    CFlatButton* m_btnCancel;
    CFlatButton* m_btnSettings;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void OnButtonSettings();
};
