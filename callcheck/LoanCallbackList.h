// The callback lists of services of type 1 (loan consultations): fourteen columns with the
// loan type and amount. The client library's row callback carries no context, so the class
// keeps the object last constructed (the callback reaches the view's list through it) and
// the row counter beside it, for the whole process.
#pragma once

#include <cstdint>
#include <string>

#include "controls/DialogTemplate.h"
#include "data/Queries.h"

class CCallCheckView;

class CLoanCallbackList {
public:
    static constexpr ListColumn kColumns[] = {
        {"NO.", 50},
        {"ACS_ID", 0},
        {"서비스", 150},
        {"전화번호", 100},
        {"발신번호", 100},
        {"유형", 40},
        {"금액", 80},
        {"수신일자", 80},
        {"수신시각", 60},
        {"처리여부", 60},
        {"메모", 200},
        {"통화시간", 70},
        {"상담요청", 80},
        {"분배상담원", 100},
    };

    explicit CLoanCallbackList(CCallCheckView* pView);
    virtual ~CLoanCallbackList();

    // Replaces the list's columns by this layout's.
    void InsertColumns();
    // The lists of one service and period (days as "%Y%m%d").
    void QueryUnprocessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryProcessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryAll(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    // One delivered row into the list, at the row counter.
    static int32_t LoanListRowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns,
                                      const char* pszRow);

    static CLoanCallbackList* LastConstructed() { return s_pLast; }
    static int RowCounter() { return s_nRow; }

    CCallCheckView* m_pView;

private:
    void Query(sql::ListKind kind, const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    static CLoanCallbackList* s_pLast;
    static int s_nRow;
};
