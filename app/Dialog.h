// A modal dialog built from a dialog template: OnInitDialog runs once, just before the
// dialog first becomes visible; button 1 runs OnOK (exchange the fields, then close) and
// button 2 OnCancel; Enter without a default button means OK, Escape means Cancel.
#pragma once

#include <QDialog>

#include "controls/DialogTemplate.h"
#include "controls/FormBuilder.h"

class CDataExchange;

class CDialog : public QDialog {
    Q_OBJECT
public:
    CDialog(const DlgTemplate& templ, QWidget* parent);

    // Runs the dialog modally; the result is 1 (OK) or 2 (Cancel).
    int DoModal();

    QWidget* GetDlgItem(int id) const { return m_form.GetDlgItem(id); }
    template <class T>
    T* Item(int id) const {
        return m_form.Item<T>(id);
    }

    // Members to controls (false) or controls to members with the field rules (true).
    bool UpdateData(bool bSaveAndValidate = true);

    void setVisible(bool visible) override;
    void accept() override;
    void reject() override;

protected:
    virtual bool OnInitDialog();  // puts the members into the controls
    virtual void DoDataExchange(CDataExchange& dx);
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);

    void keyPressEvent(QKeyEvent* event) override;

    CFormBuilder m_form;

private:
    bool m_bInitialized = false;
};
