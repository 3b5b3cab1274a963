// The callback lists of the callback-request view: the loan layout (services of type 1) and
// the general layout (every other type) are two configurations of one class, differing in
// their column table and in whether the statements are the loan layout's. The view chooses
// one of them when a service is chosen.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "controls/DialogTemplate.h"
#include "data/Queries.h"
#include "data/RdbClient.h"

class CCallCheckView;

namespace callcheck {

// The texts of the list queries, byte for byte.
inline constexpr char kMsgNoCallbackData[] = "지정된 기간에 대한 콜백 자료가 없습니다.";
inline constexpr char kMsgNoMatchingData[] = "지정된 조건에 맞는 데이터가 없습니다.";
inline constexpr char kLogQueryCompleteList[] = "CCallCheckView::OnButtonQueryCompleteList sql(%s)";

}  // namespace callcheck

class CCallbackList {
public:
    virtual ~CCallbackList();

    // Replaces the list's columns by this layout's.
    void InsertColumns();
    // The lists of one service and period (days as "%Y%m%d").
    void QueryUnprocessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryProcessed(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);
    void QueryAll(const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    CCallCheckView* m_pView;

    // What the row callback of a layout needs for the whole process: the object of that
    // layout last constructed (the callback reaches the view's list through it) and the
    // row counter.
    struct RowTarget {
        CCallbackList* last = nullptr;
        int row = 0;
    };

protected:
    CCallbackList(CCallCheckView* pView, std::span<const ListColumn> columns, bool bLoanLayout, RowTarget& target,
                  RDBEventCallBackFN rowCallback);
    // One delivered row into the list of target's object, at its row counter.
    static int32_t InsertRow(RowTarget& target, int32_t nColumns, const char* pszRow);

private:
    void Query(sql::ListKind kind, const std::string& serviceId, const std::string& firstDay, const std::string& lastDay);

    std::span<const ListColumn> m_columns;
    bool m_bLoanLayout;
    RowTarget& m_target;
    RDBEventCallBackFN m_rowCallback;
};

// Services of type 1 (loan consultations): fourteen columns with the loan type and amount.
class CLoanCallbackList : public CCallbackList {
public:
    explicit CLoanCallbackList(CCallCheckView* pView);
    static int32_t LoanListRowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);
};

// Every other service type, and a service whose type could not be read: twelve columns.
class CGeneralCallbackList : public CCallbackList {
public:
    explicit CGeneralCallbackList(CCallCheckView* pView);
    static int32_t GeneralListRowCallback(int32_t nUnused, int32_t nRequestId, int32_t nColumns, const char* pszRow);
};
