#include "app/Dialog.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>

#include "app/DataExchange.h"
#include "controls/ButtonMnemonics.h"
#include "res/Resource.h"

CDialog::CDialog(const DlgTemplate& templ, QWidget* parent) : QDialog(parent), m_form(this) {
    m_form.Build(templ);
    new CButtonMnemonics(this);  // Alt and a button's letter, wherever the focus is inside
    setFixedSize(m_form.FormSize());
    if (templ.caption != nullptr) setWindowTitle(QString::fromUtf8(templ.caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDOK))) {
        connect(ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(GetDlgItem(IDCANCEL))) {
        connect(cancel, &QAbstractButton::clicked, this, [this] { OnCancel(); });
    }
}

int CDialog::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(dx);
    return dx.Ok();
}

void CDialog::setVisible(bool visible) {
    if (visible && !m_bInitialized) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
    if (nResult == IDOK) {
        QDialog::accept();
    } else {
        QDialog::reject();
    }
}

void CDialog::accept() { OnOK(); }

void CDialog::reject() { OnCancel(); }

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier || (event->modifiers() & Qt::KeypadModifier)) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            // The default button (or the focused button) answers Enter; without one it is OK.
            for (QPushButton* button : findChildren<QPushButton*>()) {
                if (button->isVisible() && button->isEnabled() && (button->isDefault() || button->hasFocus())) {
                    button->click();
                    return;
                }
            }
            OnOK();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
