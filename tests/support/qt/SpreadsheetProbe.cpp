#include "tests/support/qt/SpreadsheetProbe.h"

namespace platform::spreadsheet {

SpreadsheetProbe::SpreadsheetProbe() : previous_(SetCreationObserver(this)) {}

SpreadsheetProbe::~SpreadsheetProbe() { SetCreationObserver(previous_); }

bool SpreadsheetProbe::ApproveCreation() {
    ++attempts_;
    return !refuse_;
}

void SpreadsheetProbe::Created(std::shared_ptr<const CallLog> calls) {
    ++created_;
    last_ = std::move(calls);
}

const CallLog& SpreadsheetProbe::LastCalls() const {
    static const CallLog none;
    return last_ != nullptr ? *last_ : none;
}

}  // namespace platform::spreadsheet
