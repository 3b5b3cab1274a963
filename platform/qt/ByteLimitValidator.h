// Limits an edit to a number of bytes of Korean code-page text (ASCII one byte, any other
// character two), typing and pasting alike, as the edit controls' text limit did.
#pragma once

#include <QValidator>

namespace platform {

class ByteLimitValidator : public QValidator {
    Q_OBJECT
public:
    ByteLimitValidator(int maxBytes, QObject* parent);

    int MaxBytes() const { return maxBytes_; }
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    int maxBytes_;
};

}  // namespace platform
