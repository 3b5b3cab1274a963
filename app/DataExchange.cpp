#include "app/DataExchange.h"

#include <QLineEdit>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/CodePage.h"
#include "platform/MessageBox.h"
#include "platform/qt/ByteLimitValidator.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"

namespace {

// The framework's message templates name their values %1 and %2.
std::string Fill(std::string text, const std::string& first, const std::string& second = std::string()) {
    size_t at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, first);
    at = text.find("%2");
    if (at != std::string::npos) text.replace(at, 2, second);
    return text;
}

// Blanks, an optional sign, digits, blanks; nothing else.
bool ParseInt(const std::string& text, int& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    long parsed = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    while (*end != '\0' && std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (*end != '\0') return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

CDataExchange::CDataExchange(QWidget* dialog, bool bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDialog(dialog) {}

void CDataExchange::Fail(QLineEdit* edit, const std::string& message) {
    m_bFailed = true;
    platform::ShowMessageBox(platform::MessageOwner(m_pDialog), message, res::kAppTitle,
                             platform::MB_OK | platform::MB_ICONEXCLAMATION);
    if (edit != nullptr) {
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
    }
}

void CDataExchange::Text(QLineEdit* edit, std::string& value) {
    if (m_bFailed || edit == nullptr) return;
    if (m_bSaveAndValidate) {
        value = edit->text().toStdString();
    } else {
        edit->setText(QString::fromStdString(value));
    }
}

void CDataExchange::Text(QLineEdit* edit, int& value) {
    if (m_bFailed || edit == nullptr) return;
    if (m_bSaveAndValidate) {
        int parsed = 0;
        if (!ParseInt(edit->text().toStdString(), parsed)) {
            Fail(edit, res::kDdxParseInt);
            return;
        }
        value = parsed;
    } else {
        edit->setText(QString::number(value));
    }
}

void CDataExchange::MaxChars(QLineEdit* edit, const std::string& value, int nBytes) {
    if (m_bFailed || edit == nullptr) return;
    if (m_bSaveAndValidate) {
        if (platform::Cp949ByteLength(value) > static_cast<size_t>(nBytes)) {
            Fail(edit, Fill(res::kDdxMaxChars, std::to_string(nBytes)));
        }
    } else {
        auto* limit = qobject_cast<const platform::ByteLimitValidator*>(edit->validator());
        if (limit == nullptr || limit->MaxBytes() != nBytes) {
            edit->setValidator(new platform::ByteLimitValidator(nBytes, edit));
        }
    }
}

void CDataExchange::MinMaxInt(QLineEdit* edit, int value, int nMin, int nMax) {
    if (m_bFailed || edit == nullptr || !m_bSaveAndValidate) return;
    if (value < nMin || value > nMax) {
        Fail(edit, Fill(res::kDdxIntRange, std::to_string(nMin), std::to_string(nMax)));
    }
}
