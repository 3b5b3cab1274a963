#include "rdb/dialect/Emitter.h"

#include <utility>

namespace rdb::dialect {
namespace {

// A rollup over n columns becomes n + 1 grouping levels.
constexpr size_t kMaxRollupColumns = 16;

bool SameName(const std::string& a, const std::string& b) { return SqlWordIs(a, Lower(b)); }

}  // namespace

void Emitter::EmitRange(const Seq& s, size_t b, size_t e, const Rolled* rolled, std::string& out,
                        bool suppressFirstGap) {
    if (failed_ || b >= e) return;
    std::vector<Mark> m;
    MakePlan(s, b, e, ConcatBindsTighter(), m);
    GapState g;
    g.suppress = suppressFirstGap;
    size_t i = b;
    while (i < e && !failed_) {
        const Mark& mk = m[i - b];
        if (mk.flags & kRollup) {
            EmitRollup(s, i, mk.end, out, g);
            i = mk.end;
            continue;
        }
        if (mk.flags & (kDrop | kDropKeepGap)) {
            if (mk.open > 0) {
                WriteGap(g, s[i].tok->gap, out);
                out.append(mk.open, '(');
            } else if ((mk.flags & kDropKeepGap) && !g.suppress) {
                g.pending = &s[i].tok->gap;
            }
            out.append(mk.close, ')');
            ++i;
            continue;
        }
        size_t next = i;
        if (!EmitTargetMarked(s, i, e, rolled, mk, out, g, &next))
            next = EmitNode(s, i, e, rolled, out, g, mk);
        for (size_t k = i; k < next; ++k) out.append(m[k - b].close, ')');
        i = next;
    }
}

void Emitter::Fail(std::string msg) {
    if (!failed_) *error_ = std::move(msg);
    failed_ = true;
}

void Emitter::WriteGap(GapState& g, const std::string& own, std::string& out) {
    if (g.suppress) {
        g.suppress = false;
        g.pending = nullptr;
        return;
    }
    if (g.pending) {
        out += *g.pending;
        g.pending = nullptr;
        return;
    }
    out += own;
}

void Emitter::Put(std::string& out, std::string_view text) const {
    if (!out.empty() && !text.empty() && NeedsBlank(out.back(), text.front())) out += ' ';
    out += text;
}

std::string Emitter::Render(const Seq& s, size_t b, size_t e, const Rolled* rolled) {
    std::string text;
    EmitRange(s, b, e, rolled, text, true);
    return text;
}

bool Emitter::ReadColumn(const Seq& s, size_t b, size_t e, GroupColumn* col) {
    std::vector<std::string> parts;
    for (size_t k = b; k < e; k += 2) {
        if (!IsName(s[k])) return false;
        parts.push_back(NameText(*s[k].tok));
        if (k + 1 < e && !IsOp(s[k + 1], ".")) return false;
        if (k + 1 == e - 1) return false;  // trailing '.'
    }
    if (parts.empty() || parts.size() > 3) return false;
    col->name = parts.back();
    col->qualifier = parts.size() > 1 ? parts[parts.size() - 2] : std::string();
    col->b = b;
    col->e = e;
    return true;
}

int Emitter::MatchColumn(const Seq& s, size_t b, size_t e, const std::vector<GroupColumn>& cols) {
    GroupColumn ref;
    if (!ReadColumn(s, b, e, &ref)) return -1;
    for (size_t c = 0; c < cols.size(); ++c) {
        if (!SameName(ref.name, cols[c].name)) continue;
        if (!ref.qualifier.empty() && !cols[c].qualifier.empty() &&
            !SameName(ref.qualifier, cols[c].qualifier))
            continue;
        return static_cast<int>(c);
    }
    return -1;
}

size_t Emitter::EmitNode(const Seq& s, size_t i, size_t e, const Rolled* rolled, std::string& out,
                         GapState& g, const Mark& mk) {
    const Node& n = s[i];
    const bool call = i + 1 < e && IsParen(s[i + 1]);
    auto head = [&](std::string_view text) {
        WriteGap(g, n.tok->gap, out);
        out.append(mk.open, '(');
        Put(out, text);
    };
    if (n.kind == Node::Kind::Paren) {
        head("(");
        // A subquery has columns of its own.
        const bool subquery = !n.kids.empty() && IsWord(n.kids[0], "select");
        EmitRange(n.kids, 0, n.kids.size(), subquery ? nullptr : rolled, out, false);
        out += n.close->gap;
        out += ')';
        return i + 1;
    }
    if (n.kind == Node::Kind::Case) {
        head(n.tok->text);
        EmitRange(n.kids, 0, n.kids.size(), rolled, out, false);
        out += n.close->gap;
        Put(out, n.close->text);
        return i + 1;
    }
    const SqlToken& t = *n.tok;
    if (mk.flags & kAliasItem) {
        // NAME = expr  ->  expr AS NAME
        WriteGap(g, t.gap, out);
        EmitRange(s, i + 2, mk.end, rolled, out, true);
        out += " AS ";
        out += AliasName(t);
        return mk.end;
    }
    if (rolled && !rolled->native && IsName(n) && (i == 0 || !IsOp(s[i - 1], "."))) {
        size_t j = i;
        while (j + 2 < e && j - i < 4 && IsOp(s[j + 1], ".") && IsName(s[j + 2])) j += 2;
        if (!(j + 1 < e && IsParen(s[j + 1])) && !(j + 1 < e && IsOp(s[j + 1], "."))) {
            const int col = MatchColumn(s, i, j + 1, *rolled->columns);
            if (col >= 0 && rolled->rolled[static_cast<size_t>(col)]) {
                head("NULL");
                return j + 1;
            }
        }
    }
    switch (t.kind) {
        case SqlTokenKind::Word:
            if (call) {
                const std::string_view w = t.text;
                if (SqlWordIs(w, "convert")) {
                    EmitConvert(s, i, rolled, out, g, mk);
                    return i + 2;
                }
                if (SqlWordIs(w, "isnull")) {
                    head(IsNullFunction());
                    return i + 1;
                }
                if (SqlWordIs(w, "substring")) {
                    head("substr");  // both engines' name for it
                    return i + 1;
                }
                if (rolled && SqlWordIs(w, "grouping")) {
                    const Seq& a = s[i + 1].kids;
                    const int col = MatchColumn(a, 0, a.size(), *rolled->columns);
                    if (col < 0) {
                        Fail("grouping() at offset " + std::to_string(t.offset) +
                             " must name a column of the GROUP BY");
                        return i + 2;
                    }
                    if (rolled->native) {
                        head(w);
                        return i + 1;
                    }
                    head(rolled->rolled[static_cast<size_t>(col)] ? "1" : "0");
                    return i + 2;
                }
                if (rolled && IsAggregate(w)) {
                    // Inside an aggregate the column means the rows' values.
                    head(w);
                    const Node& p = s[i + 1];
                    out += p.tok->gap;
                    out += '(';
                    EmitRange(p.kids, 0, p.kids.size(), nullptr, out, false);
                    out += p.close->gap;
                    out += ')';
                    return i + 2;
                }
            }
            head(Spell(t));
            return i + 1;
        case SqlTokenKind::Operator:
            if (mk.flags & kConcat)
                head("||");
            else if (t.text == "!<")
                head(">=");
            else if (t.text == "!>")
                head("<=");
            else
                head(Spell(t));
            return i + 1;
        default:
            head(Spell(t));
            return i + 1;
    }
}

void Emitter::EmitConvert(const Seq& s, size_t i, const Rolled* rolled, std::string& out,
                          GapState& g, const Mark& mk) {
    const SqlToken& t = *s[i].tok;
    const Seq& a = s[i + 1].kids;
    const auto args = SplitCommas(a, 0, a.size());
    const std::string where = " at offset " + std::to_string(t.offset);
    if (args.size() == 3) return Fail("convert() with a style argument is not supported" + where);
    if (args.size() != 2 || args[1].first == args[1].second)
        return Fail("convert() needs a type and a value" + where);
    const auto [tb, te] = args[0];
    const bool typeOk =
        te > tb && IsWord(a[tb]) && (te - tb == 1 || (te - tb == 2 && IsParen(a[tb + 1])));
    const CastKind kind = typeOk ? CastTarget(a[tb].tok->text) : CastKind::None;
    if (kind == CastKind::None) return Fail("convert() to this type is not supported" + where);
    WriteGap(g, t.gap, out);
    out.append(mk.open, '(');
    Put(out, "CAST(");
    EmitRange(a, args[1].first, args[1].second, rolled, out, true);
    out += " AS ";
    out += TypeName(kind);
    out += ')';
}

void Emitter::EmitRollup(const Seq& s, size_t sel, size_t selEnd, std::string& out, GapState& g) {
    RollupShape r;
    if (!ReadRollup(s, sel, selEnd, &r)) return;
    ++rollupDepth_;
    WriteGap(g, s[sel].tok->gap, out);
    EmitRollupSelect(s, r, out);
    --rollupDepth_;
}

bool Emitter::ReadRollup(const Seq& s, size_t sel, size_t selEnd, RollupShape* r) {
    const std::string where = " (WITH ROLLUP at offset " + std::to_string(s[sel].tok->offset) + ")";
    auto fail = [&](const char* msg) {
        Fail(msg + where);
        return false;
    };
    if (rollupDepth_ > 0) return fail("a rollup inside a rollup is not supported");
    const bool afterSetOp = (sel > 0 && IsSetOperator(s[sel - 1])) ||
                            (sel > 1 && IsWord(s[sel - 1], "all") && IsSetOperator(s[sel - 2]));
    if (afterSetOp || (selEnd < s.size() && IsSetOperator(s[selEnd])))
        return fail("a rollup inside UNION is not supported");
    size_t j = sel + 1;
    if (j < selEnd && (IsWord(s[j], "distinct") || IsWord(s[j], "all") || IsWord(s[j], "top")))
        return fail("DISTINCT or TOP with a rollup is not supported");
    size_t from = j;
    while (from < selEnd && !EndsSelectList(s[from])) ++from;
    if (from >= selEnd || !IsWord(s[from], "from")) return fail("a rollup needs a FROM clause");
    size_t group = from;
    while (group + 1 < selEnd && !(IsWord(s[group], "group") && IsWord(s[group + 1], "by"))) ++group;
    if (group + 1 >= selEnd) return fail("a rollup needs GROUP BY");

    // GROUP BY a, b WITH ROLLUP, or GROUP BY ROLLUP(a, b).
    const size_t gb = group + 2;
    const Seq* colSeq = &s;
    size_t colsBegin = gb, colsEnd = gb, after = gb;
    if (gb + 1 < selEnd && IsWord(s[gb], "rollup") && IsParen(s[gb + 1])) {
        colSeq = &s[gb + 1].kids;
        colsBegin = 0;
        colsEnd = colSeq->size();
        after = gb + 2;
    } else {
        while (colsEnd < selEnd && !IsWord(s[colsEnd], "with")) ++colsEnd;
        if (colsEnd + 1 >= selEnd || !IsWord(s[colsEnd + 1], "rollup"))
            return fail("only WITH ROLLUP is supported after GROUP BY");
        after = colsEnd + 2;
    }
    for (const auto& [cb, ce] : SplitCommas(*colSeq, colsBegin, colsEnd)) {
        GroupColumn col;
        if (!ReadColumn(*colSeq, cb, ce, &col)) return fail("a rollup can only group by column names");
        r->cols.push_back(std::move(col));
    }
    if (r->cols.size() > kMaxRollupColumns) return fail("a rollup over too many columns");
    r->colSeq = colSeq;
    r->from = from;
    r->group = group;
    r->selEnd = selEnd;
    r->having = r->havingEnd = r->order = selEnd;
    size_t k = after;
    if (k < selEnd && IsWord(s[k], "having")) {
        r->having = k;
        while (k < selEnd && !IsWord(s[k], "order")) ++k;
        r->havingEnd = k;
    }
    if (k + 1 < selEnd && IsWord(s[k], "order") && IsWord(s[k + 1], "by")) {
        r->order = k + 2;
        k = selEnd;
    }
    if (k != selEnd) return fail("unexpected text after WITH ROLLUP");

    for (const auto& [ib, ie] : SplitCommas(s, j, from)) {
        if (ib == ie) return fail("empty select item");
        if (IsOp(s[ie - 1], "*")) return fail("select * with a rollup is not supported");
        RollupShape::Item it{ib, ie, nullptr, {}};
        if (ie - ib >= 3 && IsAliasName(s[ib]) && IsOp(s[ib + 1], "=")) {
            it = {ib + 2, ie, s[ib].tok, {}};
        } else if (ie - ib >= 3 && IsWord(s[ie - 2], "as") && IsAliasName(s[ie - 1])) {
            it = {ib, ie - 2, s[ie - 1].tok, {}};
        } else if (ie - ib >= 2 && IsAliasName(s[ie - 1]) && EndsValue(s[ie - 2])) {
            it = {ib, ie - 1, s[ie - 1].tok, {}};
        }
        GroupColumn ref;
        if (it.alias)
            it.name = NameText(*it.alias);
        else if (ReadColumn(s, ib, ie, &ref))
            it.name = ref.name;
        else
            it.name =
                std::string(input_.substr(s[ib].tok->offset, EndOffset(s[ie - 1]) - s[ib].tok->offset));
        r->items.push_back(std::move(it));
    }
    return true;
}

}  // namespace rdb::dialect
