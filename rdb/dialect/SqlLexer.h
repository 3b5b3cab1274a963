// Splits SQL Server statement text into tokens for the dialect adapter. Every token keeps
// the blanks that stood before it, so a statement can be written back with its own spacing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rdb {

enum class SqlTokenKind {
    Word,         // name or keyword: letters, digits, _ @ # $ and any byte >= 0x80
    QuotedName,   // "name" ("" inside)
    BracketName,  // [name] (]] inside)
    String,       // 'text' ('' inside)
    NString,      // N'text'
    Number,       // 12, 1.5, .5, 1e3, 0x1F
    Operator,     // punctuation and operators, one or two characters
    Other,        // any other byte
    End,          // end of input; carries the trailing blanks
};

struct SqlToken {
    SqlTokenKind kind = SqlTokenKind::End;
    std::string_view text;  // raw bytes of the token (a view into the input)
    std::string gap;        // blanks before the token; each comment became one blank
    size_t offset = 0;      // byte offset of the token in the input
};

class SqlLexer {
public:
    // Tokenizes sql; the last token is always End. Returns false with *error set for an
    // unterminated string, name or comment, or a NUL byte. Linear in the input length.
    static bool Tokenize(std::string_view sql, std::vector<SqlToken>* tokens, std::string* error);
};

// Case-insensitive comparison of ASCII letters; other bytes must be equal.
bool SqlWordIs(std::string_view word, std::string_view lowerKeyword);

}  // namespace rdb
