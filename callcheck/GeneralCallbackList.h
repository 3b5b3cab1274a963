// The callback lists of every other service type (and of a service whose type could not be
// read): twelve columns. The client library's row callback carries no context, so the class
// keeps the object last constructed (the callback reaches the view's list through it) and
// the row counter beside it, for the whole process.
#pragma once

#include <cstdint>
#include <string>

#include "controls/DialogTemplate.h"
#include "data/Queries.h"

class CCallCheckView;

class CGeneralCallbackList {
public:
    static constexpr ListColumn kColumns[] = {
        {"NO.", 50},
        {"ACS_ID", 0},
        {"서비스", 150},
        {"전화번호", 100},
        {"발신번호", 100},
        {"수신일자", 80},
        {"수신시각", 60},
        {"통화시간", 70},
        {"처리여부", 70},
        {"콜백요청", 70},
        {"메모", 200},
        {"분배상담원", 100},
    };

    explicit CGeneralCallbackList(CCallCheckView* pView);
    virtual ~CGeneralCallbackList();

    // Replaces the list's columns by this layout's.
    void InsertColumns();
    // The lists of one service and period (days as "%Y%m%d").
    void QueryUnprocessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryProcessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryAll(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    // One delivered row into the list, at the row counter.
    static int32_t GeneralListRowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns,
                                         const char* pszRow);

    static CGeneralCallbackList* LastConstructed() { return s_pLast; }
    static int RowCounter() { return s_nRow; }

    CCallCheckView* m_pView;

private:
    void Query(sql::ListKind kind, const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    static CGeneralCallbackList* s_pLast;
    static int s_nRow;
};
