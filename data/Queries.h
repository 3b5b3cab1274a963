// The statements as the desk formats them: a template from Statements.h, the values in their
// places (text values with quotes doubled), and the pieces that some statements append. The
// views and dialogs send exactly these texts. Keys placed without quotes (SVC_ID, ACS_ID)
// must be integers: for any other text the function returns an empty text, which the
// engine refuses, so a value such as "0 or 1=1" can never widen a statement.
#pragma once

#include <string>

namespace sql {

enum class ListKind { Unprocessed, Processed, All };

// The login check: the user form when agentName is empty, else the agent form.
std::string LoginSql(const std::string& userId, const std::string& agentName);

// A callback list of one service and period, loan layout (type 1) or general layout, with the
// agent condition when agentName is not empty, ordered by date and time.
std::string CallbackListSql(bool loanLayout, ListKind kind, const std::string& serviceId,
                            const std::string& firstDay, const std::string& lastDay,
                            const std::string& agentName);

// The new-record count, with the agent condition when agentName is not empty.
std::string NewCountSql(const std::string& serviceId, const std::string& firstDay,
                        const std::string& lastDay, const std::string& agentName);

std::string ServiceComboSql(const std::string& userId);
std::string MarkProcessedSql(const std::string& acsId);
std::string UpdateCommentSql(const std::string& memo, const std::string& acsId);
std::string UpdateAgentSql(const std::string& agentName, const std::string& acsId);
std::string AgentNamesSql(const std::string& userId);
std::string CallbackRateSql(const std::string& userId, const std::string& firstDay,
                            const std::string& lastDay);

// Service ID of the "all services" item of the opt-out view.
inline constexpr const char kAllServicesId[] = "99999999";
// The opt-out list: all services of userId when serviceId is kAllServicesId, else one service.
std::string DenyListSql(const std::string& firstDay, const std::string& lastDay,
                        const std::string& serviceId, const std::string& userId);

std::string AgentListSql(const std::string& userId);
std::string AgentExistsSql(const std::string& userId, const std::string& agentName);
std::string AgentInsertSql(const std::string& userId, const std::string& agentName,
                           const std::string& password, int distCount);
std::string AgentUpdateSql(const std::string& password, int distCount, int seqNo);
std::string AgentDeleteSql(int seqNo);
std::string DistStatusSql(const std::string& userId, const std::string& firstDay,
                          const std::string& lastDay);

}  // namespace sql
