#include "rdb/dialect/PostgresEmitter.h"

#include <cstdint>
#include <string>
#include <vector>

#include "rdb/dialect/Emitter.h"

namespace rdb::dialect {
namespace {

bool IsPgOperatorChar(char c) {
    static constexpr std::string_view kChars = "+-*/<>=~!@#%^&|`?";
    return kChars.find(c) != std::string_view::npos;
}

bool IsPgNameChar(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c >= 0x80;
}

// The name PostgreSQL makes of the same name unquoted: ASCII letters in lower case.
std::string PgName(std::string_view name) { return QuoteName(Lower(name)); }

class PostgresEmitter final : public Emitter {
public:
    using Emitter::Emitter;

private:
    bool ConcatBindsTighter() const override { return false; }
    std::string_view IsNullFunction() const override { return "coalesce"; }

    std::string_view TypeName(CastKind kind) const override {
        static constexpr std::string_view kNames[] = {"",         "TEXT", "INTEGER",          "BIGINT",
                                                      "SMALLINT", "REAL", "DOUBLE PRECISION", "NUMERIC"};
        return kNames[static_cast<size_t>(kind)];
    }

    std::string_view Spell(const SqlToken& t) override {
        switch (t.kind) {
            case SqlTokenKind::Word:
                // '@' and '#' are operators to PostgreSQL: such a name stays one name.
                if (t.text.find_first_of("@#") != std::string_view::npos) return spelled_ = PgName(t.text);
                return t.text;
            case SqlTokenKind::QuotedName:
            case SqlTokenKind::BracketName:
                return spelled_ = PgName(Unquote(t.text));
            case SqlTokenKind::String:
                return Literal(t.text);
            case SqlTokenKind::NString:
                return Literal(t.text.substr(1));
            case SqlTokenKind::Number:
                if (t.text.size() > 1 && (t.text[1] == 'x' || t.text[1] == 'X')) return HexNumber(t);
                return t.text;
            case SqlTokenKind::Operator:
                return t.text == "^" ? "#" : t.text;  // bitwise exclusive or
            case SqlTokenKind::Other:
                // $1 would be a parameter and $$ the start of a string to PostgreSQL.
                if (t.text == "$") Fail("'$' at offset " + std::to_string(t.offset) + " is not supported");
                return t.text;
            default:
                return t.text;
        }
    }

    std::string AliasName(const SqlToken& t) override {
        return t.kind == SqlTokenKind::Word ? std::string(Spell(t)) : PgName(NameText(t));
    }

    // A string literal that reads the same whatever standard_conforming_strings says: a
    // backslash would escape the next character where it is off, so such a literal is
    // written as an escape string with the backslashes doubled.
    std::string_view Literal(std::string_view quoted) {
        if (quoted.find('\\') == std::string_view::npos) return quoted;
        spelled_ = "E";
        for (char c : quoted) {
            spelled_ += c;
            if (c == '\\') spelled_ += '\\';
        }
        return spelled_;
    }

    // 0x1F is an integer to the embedded engine; PostgreSQL 15 has no such literal.
    std::string_view HexNumber(const SqlToken& t) {
        const std::string_view digits = t.text.substr(2);
        const std::string where = " at offset " + std::to_string(t.offset);
        if (digits.empty() || digits.size() > 16 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
            Fail("hexadecimal literal" + where + " is not supported");
            return {};
        }
        uint64_t v = 0;
        for (char c : digits) {
            const int d = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
            v = v * 16 + static_cast<uint64_t>(d);
        }
        if (v > static_cast<uint64_t>(INT64_MAX)) {
            Fail("hexadecimal literal" + where + " is too large");
            return {};
        }
        return spelled_ = std::to_string(v);
    }

    bool NeedsBlank(char prev, char next) const override {
        if (IsPgOperatorChar(prev) && IsPgOperatorChar(next)) return true;  // "%-" is one operator
        if (IsPgNameChar(prev) && IsPgNameChar(next)) return true;
        // E'..', U&'..' and U&".." are literals and names of their own to PostgreSQL, and two
        // quoted runs side by side would read as one with a doubled quote inside.
        if ((IsPgNameChar(prev) || prev == '&') && (next == '\'' || next == '"')) return true;
        return prev == next && (prev == '\'' || prev == '"');
    }

