#include "platform/qt/ByteLimitValidator.h"

#include "platform/CodePage.h"

namespace platform {

ByteLimitValidator::ByteLimitValidator(int maxBytes, QObject* parent)
    : QValidator(parent), maxBytes_(maxBytes) {}

QValidator::State ByteLimitValidator::validate(QString& input, int&) const {
    size_t bytes = Cp949ByteLength(input.toStdString());
    return bytes <= static_cast<size_t>(maxBytes_) ? Acceptable : Invalid;
}

void ByteLimitValidator::fixup(QString& input) const {
    input = QString::fromStdString(Cp949Truncate(input.toStdString(), static_cast<size_t>(maxBytes_)));
}

}  // namespace platform
