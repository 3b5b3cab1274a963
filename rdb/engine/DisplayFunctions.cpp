#include "rdb/engine/DisplayFunctions.h"

#include "rdb/engine/TextCollation.h"

#include <sqlite3.h>

#include <initializer_list>
#include <new>

namespace rdb {
namespace {

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Joins consecutive groups of the given lengths with sep; the lengths must add up to the
// size of s.
std::string Group(std::string_view s, std::initializer_list<size_t> lengths, char sep) {
    std::string out;
    out.reserve(s.size() + lengths.size());
    size_t pos = 0;
    for (size_t len : lengths) {
        if (pos > 0) out += sep;
        out.append(s.substr(pos, len));
        pos += len;
    }
    return out;
}

using Formatter = std::string (*)(std::string_view);

// Formats the text form of the argument; NULL stays NULL and any value the formatter
// leaves alone is returned as it came, type included.
void Apply(sqlite3_context* ctx, sqlite3_value* arg, Formatter fmt) {
    const int type = sqlite3_value_type(arg);
    if (type != SQLITE_TEXT && type != SQLITE_INTEGER) {
        sqlite3_result_value(ctx, arg);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arg));
    const int bytes = sqlite3_value_bytes(arg);
    if (text == nullptr) {
        sqlite3_result_value(ctx, arg);
        return;
    }
    const std::string_view in(text, static_cast<size_t>(bytes));
    // No exception may cross SQLite's C frames: a failed allocation fails the statement.
    try {
        std::string out = fmt(in);
        if (out == in) {
            sqlite3_result_value(ctx, arg);
            return;
        }
        sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    }
}

void TelFn(sqlite3_context* ctx, int, sqlite3_value** argv) { Apply(ctx, argv[0], &FormatTel); }
void DateFn(sqlite3_context* ctx, int, sqlite3_value** argv) { Apply(ctx, argv[0], &FormatDate); }
void TimeFn(sqlite3_context* ctx, int, sqlite3_value** argv) { Apply(ctx, argv[0], &FormatTime); }

}  // namespace

std::string FormatTel(std::string_view value) {
    const std::string_view s = TrimTrailingBlanks(value);
    if (!AllDigits(s)) return std::string(value);
    const size_t n = s.size();
    if (s.substr(0, 2) == "02") {
        if (n == 9) return Group(s, {2, 3, 4}, '-');
        if (n == 10) return Group(s, {2, 4, 4}, '-');
    } else if (s[0] == '0') {
        // 050x personal numbers carry a four-digit prefix.
        if (s.substr(0, 3) == "050" && (n == 11 || n == 12)) return Group(s, {4, n - 8, 4}, '-');
        if (n == 10) return Group(s, {3, 3, 4}, '-');
        if (n == 11) return Group(s, {3, 4, 4}, '-');
    } else if (n == 8 && s[0] == '1' && (s[1] == '5' || s[1] == '6' || s[1] == '8')) {
        // Nationwide representative numbers: 15xx, 16xx, 18xx.
        return Group(s, {4, 4}, '-');
    }
    return std::string(value);
}

std::string FormatDate(std::string_view value) {
    const std::string_view s = TrimTrailingBlanks(value);
    if (s.size() == 8 && AllDigits(s)) return Group(s, {4, 2, 2}, '-');
    return std::string(value);
}

std::string FormatTime(std::string_view value) {
    const std::string_view s = TrimTrailingBlanks(value);
    if (s.size() == 6 && AllDigits(s)) return Group(s, {2, 2, 2}, ':');
    if (s.size() == 4 && AllDigits(s)) return Group(s, {2, 2}, ':');
    return std::string(value);
}

int RegisterDisplayFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Entry {
        const char* name;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    for (const Entry& e : {Entry{"F_FMT_TEL", &TelFn}, Entry{"F_FMT_DATE", &DateFn},
                           Entry{"F_FMT_TIME", &TimeFn}}) {
        const int rc = sqlite3_create_function_v2(db, e.name, 1, flags, nullptr, e.fn, nullptr,
                                                  nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

}  // namespace rdb