    bool EmitTargetMarked(const Seq& s, size_t i, size_t e, const Rolled* rolled, const Mark& mk,
                          std::string& out, GapState& g, size_t* next) override {
        if (mk.flags & kAliasItem) return false;
        const SqlToken& t = *s[i].tok;
        if (mk.flags & kBareAlias) {
            // PostgreSQL takes only some words as an alias without AS, and no string.
            WriteGap(g, t.gap, out);
            if (out.empty() || out.back() != ' ') out += ' ';
            out += "AS ";
            out += AliasName(t);
            *next = i + 1;
            return true;
        }
        if (t.kind == SqlTokenKind::String || t.kind == SqlTokenKind::NString) {
            // Two literals with a line break between them are one literal to PostgreSQL.
            WriteGap(g, t.gap, out);
            size_t k = out.size();
            while (k > 0 && (out[k - 1] == ' ' || out[k - 1] == '\t' || out[k - 1] == '\n' ||
                             out[k - 1] == '\r' || out[k - 1] == '\v' || out[k - 1] == '\f'))
                --k;
            if (k > 0 && out[k - 1] == '\'' && out.find_first_of("\r\n", k) != std::string::npos) {
                out.resize(k);
                out += ' ';
            }
            out.append(mk.open, '(');
            Put(out, Spell(t));
            *next = i + 1;
            return true;
        }
        if (mk.flags & kOrderBy) {
            WriteGap(g, t.gap, out);
            out.append(mk.open, '(');
            Put(out, t.text);
            out += s[i + 1].tok->gap;
            out += s[i + 1].tok->text;
            EmitOrderItems(s, i + 2, mk.end, rolled, out, false);
            *next = mk.end;
            return true;
        }
        if (mk.flags & kLike) {
            // No nondeterministic collation takes LIKE: the match runs under "C" and ILIKE
            // ignores the case of ASCII letters only, as the embedded engine's LIKE does; no
            // escape character, as there.
            WriteGap(g, t.gap, out);
            out.append(mk.open, '(');
            Put(out, "ILIKE (");
            EmitRange(s, i + 1, mk.end, rolled, out, true);
            out += ") COLLATE \"C\"";
            if (!(mk.end < e && IsWord(s[mk.end], "escape"))) out += " ESCAPE ''";
            *next = mk.end;
            return true;
        }
        return false;
    }

    // NULL sorts first in SQL Server and in the embedded engine, last in PostgreSQL.
    void EmitOrderItems(const Seq& s, size_t b, size_t e, const Rolled* rolled, std::string& out,
                        bool suppressFirstGap) {
        bool first = true;
        for (const auto& [ib, ie] : SplitCommas(s, b, e)) {
            if (!first) {
                out += s[ib - 1].tok->gap;
                out += ',';
            }
            EmitRange(s, ib, ie, rolled, out, first && suppressFirstGap);
            first = false;
            if (ib == ie) continue;
            bool nulls = false;
            for (size_t k = ib; k < ie; ++k) nulls = nulls || IsWord(s[k], "nulls");
            if (!nulls) out += IsWord(s[ie - 1], "desc") ? " NULLS LAST" : " NULLS FIRST";
        }
    }

    // GROUP BY ROLLUP, sorted explicitly as SQL Server returns a rollup: by c1, c2, ... with
    // NULLs first, each subtotal after its rows, the total last. coalesce(c) names the table
    // column even where a select item has the same name. A rollup over no rows gives no rows,
    // not a total row.
    void EmitRollupSelect(const Seq& s, const RollupShape& r, std::string& out) override {
        const Rolled native{&r.cols, {}, true};
        out += "SELECT ";
        for (size_t c = 0; c < r.items.size(); ++c) {
            if (c > 0) out += ", ";
            EmitRange(s, r.items[c].b, r.items[c].e, &native, out, true);
            if (r.items[c].alias) {
                out += " AS ";
                out += AliasName(*r.items[c].alias);
            }
        }
        EmitRange(s, r.from, r.group, nullptr, out, false);
        std::vector<std::string> colText;
        for (const GroupColumn& c : r.cols) colText.push_back(Render(*r.colSeq, c.b, c.e, nullptr));
        out += " GROUP BY ROLLUP(";
        for (size_t c = 0; c < colText.size(); ++c) out += (c > 0 ? ", " : "") + colText[c];
        out += ") HAVING ";
        if (r.having < r.selEnd) {
            out += '(';
            EmitRange(s, r.having + 1, r.havingEnd, &native, out, true);
            out += ") AND ";
        }
        out += "count(*) > 0 ORDER BY ";
        if (r.order < r.selEnd) {
            EmitOrderItems(s, r.order, r.selEnd, nullptr, out, true);
            out += ", ";
        }
        for (size_t c = 0; c < colText.size(); ++c) {
            if (c > 0) out += ", ";
            out += "GROUPING(" + colText[c] + "), coalesce(" + colText[c] + ") NULLS FIRST";
        }
    }
};

}  // namespace

bool WriteForPostgres(const Seq& statement, std::string_view input, std::string& out, std::string* error) {
    return PostgresEmitter(input, error).EmitStatement(statement, out);
}

// The statement that runs a procedure on PostgreSQL, where it is a function: its arguments
// are the parameters $1..$n, bound by the caller.
std::string PostgresCallText(const std::vector<std::string>& nameParts, size_t argCount) {
    std::string sql = "SELECT * FROM ";
    for (size_t p = 0; p < nameParts.size(); ++p) {
        if (p > 0) sql += '.';
        sql += PgName(nameParts[p]);
    }
    sql += '(';
    for (size_t a = 0; a < argCount; ++a) sql += (a > 0 ? ", $" : "$") + std::to_string(a + 1);
    sql += ')';
    return sql;
}

}  // namespace rdb::dialect
