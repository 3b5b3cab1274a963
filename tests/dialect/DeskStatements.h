// The desk's statement templates (one copy, in data/Statements.h) under the names these
// tests use, and the display texts the statements produce.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "data/Statements.h"

namespace dialect_test {

// printf into a string: how the desk fills its templates.
inline std::string Fmt(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    char buf[4096];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

inline constexpr const auto& kLoginUser = sql::kSqlLoginUser;
inline constexpr const auto& kLoginAgent = sql::kSqlLoginAgent;
inline constexpr const auto& kServiceTypes = sql::kSqlServiceTypes;
inline constexpr const auto& kServiceType = sql::kSqlServiceType;
inline constexpr const auto& kMaxCallbackDist = sql::kSqlMaxCallbackDist;
inline constexpr const auto& kCallbackDist = sql::kSqlCallbackDist;
inline constexpr const auto& kNoReqDisp = sql::kSqlNoReqDisp;
inline constexpr const auto& kServiceCombo = sql::kSqlServiceCombo;
inline constexpr const auto& kLoanPrefix = sql::kSqlLoanListPrefix;
inline constexpr const auto& kGeneralPrefix = sql::kSqlGeneralListPrefix;
inline constexpr const auto& kLoanUnprocessedTail = sql::kSqlLoanUnprocessedTail;
inline constexpr const auto& kGeneralUnprocessedTail = sql::kSqlGeneralUnprocessedTail;
inline constexpr const auto& kLoanProcessedTail = sql::kSqlLoanProcessedTail;
inline constexpr const auto& kGeneralProcessedTail = sql::kSqlGeneralProcessedTail;
inline constexpr const auto& kLoanAllTail = sql::kSqlLoanAllTail;
inline constexpr const auto& kGeneralAllTail = sql::kSqlGeneralAllTail;
inline constexpr const auto& kAgentCondition = sql::kSqlAgentConditionHead;
inline constexpr const auto& kListOrder = sql::kSqlListOrder;
inline const std::string kCountStatement = std::string(sql::kSqlCountHead) + sql::kSqlCountTabs +
                                           sql::kSqlCountMiddle + sql::kSqlCountTabs + sql::kSqlCountTail;
inline constexpr const auto& kMarkPrinted = sql::kSqlMarkProcessed;
inline constexpr const auto& kSetComment = sql::kSqlUpdateComment;
inline constexpr const auto& kSetAgent = sql::kSqlUpdateAgent;
inline constexpr const auto& kAgentNames = sql::kSqlAgentNames;
inline constexpr const auto& kRateCall = sql::kSqlCallbackRate;
inline constexpr const auto& kOptOutList = sql::kSqlDenyList;
inline constexpr const auto& kAgentList = sql::kSqlAgentList;
inline constexpr const auto& kAgentExists = sql::kSqlAgentExists;
inline constexpr const auto& kAgentDelete = sql::kSqlAgentDelete;
inline constexpr const auto& kDistribution = sql::kSqlDistStatus;
inline constexpr const auto& kOptOutUserFilter = sql::kSqlDenyFilterUser;
inline constexpr const auto& kOptOutServiceFilter = sql::kSqlDenyFilterService;

// Display texts the statements produce, and the report procedure's name.
inline constexpr char kPaidOnBehalf[] = "대납";
inline constexpr char kCash[] = "현금";
inline constexpr char kUpTo5M[] = "500만이하";
inline constexpr char kOver5M[] = "500만이상";
inline constexpr char kUnprocessed[] = "미처리";
inline constexpr char kProcessed[] = "처리";
inline constexpr char kNotRequested[] = "미요청";
inline constexpr char kRequested[] = "요청";
inline constexpr char kGrandTotal[] = "총계";
inline constexpr char kUndistributed[] = "미분배";
inline constexpr char kSubtotal[] = "소계";
inline constexpr char kRateProcedure[] = "P_INB_콜백률조회";

}  // namespace dialect_test
