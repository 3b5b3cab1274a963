// Builds the text of one INSERT, UPDATE or procedure-call statement from column/value
// pairs kept in the order they were added.
#pragma once

#include <string>
#include <vector>

enum { SQL_INSERT = 0, SQL_UPDATE = 2, SQL_CALL = 3 };

class CSqlBuilder {
public:
    explicit CSqlBuilder(int kind);
    virtual ~CSqlBuilder() = default;

    // Appends (column, formatted value); the value is used as formatted, so numbers go in
    // as AddValue(name, "%d", n).
    void AddValue(const char* column, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Appends (column, 'text') with quotes inside the text doubled.
    void AddQuoted(const char* column, const std::string& text);

    // Builds the statement from the current kind, table, pairs, condition and tail.
    std::string GetSql();

    std::string m_strTable;
    std::string m_strWhere;
    std::string m_strTail;

private:
    struct Pair {
        std::string column;
        std::string value;
    };
    std::vector<Pair> m_pairs;
    int m_nKind;
    std::string m_strSql;
};
