// The tables and indexes of a new database.
#pragma once

struct sqlite3;

namespace rdb {

struct Error;

// Creates whatever of the schema is missing (tables, named indexes) in one transaction;
// an existing complete database is left untouched. Returns false with err filled.
bool EnsureSchema(sqlite3* db, Error* err);

}  // namespace rdb
