// A loadable extension for the stock sqlite3 program. Our text columns are declared with the
// engine's collation, which the program does not know, so without it an operator can neither
// look at rows nor run an integrity check. One line makes a database file readable:
//   sqlite3 -cmd '.load /path/to/orvanta_sqlite' orvanta.db
#include <sqlite3ext.h>

#include <string_view>

#include "rdb/engine/TextCollation.h"

SQLITE_EXTENSION_INIT1

namespace {

int Compare(void*, int n1, const void* p1, int n2, const void* p2) {
    return rdb::CompareText(
        std::string_view(static_cast<const char*>(p1), n1 > 0 ? static_cast<size_t>(n1) : 0),
        std::string_view(static_cast<const char*>(p2), n2 > 0 ? static_cast<size_t>(n2) : 0));
}

int Init(sqlite3* db, const sqlite3_api_routines* api) {
    SQLITE_EXTENSION_INIT2(api);
    return sqlite3_create_collation_v2(db, rdb::kTextCollation, SQLITE_UTF8, nullptr, &Compare,
                                       nullptr);
}

}  // namespace

// The program looks for the generic entry point first, then for the one named after the
// file; both are here so that a renamed file still loads.
extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(
    sqlite3* db, char**, const sqlite3_api_routines* api) {
    return Init(db, api);
}

extern "C" __attribute__((visibility("default"))) int sqlite3_orvantasqlite_init(
    sqlite3* db, char**, const sqlite3_api_routines* api) {
    return Init(db, api);
}
