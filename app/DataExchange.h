// Moves values between a dialog's members and its controls, in either direction, and checks
// the field rules on the way in. A broken rule shows the framework's message, puts the focus
// on the control and fails the exchange; the calls after a failure do nothing.
#pragma once

#include <string>

class QLineEdit;
class QWidget;

class CDataExchange {
public:
    CDataExchange(QWidget* dialog, bool bSaveAndValidate);

    bool m_bSaveAndValidate;  // true: controls to members, with the checks

    bool Ok() const { return !m_bFailed; }

    void Text(QLineEdit* edit, std::string& value);
    void Text(QLineEdit* edit, int& value);  // an integer in decimal
    // At most nBytes bytes of code-page text; loading also limits what the edit accepts.
    void MaxChars(QLineEdit* edit, const std::string& value, int nBytes);
    void MinMaxInt(QLineEdit* edit, int value, int nMin, int nMax);

private:
    void Fail(QLineEdit* edit, const std::string& message);

    QWidget* m_pDialog;
    bool m_bFailed = false;
};
