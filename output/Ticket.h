// The receipt ticket of one callback request: which lines, in which font and layout, and
// printing it as one job of one page on the receipt printer.
#pragma once

#include <string>
#include <vector>

struct TicketFields {
    std::string recvPhone;  // RECV_PHONE
    std::string callerId;   // CALLER_ID
    std::string dialDate;   // DIAL_DATE
    std::string dialTime;   // DIAL_TIME
    std::string commTime;   // COMM_TIME, the listening time
    std::string loanType;   // TYPE, loan layout only
    std::string amount;     // AMT, loan layout only
};

// The ticket's lines in print order: four, or six in the loan layout (type-1 services).
std::vector<std::string> TicketLines(const TicketFields& fields, bool loanLayout);

// Prints the ticket on the named printer. True when the printer opened, the job and its
// page started and the printer took the finished job; false means nobody will see it, and
// failure (when given) then says why.
bool PrintTicket(const std::string& printerName, const TicketFields& fields, bool loanLayout,
                 std::string* failure = nullptr);
