#include "rdb/engine/TextCollation.h"

#include <sqlite3.h>

namespace rdb {
namespace {

int CollationCallback(void*, int n1, const void* p1, int n2, const void* p2) {
    std::string_view a(static_cast<const char*>(p1), n1 > 0 ? static_cast<size_t>(n1) : 0);
    std::string_view b(static_cast<const char*>(p2), n2 > 0 ? static_cast<size_t>(n2) : 0);
    return CompareText(a, b);
}

}  // namespace

int RegisterTextCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, &CollationCallback,
                                       nullptr);
}

}  // namespace rdb
