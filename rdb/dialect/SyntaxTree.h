// The dialect adapter's reading of a statement: the token stream as a tree of parenthesised
// groups and CASE blocks, and what its words and nodes are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "rdb/dialect/SqlLexer.h"

namespace rdb::dialect {

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

// Builds the tree of toks (which end with End) under root, a Paren without a token. Returns
// false with *error set for unbalanced parentheses, a CASE without END, a brace, or nesting
// deeper than the rewriter goes.
bool BuildTree(const std::vector<SqlToken>& toks, Node* root, std::string* error);

std::string Lower(std::string_view s);
// Whether word, in ASCII lower case, is one of set (of lower-case words).
bool InSet(const std::unordered_set<std::string_view>& set, std::string_view word);

// Words that cannot be names: they end an arithmetic run and never start an alias.
bool IsReserved(std::string_view w);
bool IsTableHint(std::string_view w);
bool IsAggregate(std::string_view w);
// Functions whose result is text, so that '+' next to them joins strings.
bool IsTextFunction(std::string_view w);

// The kind of value convert(type, x) makes; each target spells it in its own type name.
enum class CastKind : uint8_t { None, Text, Integer, BigInt, SmallInt, Real, Float, Numeric };
CastKind CastTarget(std::string_view w);

inline bool IsTok(const Node& n, SqlTokenKind k) { return n.kind == Node::Kind::Tok && n.tok->kind == k; }
inline bool IsWord(const Node& n) { return IsTok(n, SqlTokenKind::Word); }
inline bool IsWord(const Node& n, std::string_view kw) { return IsWord(n) && SqlWordIs(n.tok->text, kw); }
inline bool IsOp(const Node& n, std::string_view op) {
    return IsTok(n, SqlTokenKind::Operator) && n.tok->text == op;
}
inline bool IsParen(const Node& n) { return n.kind == Node::Kind::Paren; }

// A name: an unreserved word, a "quoted" or a [bracketed] name.
bool IsName(const Node& n);
// What may stand as a column alias: a name or, as SQL Server allows, a string.
bool IsAliasName(const Node& n);
// Node that ends a value, so that a name right after it is an alias.
bool EndsValue(const Node& n);
bool IsSetOperator(const Node& n);

// 'x', "x" or [x] without the outer pair, the closing character undoubled.
std::string Unquote(std::string_view text);
std::string QuoteName(std::string_view name);
// The bare name a name token stands for.
std::string NameText(const SqlToken& t);
// Splits the range [b, e) of a sequence at its commas.
std::vector<std::pair<size_t, size_t>> SplitCommas(const Seq& s, size_t b, size_t e);
// Byte offset just after the node (its closing token, if it has one).
size_t EndOffset(const Node& n);

}  // namespace rdb::dialect
