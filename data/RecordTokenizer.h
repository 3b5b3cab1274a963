// Splits one delivered row string. Every value is followed by the two characters ":;" (a
// terminator, not a separator): "a:;b:;" holds two fields, ":;:;" two empty ones, and any
// text after the last ":;" is not a field. There is no limit on the number of fields.
#pragma once

#include <string>
#include <vector>

class CRecordTokenizer {
public:
    CRecordTokenizer() = default;
    explicit CRecordTokenizer(const char* row) { Parse(row); }
    virtual ~CRecordTokenizer() = default;

    // Replaces any previous row; returns the number of fields.
    int Parse(const char* row);
    int GetCount() const { return static_cast<int>(m_fields.size()); }
    // The field, or a null pointer when index is not below the count (or negative).
    const char* GetItem(int index) const;

private:
    std::string m_row;              // copy of the row; each terminator's ':' becomes NUL
    std::vector<size_t> m_fields;   // start offset of each field in m_row
};
