#include "controls/ButtonMnemonics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>

namespace {

// Only Alt, perhaps with Shift, selects a mnemonic; Ctrl and the logo key belong to others.
bool IsMnemonicChord(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::AltModifier;
}

// The window the scope lives in: a dialog, or the child frame around a form view.
QWidget* WindowOf(QWidget* scope) {
    for (QWidget* w = scope; w != nullptr; w = w->parentWidget()) {
        if (w->isWindow() || w->windowType() == Qt::SubWindow) return w;
    }
    return scope;
}

}  // namespace

CButtonMnemonics::CButtonMnemonics(QWidget* scope) : QObject(scope), m_pScope(scope) {
    qApp->installEventFilter(this);
}

QAbstractButton* CButtonMnemonics::ButtonFor(const QKeyEvent& key) const {
    if (!IsMnemonicChord(key)) return nullptr;
    for (QAbstractButton* button : m_pScope->findChildren<QAbstractButton*>()) {
        if (!button->isVisible() || !button->isEnabled()) continue;
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        if (!mnemonic.isEmpty() && mnemonic[0].key() == static_cast<Qt::Key>(key.key())) return button;
    }
    return nullptr;
}

bool CButtonMnemonics::Inside(const QObject* receiver) const {
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    if (widget == nullptr) return false;
    const QWidget* window = WindowOf(m_pScope);
    return widget == window || window->isAncestorOf(widget);
}

bool CButtonMnemonics::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!Inside(watched)) return false;
    QAbstractButton* button = ButtonFor(*key);
    if (button == nullptr) return false;
    // Claiming the override keeps the key from the shortcuts (the main frame's menu among
    // them); the key press that follows presses the button.
    key->accept();
    // Holding the keys down presses it once.
    if (type == QEvent::KeyPress && !key->isAutoRepeat()) button->animateClick();
    return true;
}
