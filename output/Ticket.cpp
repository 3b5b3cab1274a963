#include "output/Ticket.h"

#include "output/MiniPrinter.h"
#include "platform/Format.h"

namespace {

constexpr char kLinePhone[] = "전화번호: %s";
constexpr char kLineCaller[] = "발신번호: %s";
constexpr char kLineDialTime[] = "통화시각: %s %s ";
constexpr char kLineListening[] = "청취시간: %s ";
constexpr char kLineLoanType[] = "대출유형: %s ";
constexpr char kLineAmount[] = "금액: %s ";

constexpr char kFontFace[] = "Arial";
constexpr int kFontSize = 12;       // points; every line uses this one
constexpr int kLargeFontSize = 16;  // points; the set's second size
constexpr int kMarginTop = 20;
constexpr int kMarginBottom = 130;
constexpr int kMarginLeft = 20;
constexpr int kMarginRight = 10;
constexpr int kLineSpacing = 2;

}  // namespace

std::vector<std::string> TicketLines(const TicketFields& fields, bool loanLayout) {
    using platform::StrFormat;
    std::vector<std::string> lines{
        StrFormat(kLinePhone, fields.recvPhone.c_str()),
        StrFormat(kLineCaller, fields.callerId.c_str()),
        StrFormat(kLineDialTime, fields.dialDate.c_str(), fields.dialTime.c_str()),
        StrFormat(kLineListening, fields.commTime.c_str()),
    };
    if (loanLayout) {
        lines.push_back(StrFormat(kLineLoanType, fields.loanType.c_str()));
        lines.push_back(StrFormat(kLineAmount, fields.amount.c_str()));
    }
    return lines;
}

bool PrintTicket(const std::string& printerName, const TicketFields& fields, bool loanLayout,
                 std::string* failure) {
    CMiniPrinter printer;
    // The first failure and its reason; the later steps fail because of it.
    std::string why;
    const auto succeeded = [&](int result, const char* step) {
        if (result != 0 && why.empty()) {
            why = step;
            const std::string reason = printer.LastError();
            if (!reason.empty()) why += ": " + reason;
        }
        return result == 0;
    };
    // The whole sequence runs even after a failure: a started job is always ended, and
    // without a printer the remaining calls do nothing.
    const bool opened = succeeded(printer.OpenPrinter(printerName), "printer not found");
    const bool started = succeeded(printer.StartJob(), "job not started");
    printer.CreateFontSet(kFontFace, kFontSize, kLargeFontSize);
    printer.SetMargins(kMarginTop, kMarginBottom, kMarginLeft, kMarginRight);
    printer.SetLineSpacing(kLineSpacing);
    const bool paged = succeeded(printer.BeginPage(), "page not started");
    for (const std::string& line : TicketLines(fields, loanLayout)) printer.PrintLine(line, PRINT_LEFT, 0);
    printer.FinishPage();
    // A job that could not be finished, or that the queue refused, did not print.
    const bool ended = succeeded(printer.EndJob(), "job not taken");
    if (failure != nullptr) *failure = why;
    return opened && started && paged && ended;
}
