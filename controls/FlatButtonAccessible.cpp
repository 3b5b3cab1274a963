#include "controls/FlatButtonAccessible.h"

#include <QKeySequence>
#include <QRegularExpression>

#include "controls/FlatButton.h"

namespace {

QAccessibleInterface* Factory(const QString& key, QObject* object) {
    if (key == QLatin1String("CFlatButton") && object != nullptr && object->isWidgetType()) {
        return new CFlatButtonAccessible(static_cast<CFlatButton*>(object));
    }
    return nullptr;
}

}  // namespace

CFlatButtonAccessible::CFlatButtonAccessible(CFlatButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

CFlatButton* CFlatButtonAccessible::Button() const { return static_cast<CFlatButton*>(widget()); }

void CFlatButtonAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&Factory);
        return true;
    }();
    (void)installed;
}

QString CFlatButtonAccessible::NameOfCaption(const QString& caption) {
    QString name = caption;
    // The mnemonic marker "(&X)" that ends most captions names a key, not the button.
    static const QRegularExpression marker(QStringLiteral("\\(&[^&)]\\)"));
    name.remove(marker);
    name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return name.simplified();
}

QString CFlatButtonAccessible::text(QAccessible::Text t) const {
    switch (t) {
        case QAccessible::Name:
            if (!Button()->accessibleName().isEmpty()) return Button()->accessibleName();
            return NameOfCaption(Button()->text());
        case QAccessible::Accelerator: {
            const QKeySequence key = QKeySequence::mnemonic(Button()->text());
            return key.isEmpty() ? QString() : key.toString(QKeySequence::NativeText);
        }
        default:
            return QAccessibleWidget::text(t);
    }
}

QAccessible::State CFlatButtonAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    CFlatButton* button = Button();
    state.pressed = button->isDown();
    state.hotTracked = button->IsHover();
    state.checkable = button->isCheckable();
    state.checked = button->isChecked();
    state.defaultButton = button->isDefault();
    return state;
}

QStringList CFlatButtonAccessible::actionNames() const {
    return Button()->isEnabled() ? QStringList{pressAction()} : QStringList();
}

void CFlatButtonAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction() && Button()->isEnabled()) Button()->click();
}

QStringList CFlatButtonAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName != pressAction()) return {};
    const QString key = text(QAccessible::Accelerator);
    return key.isEmpty() ? QStringList() : QStringList{key};
}
