#include "rdb/dialect/SqlLexer.h"

namespace rdb {
namespace {

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Names may hold any byte of a multi-byte UTF-8 (or code page) character.
bool IsWordStart(unsigned char c) { return IsAlpha(c) || c == '_' || c == '@' || c == '#' || c >= 0x80; }

bool IsWordPart(unsigned char c) { return IsWordStart(c) || IsDigit(c) || c == '$'; }

bool IsTwoCharOperator(char a, char b) {
    static constexpr const char* kPairs[] = {"<>", "!=", "<=", ">=", "!<", "!>", "||", "==", "<<", ">>"};
    for (const char* p : kPairs) {
        if (p[0] == a && p[1] == b) return true;
    }
    return false;
}

bool IsOperatorChar(char c) {
    static constexpr std::string_view kChars = "=<>+-*/%&|^~(),.;{}?:!";
    return kChars.find(c) != std::string_view::npos;
}

// Scans a quoted run that starts at pos (the opening quote) and ends with close; a doubled
// close character stands for itself. Returns the position after the closing quote, or npos.
size_t ScanQuoted(std::string_view s, size_t pos, char close) {
    size_t i = pos + 1;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return std::string_view::npos;
}

}  // namespace

bool SqlWordIs(std::string_view word, std::string_view lowerKeyword) {
    if (word.size() != lowerKeyword.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerKeyword[i]) return false;
    }
    return true;
}

bool SqlLexer::Tokenize(std::string_view s, std::vector<SqlToken>* tokens, std::string* error) {
    tokens->clear();
    std::string gap;
    size_t i = 0;
    auto fail = [&](const std::string& msg) {
        if (error) *error = msg;
        return false;
    };
    // SQLite reads statement text only up to a NUL, so one anywhere would cut the statement.
    if (const size_t nul = s.find('\0'); nul != std::string_view::npos)
        return fail("NUL byte at offset " + std::to_string(nul));
    tokens->reserve(s.size() / 4 + 2);
    while (true) {
        // Blanks and comments before the next token.
        while (i < s.size()) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (IsBlank(c)) {
                gap += static_cast<char>(c);
                ++i;
            } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
                while (i < s.size() && s[i] != '\n') ++i;
                gap += ' ';
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                // Block comments nest.
                const size_t start = i;
                size_t depth = 0;
                while (i < s.size()) {
                    if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                        ++depth;
                        i += 2;
                    } else if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/') {
                        i += 2;
                        if (--depth == 0) break;
                    } else {
                        ++i;
                    }
                }
                if (depth != 0) return fail("unterminated comment at offset " + std::to_string(start));
                gap += ' ';
            } else {
                break;
            }
        }
        SqlToken tok;
        tok.offset = i;
        tok.gap = std::move(gap);
        gap.clear();
        if (i >= s.size()) {
            tok.kind = SqlTokenKind::End;
            tokens->push_back(std::move(tok));
            return true;
        }
        const auto c = static_cast<unsigned char>(s[i]);
        size_t end = i + 1;
        if (c == '\'') {
            end = ScanQuoted(s, i, '\'');
            if (end == std::string_view::npos)
                return fail("unterminated string literal at offset " + std::to_string(i));
            tok.kind = SqlTokenKind::String;
        } else if ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'') {
            end = ScanQuoted(s, i + 1, '\'');
            if (end == std::string_view::npos)
                return fail("unterminated string literal at offset " + std::to_string(i));
            tok.kind = SqlTokenKind::NString;
        } else if (c == '"') {
            end = ScanQuoted(s, i, '"');
            if (end == std::string_view::npos)
                return fail("unterminated quoted name at offset " + std::to_string(i));
            tok.kind = SqlTokenKind::QuotedName;
        } else if (c == '[') {
            end = ScanQuoted(s, i, ']');
            if (end == std::string_view::npos)
                return fail("unterminated [name] at offset " + std::to_string(i));
            tok.kind = SqlTokenKind::BracketName;
        } else if (IsDigit(c) ||
                   (c == '.' && i + 1 < s.size() && IsDigit(static_cast<unsigned char>(s[i + 1])))) {
            tok.kind = SqlTokenKind::Number;
            if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
                end = i + 2;
                while (end < s.size() && (IsDigit(static_cast<unsigned char>(s[end])) ||
                                          IsAlpha(static_cast<unsigned char>(s[end]))))
                    ++end;
            } else {
                end = i;
                while (end < s.size() && IsDigit(static_cast<unsigned char>(s[end]))) ++end;
                if (end < s.size() && s[end] == '.') {
                    ++end;
                    while (end < s.size() && IsDigit(static_cast<unsigned char>(s[end]))) ++end;
                }
                if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
                    size_t e = end + 1;
                    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
                    if (e < s.size() && IsDigit(static_cast<unsigned char>(s[e]))) {
                        while (e < s.size() && IsDigit(static_cast<unsigned char>(s[e]))) ++e;
                        end = e;
                    }
                }
            }
        } else if (IsWordStart(c)) {
            tok.kind = SqlTokenKind::Word;
            while (end < s.size() && IsWordPart(static_cast<unsigned char>(s[end]))) ++end;
        } else if (IsOperatorChar(static_cast<char>(c))) {
            tok.kind = SqlTokenKind::Operator;
            if (i + 1 < s.size() && IsTwoCharOperator(s[i], s[i + 1])) end = i + 2;
        } else {
            tok.kind = SqlTokenKind::Other;
        }
        tok.text = s.substr(i, end - i);
        tokens->push_back(std::move(tok));
        i = end;
    }
}

}  // namespace rdb
