// The button mnemonics of one form or dialog: Alt and a button's underlined letter press that
// button wherever the keyboard focus is inside the window that holds the form (for a form
// view, its child frame), and before any shortcut of the frame around it. The main frame's
// menu uses some of the same letters; the form that has the focus keeps its own.
#pragma once

#include <QObject>

class QAbstractButton;
class QKeyEvent;
class QWidget;

class CButtonMnemonics : public QObject {
    Q_OBJECT
public:
    // Watches the keys of the application for the buttons under scope; lives as long as it.
    explicit CButtonMnemonics(QWidget* scope);

    // The enabled, visible button under scope whose mnemonic the key is; null when none.
    QAbstractButton* ButtonFor(const QKeyEvent& key) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether a key sent to receiver is typed inside the scope's window.
    bool Inside(const QObject* receiver) const;

    QWidget* m_pScope;
};
