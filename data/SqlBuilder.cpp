#include "data/SqlBuilder.h"

#include <cstdarg>

#include "data/SqlText.h"
#include "platform/Format.h"

CSqlBuilder::CSqlBuilder(int kind) : m_nKind(kind) {}

void CSqlBuilder::AddValue(const char* column, const char* format, ...) {
    va_list args;
    va_start(args, format);
    // Values are kept whole: no fixed-width record cuts a long text.
    m_pairs.push_back({column != nullptr ? column : "", platform::StrFormatV(format, args)});
    va_end(args);
}

void CSqlBuilder::AddQuoted(const char* column, const std::string& text) {
    AddValue(column, "'%s'", EscapeSqlText(text).c_str());
}

std::string CSqlBuilder::GetSql() {
    std::string sql;
    switch (m_nKind) {
        case SQL_INSERT: {
            sql = "insert into " + m_strTable + " ( ";
            for (size_t i = 0; i < m_pairs.size(); ++i) {
                if (i > 0) sql += ", ";
                sql += m_pairs[i].column;
            }
            sql += " ) values ( ";
            for (size_t i = 0; i < m_pairs.size(); ++i) {
                if (i > 0) sql += ", ";
                sql += m_pairs[i].value;
            }
            sql += " ) ";
            break;
        }
        case SQL_UPDATE: {
            sql = "update " + m_strTable + " set ";
            for (size_t i = 0; i < m_pairs.size(); ++i) {
                if (i > 0) sql += ", ";
                sql += m_pairs[i].column + " = " + m_pairs[i].value;
            }
            break;
        }
        case SQL_CALL: {
            sql = "{ call " + m_strTable + " (";
            for (size_t i = 0; i < m_pairs.size(); ++i) {
                if (i > 0) sql += ", ";
                sql += m_pairs[i].value;
            }
            sql += ") }";
            break;
        }
        default:
            break;
    }
    if (!m_strWhere.empty()) sql += " where " + m_strWhere + " ";
    if (!m_strTail.empty()) sql += m_strTail;
    m_strSql = sql;
    return m_strSql;
}
