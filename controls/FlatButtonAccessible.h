// What screen readers and UI automation learn of a flat button: a push button named by its
// caption (without the mnemonic marker and line breaks the narrow buttons carry), its
// shortcut, and whether it is pressed, hovered, disabled or focused.
#pragma once

#include <QAccessibleWidget>

class CFlatButton;

class CFlatButtonAccessible : public QAccessibleWidget {
public:
    explicit CFlatButtonAccessible(CFlatButton* button);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    // "처리\n리스트(&B)" -> "처리 리스트"; a '&' doubled to show itself stays one '&'.
    static QString NameOfCaption(const QString& caption);

    // Makes the interface the one the accessibility framework hands out for flat buttons.
    static void Install();

private:
    CFlatButton* Button() const;
};
