#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {
namespace {

// Deeper nesting than this is refused: no statement of the desk comes near it, and it
// bounds the recursion of the rewriter.
constexpr size_t kMaxNesting = 128;

}  // namespace

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

bool IsTextFunction(std::string_view w) {
    // clang-format off
    static const std::unordered_set<std::string_view> kFunctions = {
        "substring", "left", "right", "ltrim", "rtrim", "trim", "upper", "lower", "replace",
        "space", "replicate", "stuff", "char", "nchar", "reverse", "str", "concat"};
    // clang-format on
    return InSet(kFunctions, w);
}

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

bool IsAliasName(const Node& n) { return IsName(n) || IsTok(n, SqlTokenKind::String); }

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

std::string NameText(const SqlToken& t) {
    if (t.kind == SqlTokenKind::Word) return std::string(t.text);
    return Unquote(t.text);
}

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

}  // namespace rdb::dialect
