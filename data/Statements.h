// Every statement the desk sends, in one place: callers format these templates (values
// between single quotes go through EscapeSqlText first) and tests compare what was
// logged and sent against the same texts. Blanks, tabs and trailing blanks are part of
// the texts.
#pragma once

namespace sql {

// The user login check (user ID).
inline constexpr const char kSqlLoginUser[] = "select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = '%s' ";
// The agent login check (user ID, agent name).
inline constexpr const char kSqlLoginAgent[] = "select u.USER_ID, u.USER_NM, a.AGENT_NM, a.PASSWORD  from USER_INFO u join USER_AGENT_INFO a on u.USER_ID = a.USER_ID where u.USER_ID = '%s' and AGENT_NM = '%s' ";
// Service types 1 and 2 of the user.
inline constexpr const char kSqlServiceTypes[] = "select SVC_TYPE from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in (1,2)";
// Type of one service.
inline constexpr const char kSqlServiceType[] = "select SVC_TYPE from SERVICE_INFO where SVC_ID = %d ";
// Largest CALLBACK_DIST of the user's services of type 1 and 2.
inline constexpr const char kSqlMaxCallbackDist[] = "select max(CALLBACK_DIST) from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in (1,2) group by USER_ID";
// CALLBACK_DIST of one service.
inline constexpr const char kSqlCallbackDist[] = "select CALLBACK_DIST from SERVICE_INFO where SVC_ID = %d";
// NO_REQ_DISP of one service.
inline constexpr const char kSqlNoReqDisp[] = "select NO_REQ_DISP from SERVICE_INFO where SVC_ID = %d ";
// The service combo items of the user (types 1, 2, 3).
inline constexpr const char kSqlServiceCombo[] = "select SVC_ID, SVC_NM from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in(1,2,3) order by SVC_ID ";
// Callback lists, loan layout (type 1 services): the prefix; a tail follows.
inline constexpr const char kSqlLoanListPrefix[] = "select ACS_ID, convert(varchar,r.SVC_ID)+'.'+SVC_NM, dbo.F_FMT_TEL(RECV_PHONE) RECV_PHONE, dbo.F_FMT_TEL(CALLER_ID) CALLER_ID, TYPE = case when(CUST_INFO<>'' and substring(CUST_INFO,1,1) = '1') then '대납'              when(CUST_INFO<>'' and substring(CUST_INFO,1,1) = '2') then '현금' else '' end,  AMT  = case when(CUST_INFO<>'' and substring(CUST_INFO,2,1) = '1') then '500만이하'              when(CUST_INFO<>'' and substring(CUST_INFO,2,1) = '2') then '500만이상' else '' end,  dbo.F_FMT_DATE(DIAL_DATE)DIAL_DATE, dbo.F_FMT_TIME(DIAL_TIME)DIAL_TIME,  IS_PRINT = case when(IS_PRINT='0') then '미처리' else '처리' end,  r.COMMENT, COMM_TIME,  IS_CALLBACK = case when(IS_CALLBACK='0') then '미요청' else '요청' end,  AGENT_NM  from RST_INB r join SERVICE_INFO s with(nolock) on r.SVC_ID = s.SVC_ID  where r.SVC_ID = %s and DIAL_DATE between '%s' and '%s' and ";
// Callback lists, general layout: the prefix; a tail follows.
inline constexpr const char kSqlGeneralListPrefix[] = "select r.ACS_ID, convert(varchar,r.SVC_ID) + '.' + SVC_NM, dbo.F_FMT_TEL(RECV_PHONE)RECV_PHONE, dbo.F_FMT_TEL(CALLER_ID)CALLER_ID,  dbo.F_FMT_DATE(DIAL_DATE) DIAL_DATE, dbo.F_FMT_TIME(DIAL_TIME)DIAL_TIME, r.COMM_TIME,  IS_PRINT = case when(IS_PRINT='0') then '미처리' else '처리' end,  IS_CALLBACK = case when(IS_CALLBACK='0') then '미요청' else '요청' end, r.COMMENT, AGENT_NM  from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID  where r.SVC_ID = %s and ";
inline constexpr const char kSqlLoanUnprocessedTail[] = "IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
inline constexpr const char kSqlLoanProcessedTail[] = "IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '1' ";
inline constexpr const char kSqlLoanAllTail[] = "RES_REPLY <> '9' ";
inline constexpr const char kSqlGeneralUnprocessedTail[] = "r.DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
inline constexpr const char kSqlGeneralProcessedTail[] = "r.DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '1' ";
inline constexpr const char kSqlGeneralAllTail[] = "DIAL_DATE between '%s' and '%s' and RES_REPLY <> '9' ";
// An agent's lists and count: head, the agent name, tail.
inline constexpr const char kSqlAgentConditionHead[] = "and AGENT_NM = '";
inline constexpr const char kSqlAgentConditionTail[] = "'";
// Ordering of the callback lists.
inline constexpr const char kSqlListOrder[] = " order by DIAL_DATE, DIAL_TIME ";
// The new-record count: head, two tabs, middle, two tabs, tail.
inline constexpr const char kSqlCountHead[] = "select count(*) as CNT ";
inline constexpr const char kSqlCountMiddle[] = "  from RST_INB r (index(XIE7RST_INB,XIE4RST_INB),nolock) join SERVICE_INFO s on r.SVC_ID = s.SVC_ID ";
inline constexpr const char kSqlCountTail[] = "  where r.SVC_ID = %s and DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
// Marks one record processed (ticket printed or completed).
inline constexpr const char kSqlMarkProcessed[] = "update RST_INB set IS_PRINT = '1' where ACS_ID = %s ";
// The memo of one record.
inline constexpr const char kSqlUpdateComment[] = "update RST_INB set COMMENT = '%s' where ACS_ID = %s ";
// Hands one record to an agent.
inline constexpr const char kSqlUpdateAgent[] = "update RST_INB set AGENT_NM = '%s' where ACS_ID = %s ";
// Agent names of the user, for manual distribution.
inline constexpr const char kSqlAgentNames[] = "select AGENT_NM from USER_AGENT_INFO where USER_ID = '%s' order by AGENT_NM ";
// The callback-rate report (user ID, first day, last day).
inline constexpr const char kSqlCallbackRate[] = "{call P_INB_콜백률조회( '%s', '%s', '%s')}";
// The opt-out list (first day, last day, filter).
inline constexpr const char kSqlDenyList[] = "select convert(varchar,r.SVC_ID) + '.' + SVC_NM, RECV_PHONE, CALLER_ID,\t\tr.DIAL_DATE, DIAL_TIME, r.ACS_ID from RST_INB r \t\tjoin SERVICE_INFO s on r.SVC_ID = s.SVC_ID \t\twhere r.DIAL_DATE between '%s' and '%s' and RES_REPLY = '9' %s \t\torder by DIAL_TIME ";
// Opt-out filter for all services of the user.
inline constexpr const char kSqlDenyFilterUser[] = " and r.USER_ID = '%s' ";
// Opt-out filter for one service.
inline constexpr const char kSqlDenyFilterService[] = " and r.SVC_ID = '%s' ";
// Agents of the user.
inline constexpr const char kSqlAgentList[] = "select SEQ_NO, AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO where USER_ID = '%s' order by AGENT_NM";
// Duplicate agent name test.
inline constexpr const char kSqlAgentExists[] = "select * from USER_AGENT_INFO where USER_ID = '%s' and AGENT_NM = '%s'";
// Deletes one agent.
inline constexpr const char kSqlAgentDelete[] = "delete from USER_AGENT_INFO where SEQ_NO = %d ";
// Condition of the agent update.
inline constexpr const char kSqlAgentKeyCondition[] = "SEQ_NO = %d";
// Distribution status with subtotals (user ID, first day, last day).
inline constexpr const char kSqlDistStatus[] = "select AGENT_NM = case when(grouping(AGENT_NM) = 1 and grouping(DIAL_DATE)=1) then '총계' else isnull(AGENT_NM,'미분배') end, DIAL_DATE = case when(grouping(AGENT_NM) = 1 and grouping(DIAL_DATE)=1) then '-' when(grouping(DIAL_DATE)=1) then '소계' else DIAL_DATE end, CNT = count(*) from RST_INB where USER_ID = '%s' and DIAL_DATE between '%s' and '%s'  and IS_CALLBACK = '1' and IS_DELETE = '0'  group by AGENT_NM, DIAL_DATE with rollup ";
inline constexpr const char kSqlCountTabs[] = "\t\t";

}  // namespace sql
