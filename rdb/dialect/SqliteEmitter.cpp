#include "rdb/dialect/SqliteEmitter.h"

#include <string>
#include <vector>

#include "rdb/dialect/Emitter.h"

namespace rdb::dialect {
namespace {

class SqliteEmitter final : public Emitter {
public:
    using Emitter::Emitter;

private:
    bool ConcatBindsTighter() const override { return true; }
    std::string_view IsNullFunction() const override { return "ifnull"; }

    std::string_view TypeName(CastKind kind) const override {
        // In CastKind's order, None first.
        static constexpr std::string_view kNames[] = {"",        "TEXT", "INTEGER", "INTEGER",
                                                      "INTEGER", "REAL", "REAL",    "NUMERIC"};
        return kNames[static_cast<size_t>(kind)];
    }

    std::string_view Spell(const SqlToken& t) override {
        if (t.kind == SqlTokenKind::BracketName) return spelled_ = QuoteName(Unquote(t.text));
        if (t.kind == SqlTokenKind::NString) return t.text.substr(1);
        return t.text;
    }

    std::string AliasName(const SqlToken& t) override {
        return t.kind == SqlTokenKind::Word ? std::string(t.text) : QuoteName(NameText(t));
    }

    // The union of the n + 1 grouping levels, sorted as SQL Server returns a rollup:
    //   SELECT orv_c0 AS "item0", ... FROM (level 0 UNION ALL ... UNION ALL level n)
    //   ORDER BY [the statement's own ORDER BY,] orv_r0, orv_k0, ..., orv_r{n-1}, orv_k{n-1}
    void EmitRollupSelect(const Seq& s, const RollupShape& r, std::string& out) override {
        std::vector<std::string> colText;
        for (const GroupColumn& c : r.cols) colText.push_back(Render(*r.colSeq, c.b, c.e, nullptr));
        out += "SELECT ";
        for (size_t c = 0; c < r.items.size(); ++c) {
            if (c > 0) out += ", ";
            out += "orv_c" + std::to_string(c) + " AS " + QuoteName(r.items[c].name);
        }
        out += " FROM (";
        const size_t n = r.cols.size();
        for (size_t level = 0; level <= n && !Failed(); ++level) {
            Rolled rolled{&r.cols, std::vector<bool>(n, false), false};
            for (size_t c = n - level; c < n; ++c) rolled.rolled[c] = true;
            if (level > 0) out += " UNION ALL ";
            out += "SELECT ";
            for (size_t c = 0; c < r.items.size(); ++c) {
                EmitRange(s, r.items[c].b, r.items[c].e, &rolled, out, true);
                out += " AS orv_c" + std::to_string(c) + ", ";
            }
            for (size_t c = 0; c < n; ++c) {
                if (c > 0) out += ", ";
                out += (rolled.rolled[c] ? "1" : "0") + std::string(" AS orv_r") + std::to_string(c) + ", ";
                out +=
                    (rolled.rolled[c] ? std::string("NULL") : colText[c]) + " AS orv_k" + std::to_string(c);
            }
            EmitRange(s, r.from, r.group, nullptr, out, false);  // FROM ... WHERE ...: real values
            out += " GROUP BY ";
            if (level == n) out += "NULL";  // one total row, and none over no rows
            for (size_t c = 0; c + level < n; ++c) {
                if (c > 0) out += ", ";
                out += colText[c];
            }
            if (r.having < r.selEnd) EmitRange(s, r.having, r.havingEnd, &rolled, out, false);
        }
        out += ") ORDER BY ";
        if (r.order < r.selEnd) {
            EmitRange(s, r.order, r.selEnd, nullptr, out, true);
            out += ", ";
        }
        for (size_t c = 0; c < n; ++c) {
            if (c > 0) out += ", ";
            out += "orv_r" + std::to_string(c) + ", orv_k" + std::to_string(c);
        }
    }
};

}  // namespace

bool WriteForSqlite(const Seq& statement, std::string_view input, std::string& out, std::string* error) {
    return SqliteEmitter(input, error).EmitStatement(statement, out);
}

}  // namespace rdb::dialect
