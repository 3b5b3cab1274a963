#include "rdb/dialect/Plan.h"

#include <unordered_set>

namespace rdb::dialect {
namespace {

// ---------------------------------------------------------------------------------------
// Arithmetic runs: the operands joined by binary + and - at one level.

struct Term {
    size_t b = 0, e = 0;
    bool compound = false;  // holds a binary * / % at its top
    bool unary = false;     // starts with a sign
};

struct Segment {
    std::vector<Term> terms;
    std::vector<size_t> ops;  // index of the + or - before terms[k + 1]
    bool complete = false;    // ends with an operand
};

bool ParenIsStringy(const Node& paren);

// Length in nodes of the operand starting at k, 0 when none starts there.
size_t OperandLength(const Seq& s, size_t k, size_t e) {
    const Node& n = s[k];
    if (n.kind != Node::Kind::Tok) return 1;
    switch (n.tok->kind) {
        case SqlTokenKind::String:
        case SqlTokenKind::NString:
        case SqlTokenKind::Number:
            return 1;
        case SqlTokenKind::Operator:
            return n.tok->text == "?" ? 1 : 0;
        case SqlTokenKind::Word:
            if (SqlWordIs(n.tok->text, "null")) return 1;
            if (IsReserved(n.tok->text)) {
                // left(...) and right(...) are functions.
                const bool fn = (SqlWordIs(n.tok->text, "left") || SqlWordIs(n.tok->text, "right")) &&
                                k + 1 < e && IsParen(s[k + 1]);
                return fn ? 2 : 0;
            }
            break;
        case SqlTokenKind::QuotedName:
        case SqlTokenKind::BracketName:
            break;
        default:
            return 0;
    }
    size_t j = k + 1;
    while (j + 1 < e && IsOp(s[j], ".") && (IsName(s[j + 1]) || IsOp(s[j + 1], "*"))) j += 2;
    if (j < e && IsParen(s[j])) ++j;  // function call
    return j - k;
}

// Reads the arithmetic run starting at i; returns the index after it.
size_t ScanSegment(const Seq& s, size_t i, size_t e, Segment* seg) {
    seg->terms.clear();
    seg->ops.clear();
    seg->complete = false;
    bool expectOperand = true;
    Term term{i, i, false, false};
    size_t k = i;
    while (k < e) {
        const Node& n = s[k];
        if (expectOperand) {
            if (IsOp(n, "+") || IsOp(n, "-") || IsOp(n, "~")) {
                term.unary = true;
                ++k;
                continue;
            }
            const size_t len = OperandLength(s, k, e);
            if (len == 0) break;
            k += len;
            expectOperand = false;
        } else if (IsOp(n, "+") || IsOp(n, "-")) {
            term.e = k;
            seg->terms.push_back(term);
            seg->ops.push_back(k);
            ++k;
            term = Term{k, k, false, false};
            expectOperand = true;
        } else if (IsOp(n, "*") || IsOp(n, "/") || IsOp(n, "%")) {
            term.compound = true;
            ++k;
            expectOperand = true;
        } else {
            break;  // anything else, an alias included, ends the run
        }
    }
    if (!expectOperand) {
        term.e = k;
        seg->terms.push_back(term);
        seg->complete = true;
    }
    return k;
}

bool ConvertTargetIsText(const Node& paren) {
    const Seq& a = paren.kids;
    return !a.empty() && IsWord(a[0]) && CastTarget(a[0].tok->text) == CastKind::Text;
}

bool CastTargetIsText(const Node& paren) {
    const Seq& a = paren.kids;
    for (size_t i = 0; i + 1 < a.size(); ++i) {
        if (IsWord(a[i], "as")) return IsWord(a[i + 1]) && CastTarget(a[i + 1].tok->text) == CastKind::Text;
    }
    return false;
}

bool RangeIsStringy(const Seq& s, size_t b, size_t e);

// isnull(a, 'x') and coalesce(...) are text when one of their arguments is.
bool AnyArgIsStringy(const Node& paren) {
    if (paren.argStringy < 0) {
        paren.argStringy = 0;
        for (const auto& [ab, ae] : SplitCommas(paren.kids, 0, paren.kids.size())) {
            if (RangeIsStringy(paren.kids, ab, ae)) paren.argStringy = 1;
        }
    }
    return paren.argStringy == 1;
}

bool TermIsStringy(const Seq& s, const Term& t) {
    if (t.compound || t.unary) return false;
    const size_t len = t.e - t.b;
    const Node& first = s[t.b];
    if (len == 1) {
        if (IsTok(first, SqlTokenKind::String) || IsTok(first, SqlTokenKind::NString)) return true;
        return IsParen(first) && ParenIsStringy(first);
    }
    if (len == 2 && IsWord(first) && IsParen(s[t.b + 1])) {
        const std::string_view fn = first.tok->text;
        const Node& args = s[t.b + 1];
        if (SqlWordIs(fn, "convert")) return ConvertTargetIsText(args);
        if (SqlWordIs(fn, "cast")) return CastTargetIsText(args);
        if (IsTextFunction(fn)) return true;
        if (SqlWordIs(fn, "isnull") || SqlWordIs(fn, "coalesce") || SqlWordIs(fn, "ifnull"))
            return AnyArgIsStringy(args);
    }
    return false;
}

bool SegmentIsStringy(const Seq& s, const Segment& seg) {
    bool plus = false;
    for (size_t op : seg.ops) plus = plus || IsOp(s[op], "+");
    if (!plus || !seg.complete) return false;
    for (const Term& t : seg.terms) {
        if (TermIsStringy(s, t)) return true;
    }
    return false;
}

// Whether [b, e) is one expression of text type as far as '+' is concerned.
bool RangeIsStringy(const Seq& s, size_t b, size_t e) {
    if (b >= e) return false;
    Segment seg;
    if (ScanSegment(s, b, e, &seg) != e || !seg.complete) return false;
    if (seg.terms.size() == 1) return TermIsStringy(s, seg.terms[0]);
    return SegmentIsStringy(s, seg);
}

bool ParenIsStringy(const Node& paren) {
    if (paren.stringy < 0) paren.stringy = RangeIsStringy(paren.kids, 0, paren.kids.size()) ? 1 : 0;
    return paren.stringy == 1;
}

// A parenthesised list of table hints: nolock, index(...), index = x and the like.
bool IsHintList(const Node& paren) {
    const Seq& k = paren.kids;
    if (k.empty()) return false;
    for (const auto& [b, e] : SplitCommas(k, 0, k.size())) {
        const size_t len = e - b;
        if (len == 1 && IsWord(k[b]) && IsTableHint(k[b].tok->text)) continue;
        if (len == 2 && IsWord(k[b], "index") && IsParen(k[b + 1])) continue;
        if (len == 3 && IsWord(k[b], "index") && IsOp(k[b + 1], "=")) continue;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Select lists and ORDER BY lists.

bool EndsSelect(const Node& n) { return IsOp(n, ";") || IsSetOperator(n) || IsWord(n, "select"); }

// Another ORDER ends a list too, so that a run of them is read in linear time.
bool EndsOrderList(const Node& n) {
    return EndsSelect(n) || IsWord(n, "offset") || IsWord(n, "fetch") || IsWord(n, "for") ||
           IsWord(n, "option") || IsWord(n, "limit") || IsWord(n, "order");
}

// Reads the select whose SELECT word is at i; marks its aliases and whether it rolls up.
// Returns the index where its select list ends.
size_t PlanSelect(const Seq& s, size_t b, size_t i, size_t e, std::vector<Mark>& m) {
    size_t j = i + 1;
    while (j < e && (IsWord(s[j], "distinct") || IsWord(s[j], "all"))) ++j;
    if (j < e && IsWord(s[j], "top")) {
        ++j;
        if (j < e) ++j;
        if (j < e && IsWord(s[j], "percent")) ++j;
        if (j + 1 < e && IsWord(s[j], "with") && IsWord(s[j + 1], "ties")) j += 2;
    }
    size_t listEnd = j;
    while (listEnd < e && !EndsSelectList(s[listEnd])) ++listEnd;
    for (const auto& [ib, ie] : SplitCommas(s, j, listEnd)) {
        if (ie - ib >= 3 && IsAliasName(s[ib]) && IsOp(s[ib + 1], "=")) {
            m[ib - b].flags |= kAliasItem;
            m[ib - b].end = ie;
        } else if (ie - ib >= 2 && IsAliasName(s[ie - 1]) && EndsValue(s[ie - 2])) {
            m[ie - 1 - b].flags |= kBareAlias;
        }
    }
    size_t selEnd = listEnd;
    bool grouped = false, rollup = false;
    for (; selEnd < e && !EndsSelect(s[selEnd]); ++selEnd) {
        if (IsWord(s[selEnd], "group") && selEnd + 1 < e && IsWord(s[selEnd + 1], "by")) grouped = true;
        if (grouped && (IsWord(s[selEnd], "rollup") || IsWord(s[selEnd], "cube"))) rollup = true;
    }
    if (rollup) {
        m[i - b].flags |= kRollup;
        m[i - b].end = selEnd;
    }
    return listEnd;
}

}  // namespace

bool EndsSelectList(const Node& n) {
    // clang-format off
    static const std::unordered_set<std::string_view> kEnds = {
        "from", "into", "where", "group", "having", "order", "union", "except", "intersect",
        "for", "option", "select"};
    // clang-format on
    return IsOp(n, ";") || (IsWord(n) && InSet(kEnds, n.tok->text));
}

void MakePlan(const Seq& s, size_t b, size_t e, bool concatBindsTighter, std::vector<Mark>& m) {
    m.assign(e - b, Mark{});
    bool inFrom = false;
    for (size_t i = b; i < e; ++i) {
        const Node& n = s[i];
        if (IsWord(n, "with") && i + 1 < e && IsParen(s[i + 1]) && IsHintList(s[i + 1])) {
            m[i - b].flags |= kDrop;
            m[i + 1 - b].flags |= kDrop;
            ++i;
            continue;
        }
        if (IsParen(n) && inFrom && i > b && IsName(s[i - 1]) && IsHintList(n)) {
            m[i - b].flags |= kDrop;
            continue;
        }
        const bool isDbo = (IsWord(n) && SqlWordIs(n.tok->text, "dbo")) ||
                           (IsTok(n, SqlTokenKind::BracketName) && SqlWordIs(Unquote(n.tok->text), "dbo"));
        if (isDbo && i + 2 < e && IsOp(s[i + 1], ".") && IsName(s[i + 2]) &&
            (i == 0 || !IsOp(s[i - 1], "."))) {
            m[i - b].flags |= kDropKeepGap;
            m[i + 1 - b].flags |= kDrop;
            ++i;
            continue;
        }
        if (IsWord(n) && IsReserved(n.tok->text)) {
            const std::string_view w = n.tok->text;
            if (SqlWordIs(w, "from") || SqlWordIs(w, "join")) {
                inFrom = true;
            } else if (!SqlWordIs(w, "as") && !SqlWordIs(w, "inner") && !SqlWordIs(w, "left") &&
                       !SqlWordIs(w, "right") && !SqlWordIs(w, "outer") && !SqlWordIs(w, "cross") &&
                       !SqlWordIs(w, "full")) {
                inFrom = false;
            }
            if (SqlWordIs(w, "select")) {
                // Items are planned here; the scan goes on inside them for hints and dbo.
                PlanSelect(s, b, i, e, m);
            } else if (SqlWordIs(w, "order") && i + 1 < e && IsWord(s[i + 1], "by")) {
                size_t end = i + 2;
                while (end < e && !EndsOrderList(s[end])) ++end;
                m[i - b].flags |= kOrderBy;
                m[i - b].end = end;
            } else if (SqlWordIs(w, "like")) {
                Segment pattern;
                const size_t end = ScanSegment(s, i + 1, e, &pattern);
                if (pattern.complete && end > i + 1) {
                    m[i - b].flags |= kLike;
                    m[i - b].end = end;
                }
            }
        }
    }

    // String joins. Each node is looked at by at most two scans, so this stays linear.
    Segment seg;
    for (size_t i = b; i < e;) {
        const size_t k = ScanSegment(s, i, e, &seg);
        if (seg.ops.size() > 0 && SegmentIsStringy(s, seg)) {
            // Where || binds tighter than * / % and -, such terms and a left part holding a
            // binary minus are put in parentheses; where it binds looser than + and -, a left
            // part holding a join is put in parentheses before a minus.
            bool leftHasMinus = false, leftHasConcat = false;
            auto wrapLeft = [&](size_t t) {
                ++m[seg.terms[0].b - b].open;
                ++m[seg.terms[t - 1].e - 1 - b].close;
            };
            for (size_t t = 0; t < seg.terms.size(); ++t) {
                if (t > 0) {
                    const size_t op = seg.ops[t - 1];
                    if (IsOp(s[op], "+")) {
                        m[op - b].flags |= kConcat;
                        if (concatBindsTighter && leftHasMinus) {
                            wrapLeft(t);
                            leftHasMinus = false;
                        }
                        leftHasConcat = true;
                    } else {
                        if (!concatBindsTighter && leftHasConcat) {
                            wrapLeft(t);
                            leftHasConcat = false;
                        }
                        leftHasMinus = true;
                    }
                }
                if (concatBindsTighter && seg.terms[t].compound) {
                    ++m[seg.terms[t].b - b].open;
                    ++m[seg.terms[t].e - 1 - b].close;
                }
            }
        }
        i = k > i ? k : i + 1;
    }
}

}  // namespace rdb::dialect
