// Reading the fields of a result row or list row in tests: a row shorter than the test
// expects is reported as a failure of that test, never read past.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Field i of row; an empty text, and a failure of the running test, when the row has no
// such field.
inline const std::string& FieldAt(const std::vector<std::string>& row, size_t i) {
    static const std::string kNone;
    if (i < row.size()) return row[i];
    ADD_FAILURE() << "row of " << row.size() << " fields has no field " << i;
    return kNone;
}

// Field i of every row, in order.
inline std::vector<std::string> FieldColumn(const std::vector<std::vector<std::string>>& rows, size_t i) {
    std::vector<std::string> values;
    for (const auto& row : rows) values.push_back(FieldAt(row, i));
    return values;
}
