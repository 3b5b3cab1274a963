// Statement templates exactly as the desk formats them (blanks and tabs included).
#pragma once

namespace dialect_test {

inline constexpr char kLoginUser[] =
    "select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = '%s' ";
inline constexpr char kLoginAgent[] =
    "select u.USER_ID, u.USER_NM, a.AGENT_NM, a.PASSWORD  from USER_INFO u join USER_AGENT_INFO a on u.USER_ID = a.USER_ID where u.USER_ID = '%s' and AGENT_NM = '%s' ";
inline constexpr char kServiceTypes[] =
    "select SVC_TYPE from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in (1,2)";
inline constexpr char kServiceType[] =
    "select SVC_TYPE from SERVICE_INFO where SVC_ID = %d ";
inline constexpr char kMaxCallbackDist[] =
    "select max(CALLBACK_DIST) from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in (1,2) group by USER_ID";
inline constexpr char kCallbackDist[] =
    "select CALLBACK_DIST from SERVICE_INFO where SVC_ID = %d";
inline constexpr char kNoReqDisp[] =
    "select NO_REQ_DISP from SERVICE_INFO where SVC_ID = %d ";
inline constexpr char kServiceCombo[] =
    "select SVC_ID, SVC_NM from SERVICE_INFO where USER_ID = '%s' and SVC_TYPE in(1,2,3) order by SVC_ID ";
inline constexpr char kLoanPrefix[] =
    "select ACS_ID, convert(varchar,r.SVC_ID)+'.'+SVC_NM, dbo.F_FMT_TEL(RECV_PHONE) RECV_PHONE, dbo.F_FMT_TEL(CALLER_ID) CALLER_ID, TYPE = case when(CUST_INFO<>'' and substring(CUST_INFO,1,1) = '1') then '대납'              when(CUST_INFO<>'' and substring(CUST_INFO,1,1) = '2') then '현금' else '' end,  AMT  = case when(CUST_INFO<>'' and substring(CUST_INFO,2,1) = '1') then '500만이하'              when(CUST_INFO<>'' and substring(CUST_INFO,2,1) = '2') then '500만이상' else '' end,  dbo.F_FMT_DATE(DIAL_DATE)DIAL_DATE, dbo.F_FMT_TIME(DIAL_TIME)DIAL_TIME,  IS_PRINT = case when(IS_PRINT='0') then '미처리' else '처리' end,  r.COMMENT, COMM_TIME,  IS_CALLBACK = case when(IS_CALLBACK='0') then '미요청' else '요청' end,  AGENT_NM  from RST_INB r join SERVICE_INFO s with(nolock) on r.SVC_ID = s.SVC_ID  where r.SVC_ID = %s and DIAL_DATE between '%s' and '%s' and ";
inline constexpr char kGeneralPrefix[] =
    "select r.ACS_ID, convert(varchar,r.SVC_ID) + '.' + SVC_NM, dbo.F_FMT_TEL(RECV_PHONE)RECV_PHONE, dbo.F_FMT_TEL(CALLER_ID)CALLER_ID,  dbo.F_FMT_DATE(DIAL_DATE) DIAL_DATE, dbo.F_FMT_TIME(DIAL_TIME)DIAL_TIME, r.COMM_TIME,  IS_PRINT = case when(IS_PRINT='0') then '미처리' else '처리' end,  IS_CALLBACK = case when(IS_CALLBACK='0') then '미요청' else '요청' end, r.COMMENT, AGENT_NM  from RST_INB r join SERVICE_INFO s on r.SVC_ID = s.SVC_ID  where r.SVC_ID = %s and ";
inline constexpr char kLoanUnprocessedTail[] =
    "IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
inline constexpr char kGeneralUnprocessedTail[] =
    "r.DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
inline constexpr char kLoanProcessedTail[] =
    "IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '1' ";
inline constexpr char kGeneralProcessedTail[] =
    "r.DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '1' ";
inline constexpr char kLoanAllTail[] =
    "RES_REPLY <> '9' ";
inline constexpr char kGeneralAllTail[] =
    "DIAL_DATE between '%s' and '%s' and RES_REPLY <> '9' ";
inline constexpr char kAgentCondition[] =
    "and AGENT_NM = '";
inline constexpr char kListOrder[] =
    " order by DIAL_DATE, DIAL_TIME ";
inline constexpr char kCountStatement[] =
    "select count(*) as CNT \t\t  from RST_INB r (index(XIE7RST_INB,XIE4RST_INB),nolock) join SERVICE_INFO s on r.SVC_ID = s.SVC_ID \t\t  where r.SVC_ID = %s and DIAL_DATE between '%s' and '%s' and IS_CALLBACK = '1' and IS_DELETE = '0' and IS_PRINT = '0' ";
inline constexpr char kMarkPrinted[] =
    "update RST_INB set IS_PRINT = '1' where ACS_ID = %s ";
inline constexpr char kSetComment[] =
    "update RST_INB set COMMENT = '%s' where ACS_ID = %s ";
inline constexpr char kSetAgent[] =
    "update RST_INB set AGENT_NM = '%s' where ACS_ID = %s ";
inline constexpr char kAgentNames[] =
    "select AGENT_NM from USER_AGENT_INFO where USER_ID = '%s' order by AGENT_NM ";
inline constexpr char kRateCall[] =
    "{call P_INB_콜백률조회( '%s', '%s', '%s')}";
inline constexpr char kOptOutList[] =
    "select convert(varchar,r.SVC_ID) + '.' + SVC_NM, RECV_PHONE, CALLER_ID,\t\tr.DIAL_DATE, DIAL_TIME, r.ACS_ID from RST_INB r \t\tjoin SERVICE_INFO s on r.SVC_ID = s.SVC_ID \t\twhere r.DIAL_DATE between '%s' and '%s' and RES_REPLY = '9' %s \t\torder by DIAL_TIME ";
inline constexpr char kAgentList[] =
    "select SEQ_NO, AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO where USER_ID = '%s' order by AGENT_NM";
inline constexpr char kAgentExists[] =
    "select * from USER_AGENT_INFO where USER_ID = '%s' and AGENT_NM = '%s'";
inline constexpr char kAgentDelete[] =
    "delete from USER_AGENT_INFO where SEQ_NO = %d ";
inline constexpr char kDistribution[] =
    "select AGENT_NM = case when(grouping(AGENT_NM) = 1 and grouping(DIAL_DATE)=1) then '총계' else isnull(AGENT_NM,'미분배') end, DIAL_DATE = case when(grouping(AGENT_NM) = 1 and grouping(DIAL_DATE)=1) then '-' when(grouping(DIAL_DATE)=1) then '소계' else DIAL_DATE end, CNT = count(*) from RST_INB where USER_ID = '%s' and DIAL_DATE between '%s' and '%s'  and IS_CALLBACK = '1' and IS_DELETE = '0'  group by AGENT_NM, DIAL_DATE with rollup ";
inline constexpr char kOptOutUserFilter[] =
    " and r.USER_ID = '%s' ";
inline constexpr char kOptOutServiceFilter[] =
    " and r.SVC_ID = '%s' ";

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
