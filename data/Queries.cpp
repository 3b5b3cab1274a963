#include "data/Queries.h"

#include "data/SqlBuilder.h"
#include "data/SqlText.h"
#include "data/Statements.h"
#include "platform/Format.h"

namespace sql {

namespace {

using platform::StrFormat;

std::string Esc(const std::string& text) { return EscapeSqlText(text); }

std::string AgentCondition(const std::string& agentName) {
    if (agentName.empty()) return "";
    return std::string(kSqlAgentConditionHead) + Esc(agentName) + kSqlAgentConditionTail;
}

}  // namespace

std::string LoginSql(const std::string& userId, const std::string& agentName) {
    if (agentName.empty()) return StrFormat(kSqlLoginUser, Esc(userId).c_str());
    return StrFormat(kSqlLoginAgent, Esc(userId).c_str(), Esc(agentName).c_str());
}

std::string CallbackListSql(bool loanLayout, ListKind kind, const std::string& serviceId,
                            const std::string& firstDay, const std::string& lastDay,
                            const std::string& agentName) {
    if (!IsIntegerText(serviceId)) return std::string();
    const char* tail = nullptr;
    if (loanLayout) {
        tail = kind == ListKind::Unprocessed ? kSqlLoanUnprocessedTail
             : kind == ListKind::Processed   ? kSqlLoanProcessedTail
                                             : kSqlLoanAllTail;
    } else {
        tail = kind == ListKind::Unprocessed ? kSqlGeneralUnprocessedTail
             : kind == ListKind::Processed   ? kSqlGeneralProcessedTail
                                             : kSqlGeneralAllTail;
    }
    // Each layout's template is its prefix directly followed by the tail; the loan prefix
    // holds the period, the general tails hold it.
    std::string templ = std::string(loanLayout ? kSqlLoanListPrefix : kSqlGeneralListPrefix) + tail;
    std::string sql = StrFormat(templ.c_str(), serviceId.c_str(), Esc(firstDay).c_str(), Esc(lastDay).c_str());
    sql += AgentCondition(agentName);
    sql += kSqlListOrder;
    return sql;
}

std::string NewCountSql(const std::string& serviceId, const std::string& firstDay,
                        const std::string& lastDay, const std::string& agentName) {
    if (!IsIntegerText(serviceId)) return std::string();
    std::string templ = std::string(kSqlCountHead) + kSqlCountTabs + kSqlCountMiddle + kSqlCountTabs + kSqlCountTail;
    return StrFormat(templ.c_str(), serviceId.c_str(), Esc(firstDay).c_str(), Esc(lastDay).c_str()) +
           AgentCondition(agentName);
}

std::string ServiceComboSql(const std::string& userId) {
    return StrFormat(kSqlServiceCombo, Esc(userId).c_str());
}

std::string MarkProcessedSql(const std::string& acsId) {
    if (!IsIntegerText(acsId)) return std::string();
    return StrFormat(kSqlMarkProcessed, acsId.c_str());
}

std::string UpdateCommentSql(const std::string& memo, const std::string& acsId) {
    if (!IsIntegerText(acsId)) return std::string();
    return StrFormat(kSqlUpdateComment, Esc(memo).c_str(), acsId.c_str());
}

std::string UpdateAgentSql(const std::string& agentName, const std::string& acsId) {
    if (!IsIntegerText(acsId)) return std::string();
    return StrFormat(kSqlUpdateAgent, Esc(agentName).c_str(), acsId.c_str());
}

std::string AgentNamesSql(const std::string& userId) {
    return StrFormat(kSqlAgentNames, Esc(userId).c_str());
}

std::string CallbackRateSql(const std::string& userId, const std::string& firstDay,
                            const std::string& lastDay) {
    return StrFormat(kSqlCallbackRate, Esc(userId).c_str(), Esc(firstDay).c_str(), Esc(lastDay).c_str());
}

std::string DenyListSql(const std::string& firstDay, const std::string& lastDay,
                        const std::string& serviceId, const std::string& userId) {
    std::string filter = serviceId == kAllServicesId ? StrFormat(kSqlDenyFilterUser, Esc(userId).c_str())
                                                     : StrFormat(kSqlDenyFilterService, Esc(serviceId).c_str());
    return StrFormat(kSqlDenyList, Esc(firstDay).c_str(), Esc(lastDay).c_str(), filter.c_str());
}

std::string AgentListSql(const std::string& userId) {
    return StrFormat(kSqlAgentList, Esc(userId).c_str());
}

std::string AgentExistsSql(const std::string& userId, const std::string& agentName) {
    return StrFormat(kSqlAgentExists, Esc(userId).c_str(), Esc(agentName).c_str());
}

std::string AgentInsertSql(const std::string& userId, const std::string& agentName,
                           const std::string& password, int distCount) {
    CSqlBuilder builder(SQL_INSERT);
    builder.m_strTable = "USER_AGENT_INFO";
    builder.AddQuoted("USER_ID", userId);
    builder.AddQuoted("AGENT_NM", agentName);
    builder.AddQuoted("PASSWORD", password);
    builder.AddValue("DIST_COUNT", "%d", distCount);
    return builder.GetSql();
}

std::string AgentUpdateSql(const std::string& password, int distCount, int seqNo) {
    CSqlBuilder builder(SQL_UPDATE);
    builder.m_strTable = "USER_AGENT_INFO";
    builder.AddQuoted("PASSWORD", password);
    builder.AddValue("DIST_COUNT", "%d", distCount);
    builder.m_strWhere = StrFormat(kSqlAgentKeyCondition, seqNo);
    return builder.GetSql();
}

std::string AgentDeleteSql(int seqNo) { return StrFormat(kSqlAgentDelete, seqNo); }

std::string DistStatusSql(const std::string& userId, const std::string& firstDay,
                          const std::string& lastDay) {
    return StrFormat(kSqlDistStatus, Esc(userId).c_str(), Esc(firstDay).c_str(), Esc(lastDay).c_str());
}

}  // namespace sql
