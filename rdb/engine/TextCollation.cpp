#include "rdb/engine/TextCollation.h"

#include <sqlite3.h>

namespace rdb {
namespace {

std::string_view TrimTrailingBlanks(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

unsigned char Fold(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

int CollationCallback(void*, int n1, const void* p1, int n2, const void* p2) {
    std::string_view a(static_cast<const char*>(p1), n1 > 0 ? static_cast<size_t>(n1) : 0);
    std::string_view b(static_cast<const char*>(p2), n2 > 0 ? static_cast<size_t>(n2) : 0);
    return CompareText(a, b);
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
    a = TrimTrailingBlanks(a);
    b = TrimTrailingBlanks(b);
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = Fold(a[i]);
        const unsigned char cb = Fold(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int RegisterTextCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, &CollationCallback,
                                       nullptr);
}

}  // namespace rdb
