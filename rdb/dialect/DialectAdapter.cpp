#include "rdb/dialect/DialectAdapter.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "rdb/dialect/SqlLexer.h"

namespace rdb {
namespace {

// Deeper nesting than this is refused: no statement of the desk comes near it, and it
// bounds the recursion of the rewriter.
constexpr size_t kMaxNesting = 128;
// A rollup over n columns becomes n + 1 grouping levels.
constexpr size_t kMaxRollupColumns = 16;

// The statement as a tree: parenthesised groups and CASE ... END blocks hold their contents
// as children, so each level can be read as a flat sequence.
struct Node {
    enum class Kind : uint8_t { Tok, Paren, Case };
    Kind kind = Kind::Tok;
    const SqlToken* tok = nullptr;    // the token; '(' for Paren; CASE for Case
    const SqlToken* close = nullptr;  // ')' or END
    std::vector<Node> kids;
    mutable int8_t stringy = -1;     // memo of ParenIsStringy
    mutable int8_t argStringy = -1;  // memo of AnyArgIsStringy
};
using Seq = std::vector<Node>;

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

bool InSet(const std::unordered_set<std::string_view>& set, std::string_view word) {
    if (word.size() > 24) return false;
    return set.count(Lower(word)) != 0;
}

// Words that cannot be names: they end an arithmetic run and never start an alias.
bool IsReserved(std::string_view w) {
    // clang-format off
    static const std::unordered_set<std::string_view> kWords = {
        "add", "all", "and", "any", "as", "asc", "between", "by", "case", "collate",
        "cross", "cube", "delete", "desc", "distinct", "else", "end", "escape", "except",
        "exec", "execute", "exists", "fetch", "for", "from", "full", "glob", "group",
        "having", "in", "inner", "insert", "intersect", "into", "is", "join", "left",
        "like", "limit", "match", "natural", "not", "offset", "on", "option", "or", "order",
        "outer", "over", "partition", "percent", "regexp", "right", "rollup", "select",
        "set", "some", "then", "ties", "top", "union", "update", "using", "values", "when",
        "where", "with"};
    // clang-format on
    return InSet(kWords, w);
}

bool IsTableHint(std::string_view w) {
    // clang-format off
    static const std::unordered_set<std::string_view> kHints = {
        "nolock", "readuncommitted", "readcommitted", "readcommittedlock", "repeatableread",
        "serializable", "holdlock", "updlock", "xlock", "rowlock", "paglock", "tablock",
        "tablockx", "nowait", "readpast", "snapshot", "forceseek", "forcescan", "noexpand",
        "fastfirstrow", "keepidentity", "keepdefaults", "ignore_constraints",
        "ignore_triggers"};
    // clang-format on
    return InSet(kHints, w);
}

bool IsAggregate(std::string_view w) {
    // clang-format off
    static const std::unordered_set<std::string_view> kAggregates = {
        "count", "count_big", "sum", "avg", "min", "max", "stdev", "stdevp", "var", "varp",
        "string_agg", "checksum_agg", "group_concat", "total"};
    // clang-format on
    return InSet(kAggregates, w);
}

// Functions whose result is text, so that '+' next to them joins strings.
bool IsTextFunction(std::string_view w) {
    // clang-format off
    static const std::unordered_set<std::string_view> kFunctions = {
        "substring", "left", "right", "ltrim", "rtrim", "trim", "upper", "lower", "replace",
        "space", "replicate", "stuff", "char", "nchar", "reverse", "str", "concat"};
    // clang-format on
    return InSet(kFunctions, w);
}

// The kind of value convert(type, x) makes; each target spells it in its own type name.
enum class CastKind : uint8_t { None, Text, Integer, BigInt, SmallInt, Real, Float, Numeric };

CastKind CastTarget(std::string_view w) {
    static const std::unordered_set<std::string_view> kText = {"char", "varchar", "nchar",  "nvarchar",
                                                               "text", "ntext",   "sysname"};
    static const std::unordered_set<std::string_view> kNumeric = {"decimal", "numeric", "money",
                                                                  "smallmoney"};
    if (InSet(kText, w)) return CastKind::Text;
    if (SqlWordIs(w, "int") || SqlWordIs(w, "bit")) return CastKind::Integer;
    if (SqlWordIs(w, "bigint")) return CastKind::BigInt;
    if (SqlWordIs(w, "smallint") || SqlWordIs(w, "tinyint")) return CastKind::SmallInt;
    if (SqlWordIs(w, "real")) return CastKind::Real;
    if (SqlWordIs(w, "float")) return CastKind::Float;
    if (InSet(kNumeric, w)) return CastKind::Numeric;
    return CastKind::None;
}

bool IsTok(const Node& n, SqlTokenKind k) { return n.kind == Node::Kind::Tok && n.tok->kind == k; }
bool IsWord(const Node& n) { return IsTok(n, SqlTokenKind::Word); }
bool IsWord(const Node& n, std::string_view kw) { return IsWord(n) && SqlWordIs(n.tok->text, kw); }
bool IsOp(const Node& n, std::string_view op) {
    return IsTok(n, SqlTokenKind::Operator) && n.tok->text == op;
}
bool IsParen(const Node& n) { return n.kind == Node::Kind::Paren; }

// A name: an unreserved word, a "quoted" or a [bracketed] name.
bool IsName(const Node& n) {
    if (n.kind != Node::Kind::Tok) return false;
    switch (n.tok->kind) {
        case SqlTokenKind::Word:
            return !IsReserved(n.tok->text);
        case SqlTokenKind::QuotedName:
        case SqlTokenKind::BracketName:
            return true;
        default:
            return false;
    }
}

// What may stand as a column alias: a name or, as SQL Server allows, a string.
bool IsAliasName(const Node& n) { return IsName(n) || IsTok(n, SqlTokenKind::String); }

// Node that ends a value, so that a name right after it is an alias.
bool EndsValue(const Node& n) {
    if (n.kind != Node::Kind::Tok) return true;
    switch (n.tok->kind) {
        case SqlTokenKind::String:
        case SqlTokenKind::NString:
        case SqlTokenKind::Number:
        case SqlTokenKind::QuotedName:
        case SqlTokenKind::BracketName:
            return true;
        case SqlTokenKind::Word:
            return !IsReserved(n.tok->text) || SqlWordIs(n.tok->text, "null");
        default:
            return false;
    }
}

bool IsSetOperator(const Node& n) {
    return IsWord(n, "union") || IsWord(n, "except") || IsWord(n, "intersect");
}

std::string Unquote(std::string_view text) {
    // 'x', "x" or [x]: drop the outer pair and undouble the closing character.
    std::string r;
    if (text.size() < 2) return r;
    const char close = text.back();
    r.reserve(text.size() - 2);
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        r += text[i];
        if (text[i] == close && i + 2 < text.size() && text[i + 1] == close) ++i;
    }
    return r;
}

std::string QuoteName(std::string_view name) {
    std::string r = "\"";
    for (char c : name) {
        r += c;
        if (c == '"') r += '"';
    }
    r += '"';
    return r;
}

// The bare name a name token stands for.
std::string NameText(const SqlToken& t) {
    if (t.kind == SqlTokenKind::Word) return std::string(t.text);
    return Unquote(t.text);
}

// Splits the range [b, e) of a sequence at its commas.
std::vector<std::pair<size_t, size_t>> SplitCommas(const Seq& s, size_t b, size_t e) {
    std::vector<std::pair<size_t, size_t>> parts;
    size_t start = b;
    for (size_t i = b; i < e; ++i) {
        if (IsOp(s[i], ",")) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

size_t EndOffset(const Node& n) {
    const SqlToken* t = n.close ? n.close : n.tok;
    return t->offset + t->text.size();
}

// ---------------------------------------------------------------------------------------
// Tree building

bool BuildTree(const std::vector<SqlToken>& toks, Node* root, std::string* error) {
    root->kind = Node::Kind::Paren;
    std::vector<Node*> stack{root};
    auto fail = [&](std::string msg) {
        *error = std::move(msg);
        return false;
    };
    for (const SqlToken& t : toks) {
        if (t.kind == SqlTokenKind::End) break;
        Node* top = stack.back();
        const bool isOp = t.kind == SqlTokenKind::Operator;
        if (isOp && t.text == "(") {
            if (stack.size() > kMaxNesting) return fail("statement is nested too deeply");
            top->kids.push_back(Node{Node::Kind::Paren, &t, nullptr, {}});
            stack.push_back(&top->kids.back());
        } else if (t.kind == SqlTokenKind::Word && SqlWordIs(t.text, "case")) {
            if (stack.size() > kMaxNesting) return fail("statement is nested too deeply");
            top->kids.push_back(Node{Node::Kind::Case, &t, nullptr, {}});
            stack.push_back(&top->kids.back());
        } else if (isOp && t.text == ")") {
            if (top->kind == Node::Kind::Case)
                return fail("CASE at offset " + std::to_string(top->tok->offset) + " has no END before ')'");
            if (stack.size() == 1)
                return fail("unbalanced parentheses: ')' at offset " + std::to_string(t.offset) +
                            " has no matching '('");
            top->close = &t;
            stack.pop_back();
        } else if (t.kind == SqlTokenKind::Word && SqlWordIs(t.text, "end") &&
                   top->kind == Node::Kind::Case) {
            top->close = &t;
            stack.pop_back();
        } else if (isOp && (t.text == "{" || t.text == "}")) {
            return fail("unexpected '" + std::string(t.text) + "' at offset " + std::to_string(t.offset) +
                        " (only {call ...} is understood)");
        } else {
            top->kids.push_back(Node{Node::Kind::Tok, &t, nullptr, {}});
        }
    }
    if (stack.size() > 1) {
        const Node* open = stack.back();
        if (open->kind == Node::Kind::Case)
            return fail("CASE at offset " + std::to_string(open->tok->offset) + " has no END");
        return fail("unbalanced parentheses: '(' at offset " + std::to_string(open->tok->offset) +
                    " is not closed");
    }
    return true;
}

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
// The plan of one level: what to do with each node of a range.

enum : uint8_t {
    kConcat = 1,       // this '+' joins strings: write ||
    kDrop = 2,         // leave the node out, with the blanks before it
    kDropKeepGap = 4,  // leave the node out, its blanks go to the next node
    kAliasItem = 8,    // select item NAME = expr; end = item end
    kRollup = 16,      // SELECT ... WITH ROLLUP; end = end of that select
    kBareAlias = 32,   // the alias of a select item written "expr NAME"
    kOrderBy = 64,     // ORDER of ORDER BY; end = end of its list
    kLike = 128,       // LIKE; end = end of its pattern
};

struct Mark {
    uint8_t flags = 0;
    uint32_t open = 0;   // '(' to write before the node
    uint32_t close = 0;  // ')' to write after the node
    size_t end = 0;
};

bool EndsSelectList(const Node& n) {
    // clang-format off
    static const std::unordered_set<std::string_view> kEnds = {
        "from", "into", "where", "group", "having", "order", "union", "except", "intersect",
        "for", "option", "select"};
    // clang-format on
    return IsOp(n, ";") || (IsWord(n) && InSet(kEnds, n.tok->text));
}

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

// concatBindsTighter: whether the target's || binds tighter than + and - (as in SQLite) or
// looser (as in PostgreSQL); the parentheses that keep SQL Server's left-to-right reading
// differ accordingly.
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

// ---------------------------------------------------------------------------------------
// Writing the text: one walk over the plan; each target spells what differs.

struct GroupColumn {
    std::string qualifier;  // table or alias before the name, if written
    std::string name;
    size_t b = 0, e = 0;  // node range in the select's sequence
};

// Active while the items of a rollup are written. Where the target unions the grouping
// levels itself, rolled-up columns read NULL and grouping(col) becomes 1 or 0; where the
// target rolls up natively (native), names keep their values and grouping() stays.
struct Rolled {
    const std::vector<GroupColumn>* columns = nullptr;
    std::vector<bool> rolled;
    bool native = false;
};

struct GapState {
    bool suppress = false;                 // write no blanks before the next node
    const std::string* pending = nullptr;  // blanks of a dropped node, for the next node
};

bool SameName(const std::string& a, const std::string& b) { return SqlWordIs(a, Lower(b)); }

// One SELECT ... GROUP BY ... WITH ROLLUP as read from the statement.
struct RollupShape {
    struct Item {
        size_t b = 0, e = 0;              // the expression
        const SqlToken* alias = nullptr;  // its alias, if written
        std::string name;                 // the result column's name
    };
    std::vector<Item> items;
    std::vector<GroupColumn> cols;
    const Seq* colSeq = nullptr;       // the sequence the columns are in
    size_t from = 0, group = 0;        // FROM ... WHERE ... is [from, group)
    size_t having = 0, havingEnd = 0;  // HAVING word and the end of its condition; selEnd if none
    size_t order = 0;                  // first node after ORDER BY; selEnd if none
    size_t selEnd = 0;
};

class Emitter {
public:
    Emitter(std::string_view input, std::string* error) : input_(input), error_(error) {}
    virtual ~Emitter() = default;

    bool Failed() const { return failed_; }

    void EmitRange(const Seq& s, size_t b, size_t e, const Rolled* rolled, std::string& out,
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

protected:
    // --- What the targets write differently ---------------------------------------------
    virtual bool ConcatBindsTighter() const = 0;
    // The target's function for isnull(a, b).
    virtual std::string_view IsNullFunction() const = 0;
    virtual std::string_view TypeName(CastKind kind) const = 0;
    // A token written as itself: words, names, literals, operators other than a string '+'.
    // The text is the token's own or lives in spelled_ until the next call.
    virtual std::string_view Spell(const SqlToken& t) = 0;
    // The name after AS for an alias token (word, quoted or bracketed name, or string).
    virtual std::string AliasName(const SqlToken& t) = 0;
    // Whether two output characters, written side by side, would read as one token.
    virtual bool NeedsBlank(char /*prev*/, char /*next*/) const { return false; }
    // Marks only one target acts on; true when the node (up to *next) was written.
    virtual bool EmitTargetMarked(const Seq& /*s*/, size_t /*i*/, size_t /*e*/, const Rolled* /*rolled*/,
                                  const Mark& /*mk*/, std::string& /*out*/, GapState& /*g*/,
                                  size_t* /*next*/) {
        return false;
    }
    virtual void EmitRollupSelect(const Seq& s, const RollupShape& r, std::string& out) = 0;

    // --- Shared by the targets ----------------------------------------------------------
    void Fail(std::string msg) {
        if (!failed_) *error_ = std::move(msg);
        failed_ = true;
    }

    static void WriteGap(GapState& g, const std::string& own, std::string& out) {
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

    // Appends text, with a blank first where the two would otherwise run together.
    void Put(std::string& out, std::string_view text) const {
        if (!out.empty() && !text.empty() && NeedsBlank(out.back(), text.front())) out += ' ';
        out += text;
    }

    std::string Render(const Seq& s, size_t b, size_t e, const Rolled* rolled) {
        std::string text;
        EmitRange(s, b, e, rolled, text, true);
        return text;
    }

private:
    // Writes the node at i (and what belongs to it); returns the index after it.
    size_t EmitNode(const Seq& s, size_t i, size_t e, const Rolled* rolled, std::string& out, GapState& g,
                    const Mark& mk) {
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

    // convert(type, x) -> CAST(x AS type)
    void EmitConvert(const Seq& s, size_t i, const Rolled* rolled, std::string& out, GapState& g,
                     const Mark& mk) {
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

protected:
    // Reads a column reference of 1 to 3 parts in [b, e); false if it is anything else.
    static bool ReadColumn(const Seq& s, size_t b, size_t e, GroupColumn* col) {
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

    static int MatchColumn(const Seq& s, size_t b, size_t e, const std::vector<GroupColumn>& cols) {
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

private:
    // SELECT items FROM ... GROUP BY c1, ..., cn WITH ROLLUP [HAVING ...] [ORDER BY ...]:
    // read here, written by the target.
    void EmitRollup(const Seq& s, size_t sel, size_t selEnd, std::string& out, GapState& g) {
        RollupShape r;
        if (!ReadRollup(s, sel, selEnd, &r)) return;
        ++rollupDepth_;
        WriteGap(g, s[sel].tok->gap, out);
        EmitRollupSelect(s, r, out);
        --rollupDepth_;
    }

    bool ReadRollup(const Seq& s, size_t sel, size_t selEnd, RollupShape* r) {
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

    std::string_view input_;
    std::string* error_;
    bool failed_ = false;
    int rollupDepth_ = 0;

protected:
    std::string spelled_;  // what Spell returned, when not the token's own text
};

// ---------------------------------------------------------------------------------------
// SQLite

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

// ---------------------------------------------------------------------------------------
// PostgreSQL

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

// ---------------------------------------------------------------------------------------
// Procedure calls: {call NAME(args)}, { call NAME (args) }, exec NAME args

bool IsOpTok(const SqlToken& t, std::string_view op) {
    return t.kind == SqlTokenKind::Operator && t.text == op;
}

bool IsNameTok(const SqlToken& t) {
    return (t.kind == SqlTokenKind::Word && !IsReserved(t.text)) || t.kind == SqlTokenKind::QuotedName ||
           t.kind == SqlTokenKind::BracketName;
}

// *nameParts receives the parts of the procedure's name, the dbo. prefix left out.
bool ParseCall(const std::vector<SqlToken>& t, Translation* out, std::vector<std::string>* nameParts,
               std::string* error) {
    auto fail = [&](const std::string& msg, const SqlToken& at) {
        *error = "malformed procedure call: " + msg + " at offset " + std::to_string(at.offset);
        return false;
    };
    const bool brace = IsOpTok(t[0], "{");
    size_t i = 1;
    if (brace) {
        if (IsOpTok(t[i], "?")) return fail("a return value is not supported", t[i]);
        if (!(t[i].kind == SqlTokenKind::Word && SqlWordIs(t[i].text, "call")))
            return fail("expected CALL after '{'", t[i]);
        ++i;
    }
    std::vector<std::string> parts;
    while (true) {
        if (!IsNameTok(t[i])) return fail("expected a procedure name", t[i]);
        parts.push_back(NameText(t[i]));
        ++i;
        if (!IsOpTok(t[i], ".")) break;
        ++i;
    }
    ProcedureCall call;
    if (parts.size() >= 2 && SqlWordIs(Lower(parts[parts.size() - 2]), "dbo")) {
        call.name = parts.back();
        parts.erase(parts.begin(), parts.end() - 1);
    } else {
        for (size_t p = 0; p < parts.size(); ++p) call.name += (p ? "." : "") + parts[p];
    }

    auto parseArg = [&]() {
        const SqlToken& a = t[i];
        if ((IsOpTok(a, "-") || IsOpTok(a, "+")) && t[i + 1].kind == SqlTokenKind::Number) {
            call.args.push_back((a.text == "-" ? "-" : "") + std::string(t[i + 1].text));
            call.argIsNull.push_back(false);
            i += 2;
            return true;
        }
        if (a.kind == SqlTokenKind::Number) {
            call.args.emplace_back(a.text);
        } else if (a.kind == SqlTokenKind::String) {
            call.args.push_back(Unquote(a.text));
        } else if (a.kind == SqlTokenKind::NString) {
            call.args.push_back(Unquote(a.text.substr(1)));
        } else if (a.kind == SqlTokenKind::Word && SqlWordIs(a.text, "null")) {
            call.args.emplace_back();
            call.argIsNull.push_back(true);
            ++i;
            return true;
        } else {
            if (a.kind == SqlTokenKind::Word && a.text.size() > 1 && a.text[0] == '@')
                return fail("named arguments are not supported", a);
            return fail("argument " + std::to_string(call.args.size() + 1) + " is not a literal", a);
        }
        call.argIsNull.push_back(false);
        ++i;
        return true;
    };

    if (brace) {
        if (IsOpTok(t[i], "(")) {
            ++i;
            if (!IsOpTok(t[i], ")")) {
                while (true) {
                    if (!parseArg()) return false;
                    if (IsOpTok(t[i], ",")) {
                        ++i;
                        continue;
                    }
                    if (IsOpTok(t[i], ")")) break;
                    return fail("expected ',' or ')'", t[i]);
                }
            }
            ++i;
        }
        if (!IsOpTok(t[i], "}")) return fail("expected '}'", t[i]);
        ++i;
    } else if (t[i].kind != SqlTokenKind::End && !IsOpTok(t[i], ";")) {
        while (true) {
            if (!parseArg()) return false;
            if (!IsOpTok(t[i], ",")) break;
            ++i;
        }
    }
    if (IsOpTok(t[i], ";")) ++i;
    if (t[i].kind != SqlTokenKind::End) return fail("unexpected text after the call", t[i]);
    out->kind = Translation::Kind::Call;
    out->call = std::move(call);
    *nameParts = std::move(parts);
    return true;
}

enum class Target { Sqlite, Postgres };

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

bool Translate(std::string_view tsql, Target target, Translation* out, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    error->clear();
    if (!out) {
        *error = "no place for the translation";
        return false;
    }
    *out = Translation{};
    std::vector<SqlToken> toks;
    if (!SqlLexer::Tokenize(tsql, &toks, error)) return false;
    if (toks.size() == 1) {
        *error = "empty statement";
        return false;
    }
    const SqlToken& first = toks[0];
    if (IsOpTok(first, "{") || (first.kind == SqlTokenKind::Word &&
                                (SqlWordIs(first.text, "exec") || SqlWordIs(first.text, "execute")))) {
        std::vector<std::string> nameParts;
        if (!ParseCall(toks, out, &nameParts, error)) return false;
        if (target == Target::Postgres) out->sql = PostgresCallText(nameParts, out->call.args.size());
        return true;
    }
    Node root;
    if (!BuildTree(toks, &root, error)) return false;
    std::string sql;
    sql.reserve(tsql.size() + tsql.size() / 4 + 16);
    SqliteEmitter sqlite(tsql, error);
    PostgresEmitter postgres(tsql, error);
    Emitter& emitter = target == Target::Sqlite ? static_cast<Emitter&>(sqlite) : postgres;
    emitter.EmitRange(root.kids, 0, root.kids.size(), nullptr, sql, false);
    if (emitter.Failed()) return false;
    if (sql.find_first_not_of(" \t\r\n\v\f") == std::string::npos) {
        *error = "nothing to run once the table hints are removed";
        return false;
    }
    sql += toks.back().gap;
    out->sql = std::move(sql);
    return true;
}

}  // namespace

bool TranslateToSqlite(std::string_view tsql, Translation* out, std::string* error) {
    return Translate(tsql, Target::Sqlite, out, error);
}

bool TranslateToPostgres(std::string_view tsql, Translation* out, std::string* error) {
    return Translate(tsql, Target::Postgres, out, error);
}

}  // namespace rdb
