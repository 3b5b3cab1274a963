// Writing a statement's tree out for one engine: one walk over the plan of each level, shared
// by the targets; each target spells what differs (names, literals, types, rollups).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rdb/dialect/Plan.h"
#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {

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

    // Writes a whole statement (the children of the tree's root); false once it failed.
    bool EmitStatement(const Seq& statement, std::string& out) {
        EmitRange(statement, 0, statement.size(), nullptr, out, false);
        return !failed_;
    }

    void EmitRange(const Seq& s, size_t b, size_t e, const Rolled* rolled, std::string& out,
                   bool suppressFirstGap);

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
    void Fail(std::string msg);
    static void WriteGap(GapState& g, const std::string& own, std::string& out);
    // Appends text, with a blank first where the two would otherwise run together.
    void Put(std::string& out, std::string_view text) const;
    std::string Render(const Seq& s, size_t b, size_t e, const Rolled* rolled);
    // Reads a column reference of 1 to 3 parts in [b, e); false if it is anything else.
    static bool ReadColumn(const Seq& s, size_t b, size_t e, GroupColumn* col);
    static int MatchColumn(const Seq& s, size_t b, size_t e, const std::vector<GroupColumn>& cols);

    std::string spelled_;  // what Spell returned, when not the token's own text

private:
    // Writes the node at i (and what belongs to it); returns the index after it.
    size_t EmitNode(const Seq& s, size_t i, size_t e, const Rolled* rolled, std::string& out, GapState& g,
                    const Mark& mk);
    // convert(type, x) -> CAST(x AS type)
    void EmitConvert(const Seq& s, size_t i, const Rolled* rolled, std::string& out, GapState& g,
                     const Mark& mk);
    // SELECT items FROM ... GROUP BY c1, ..., cn WITH ROLLUP [HAVING ...] [ORDER BY ...]:
    // read here, written by the target.
    void EmitRollup(const Seq& s, size_t sel, size_t selEnd, std::string& out, GapState& g);
    bool ReadRollup(const Seq& s, size_t sel, size_t selEnd, RollupShape* r);

    std::string_view input_;
    std::string* error_;
    bool failed_ = false;
    int rollupDepth_ = 0;
};

}  // namespace rdb::dialect
