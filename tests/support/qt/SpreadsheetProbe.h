// For tests: while it lives, sees every spreadsheet application created. It can refuse
// the creation (as on a desk without a spreadsheet program) and keeps the call log of the
// last application after the application is gone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/Spreadsheet.h"

namespace platform::spreadsheet {

class SpreadsheetProbe : public CreationObserver {
public:
    SpreadsheetProbe();
    ~SpreadsheetProbe() override;
    SpreadsheetProbe(const SpreadsheetProbe&) = delete;
    SpreadsheetProbe& operator=(const SpreadsheetProbe&) = delete;

    void RefuseCreation(bool refuse) { refuse_ = refuse; }

    bool ApproveCreation() override;
    void Created(std::shared_ptr<const CallLog> calls) override;

    int Attempts() const { return attempts_; }  // creations asked for, refused ones included
    int Created() const { return created_; }
    // The last application's calls; empty when none was created.
    const CallLog& LastCalls() const;
    std::vector<std::string> LastCallTexts() const { return LastCalls().Describe(); }

private:
    bool refuse_ = false;
    int attempts_ = 0;
    int created_ = 0;
    std::shared_ptr<const CallLog> last_;
    CreationObserver* previous_;
};

}  // namespace platform::spreadsheet
