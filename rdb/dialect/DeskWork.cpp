#include "rdb/dialect/DeskWork.h"

#include <optional>
#include <string_view>
#include <unordered_set>

#include "rdb/dialect/Plan.h"

namespace rdb::dialect {

bool IsDeskDigitColumn(std::string_view name) {
    // clang-format off
    static const std::unordered_set<std::string_view> kColumns = {
        "recv_phone", "caller_id", "cust_info", "dial_date", "dial_time", "comm_time",
        "is_print", "is_callback", "is_delete", "res_reply"};
    // clang-format on
    return InSet(kColumns, name);
}

namespace {

std::optional<DisplayFunction> DisplayFunctionNamed(const Node& n) {
    if (!IsWord(n)) return std::nullopt;
    if (SqlWordIs(n.tok->text, "f_fmt_tel")) return DisplayFunction::Tel;
    if (SqlWordIs(n.tok->text, "f_fmt_date")) return DisplayFunction::Date;
    if (SqlWordIs(n.tok->text, "f_fmt_time")) return DisplayFunction::Time;
    return std::nullopt;
}

bool SameWord(std::string_view a, std::string_view b) { return SqlWordIs(a, Lower(b)); }

bool HoldsSelect(const Seq& s) {
    for (const Node& n : s) {
        if (IsWord(n, "select") || HoldsSelect(n.kids)) return true;
    }
    return false;
}

bool NamesWord(const Seq& s, std::string_view word) {
    for (const Node& n : s) {
        if (n.kind == Node::Kind::Tok && (n.tok->kind == SqlTokenKind::Word || n.tok->kind == SqlTokenKind::QuotedName ||
                                          n.tok->kind == SqlTokenKind::BracketName)) {
            if (SameWord(NameText(*n.tok), word)) return true;
        } else if (NamesWord(n.kids, word)) {
            return true;
        }
    }
    return false;
}

// An item fmt(col) alias, dbo.fmt(col) alias, or either with AS before the alias.
struct Deferred {
    size_t b = 0, e = 0;       // the item
    size_t call = 0;           // the call's argument list
    const SqlToken* alias = nullptr;
    DisplayFunction function = DisplayFunction::Tel;
};

std::optional<Deferred> ReadDeferred(const Seq& s, size_t b, size_t e) {
    Deferred d{b, e};
    size_t k = b;
    if (k + 2 < e && IsWord(s[k], "dbo") && IsOp(s[k + 1], ".")) k += 2;
    const auto fn = k < e ? DisplayFunctionNamed(s[k]) : std::nullopt;
    if (!fn || k + 1 >= e || !IsParen(s[k + 1])) return std::nullopt;
    d.function = *fn;
    d.call = k + 1;
    size_t a = k + 2;
    if (a < e && IsWord(s[a], "as")) ++a;
    if (a + 1 != e || !IsWord(s[a]) || IsReserved(s[a].tok->text)) return std::nullopt;
    d.alias = s[a].tok;
    // The argument: a column, bare or qualified by its table.
    const Seq& arg = s[d.call].kids;
    const bool column = (arg.size() == 1 && IsWord(arg[0])) ||
                        (arg.size() == 3 && IsName(arg[0]) && IsOp(arg[1], ".") && IsWord(arg[2]));
    if (!column || IsReserved(arg.back().tok->text) || !IsDeskDigitColumn(arg.back().tok->text)) return std::nullopt;
    return d;
}

// The name a select item's result goes by, when it is a plain name.
std::string OutputName(const Seq& s, size_t b, size_t e) {
    if (e - b >= 3 && IsAliasName(s[b]) && IsOp(s[b + 1], "=")) return NameText(*s[b].tok);
    const Node& last = s[e - 1];
    return IsName(last) || IsAliasName(last) ? NameText(*last.tok) : std::string();
}

}  // namespace

bool PlanDeskWork(const Seq& s, Seq* out, std::deque<SqlToken>* tokens, DeskWork* work) {
    if (s.empty() || !IsWord(s[0], "select")) return false;
    // Anything that makes rows of rows, or picks some of them, stays on the server whole.
    static const std::unordered_set<std::string_view> kRefused = {
        "distinct", "all", "top", "group", "having", "union", "except", "intersect", "limit", "offset",
        "fetch", "into", "for", "option", "select"};
    size_t end = s.size();
    if (end > 0 && IsOp(s[end - 1], ";")) --end;
    // A subquery anywhere, in the FROM too: a column of a derived table is not the stored
    // column its name says.
    for (size_t i = 1; i < end; ++i) {
        if (IsOp(s[i], ";") || (IsWord(s[i]) && InSet(kRefused, s[i].tok->text)) || HoldsSelect(s[i].kids))
            return false;
    }
    size_t listEnd = 1;
    while (listEnd < end && !EndsSelectList(s[listEnd])) ++listEnd;
    const auto items = SplitCommas(s, 1, listEnd);
    std::vector<Deferred> deferred;
    std::vector<size_t> columnOf;
    for (size_t c = 0; c < items.size(); ++c) {
        const auto [ib, ie] = items[c];
        if (ib == ie || IsOp(s[ie - 1], "*")) return false;
        if (auto d = ReadDeferred(s, ib, ie)) {
            deferred.push_back(*d);
            columnOf.push_back(c);
        }
    }
    if (deferred.empty()) return false;

    size_t order = end;
    for (size_t i = listEnd; i + 1 < end; ++i) {
        if (IsWord(s[i], "order") && IsWord(s[i + 1], "by")) {
            order = i;
            break;
        }
    }
    std::vector<DeskSortKey> keys;
    bool orderMoves = order < end;
    if (orderMoves) {
        for (const auto& [kb, ke] : SplitCommas(s, order + 2, end)) {
            size_t len = ke - kb;
            bool desc = false;
            if (len == 2 && (IsWord(s[ke - 1], "asc") || IsWord(s[ke - 1], "desc"))) {
                desc = IsWord(s[ke - 1], "desc");
                --len;
            }
            std::optional<size_t> column;
            if (len == 1 && IsWord(s[kb])) {
                // The name must stand for that one item alone.
                int named = 0;
                for (const auto& [ib, ie] : items) named += SameWord(OutputName(s, ib, ie), s[kb].tok->text) ? 1 : 0;
                for (size_t d = 0; d < deferred.size() && named == 1; ++d) {
                    if (SameWord(deferred[d].alias->text, s[kb].tok->text)) column = columnOf[d];
                }
            }
            if (!column) {
                orderMoves = false;
                break;
            }
            keys.push_back(DeskSortKey{*column, desc});
        }
    }
    if (!orderMoves && order < end) {
        // The server sorts: what it sorts by must be what the desk shows.
        const Seq orderList(s.begin() + order, s.begin() + end);
        for (const Node& n : orderList) {
            if (IsTok(n, SqlTokenKind::Number)) return false;  // a position in the list
        }
        std::vector<Deferred> kept;
        std::vector<size_t> keptColumns;
        for (size_t d = 0; d < deferred.size(); ++d) {
            if (NamesWord(orderList, deferred[d].alias->text)) continue;
            kept.push_back(deferred[d]);
            keptColumns.push_back(columnOf[d]);
        }
        deferred.swap(kept);
        columnOf.swap(keptColumns);
        keys.clear();
        if (deferred.empty()) return false;
    }

    out->clear();
    size_t d = 0;
    for (size_t i = 0; i < s.size();) {
        if (orderMoves && i == order) {
            i = end;
            continue;
        }
        if (d < deferred.size() && i == deferred[d].b) {
            // The column in the place of the call, with the call's blanks before it.
            const Seq& arg = s[deferred[d].call].kids;
            for (size_t a = 0; a < arg.size(); ++a) {
                tokens->push_back(*arg[a].tok);
                if (a == 0) tokens->back().gap = s[i].tok->gap;
                Node n;
                n.tok = &tokens->back();
                out->push_back(std::move(n));
            }
            for (size_t k = deferred[d].call + 1; k < deferred[d].e; ++k) out->push_back(s[k]);
            i = deferred[d].e;
            ++d;
            continue;
        }
        out->push_back(s[i]);
        ++i;
    }
    work->formats.clear();
    for (size_t k = 0; k < deferred.size(); ++k) work->formats.push_back(DeskFormat{columnOf[k], deferred[k].function});
    work->order = std::move(keys);
    return true;
}

}  // namespace rdb::dialect
