#include "platform/qt/QtMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

QMessageBox::Icon IconOf(unsigned type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONEXCLAMATION: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

QString Text(const std::string& text) {
    // Message texts end their lines with CR LF; a box needs only the line feed.
    QString result = QString::fromStdString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

}  // namespace

QtMessagePresenter::QtMessagePresenter(MessageButtonTexts texts) : texts_(std::move(texts)) {}

int QtMessagePresenter::Show(const MessageBoxRequest& request) {
    auto* owner = static_cast<QWidget*>(const_cast<void*>(request.owner));
    if (owner == nullptr) owner = QApplication::activeWindow();
    QMessageBox box(IconOf(request.type), QString::fromStdString(request.caption), Text(request.text),
                    QMessageBox::NoButton, owner);
    struct Choice {
        QAbstractButton* button;
        int result;
    };
    std::vector<Choice> choices;
    auto add = [&](const std::string& text, QMessageBox::ButtonRole role, int result) {
        QPushButton* button = box.addButton(QString::fromStdString(text), role);
        choices.push_back({button, result});
        return button;
    };
    switch (request.type & MB_TYPEMASK) {
        case MB_YESNO: {
            box.setDefaultButton(add(texts_.yes, QMessageBox::YesRole, IDYES));
            // Escape and the close box answer No, the answer that changes nothing.
            box.setEscapeButton(add(texts_.no, QMessageBox::NoRole, IDNO));
            break;
        }
        case MB_OKCANCEL: {
            box.setDefaultButton(add(texts_.ok, QMessageBox::AcceptRole, IDOK));
            box.setEscapeButton(add(texts_.cancel, QMessageBox::RejectRole, IDCANCEL));
            break;
        }
        default: {
            QPushButton* ok = add(texts_.ok, QMessageBox::AcceptRole, IDOK);
            box.setDefaultButton(ok);
            box.setEscapeButton(ok);
            break;
        }
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const Choice& choice : choices) {
        if (choice.button == clicked) return choice.result;
    }
    return (request.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDCANCEL;
}

}  // namespace platform
