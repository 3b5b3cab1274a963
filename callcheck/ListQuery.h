// What every list query of the callback-request view shares, whatever its statement: the
// log line, the rows delivered into the view's list, the arrow cursor afterwards, and the
// no-data message or the database error. Also the filling of one delivered row.
#pragma once

#include <string>

#include "data/RdbClient.h"

class CCallCheckView;
class CListCtrl;

namespace callcheck {

// The texts of the list queries, byte for byte.
inline constexpr char kMsgNoCallbackData[] = "지정된 기간에 대한 콜백 자료가 없습니다.";
inline constexpr char kMsgNoMatchingData[] = "지정된 조건에 맞는 데이터가 없습니다.";
inline constexpr char kLogQueryCompleteList[] = "CCallCheckView::OnButtonQueryCompleteList sql(%s)";

// Logs sql with logFormat, runs it with callback registered (the rows go into the view's
// list, which shows them once the query is over), then shows noDataText with noDataIcon
// when no row came, or the database error when the query failed. The list keeps whatever
// rows arrived.
void RunListQuery(CCallCheckView& view, const std::string& sql, const char* logFormat, const char* noDataText,
                  unsigned noDataIcon, RDBEventCallBackFN callback);

// Inserts item index numbered index + 1 and puts fields 0 to fieldCount - 1 of the row into
// columns 1 onwards; a field the row lacks is empty.
void InsertListRow(CListCtrl& list, int index, const char* row, int fieldCount);

}  // namespace callcheck
