#include "data/RecordTokenizer.h"

#include <cstring>

int CRecordTokenizer::Parse(const char* row) {
    m_fields.clear();
    m_row.assign(row != nullptr ? row : "");
    size_t pos = 0;
    for (;;) {
        size_t term = m_row.find(":;", pos);
        if (term == std::string::npos) break;
        m_row[term] = '\0';
        m_fields.push_back(pos);
        pos = term + 2;
    }
    return GetCount();
}

const char* CRecordTokenizer::GetItem(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_row.c_str() + m_fields[static_cast<size_t>(index)];
}
