#include "rdb/dialect/CallParser.h"

#include <utility>

#include "rdb/dialect/SyntaxTree.h"

namespace rdb::dialect {
namespace {

bool IsOpTok(const SqlToken& t, std::string_view op) {
    return t.kind == SqlTokenKind::Operator && t.text == op;
}

bool IsNameTok(const SqlToken& t) {
    return (t.kind == SqlTokenKind::Word && !IsReserved(t.text)) || t.kind == SqlTokenKind::QuotedName ||
           t.kind == SqlTokenKind::BracketName;
}

}  // namespace

bool StartsCall(const SqlToken& first) {
    return IsOpTok(first, "{") || (first.kind == SqlTokenKind::Word &&
                                   (SqlWordIs(first.text, "exec") || SqlWordIs(first.text, "execute")));
}

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
        // "[]" quotes nothing: no procedure, and no part of a name, is called that.
        if (NameText(t[i]).empty()) return fail("an empty procedure name", t[i]);
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

}  // namespace rdb::dialect
