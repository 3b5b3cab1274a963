// The tables and indexes of a new database.
#pragma once

#include <string>

struct sqlite3;

namespace rdb {

struct Error;

// What a database file holds, as far as opening it is concerned.
enum class SchemaState {
    Empty,     // nothing at all: a new file
    Ours,      // the four tables of the desk's statements
    Foreign,   // anything else: another application's file, or ours damaged
};

// Looks at the file's schema without changing it. *missing names the first of our tables
// that is absent (for Foreign). Returns false with err filled when the file cannot be read
// (not a database, locked, ...).
bool InspectSchema(sqlite3* db, SchemaState* state, std::string* missing, Error* err);

// Creates whatever of the schema is missing (tables, named indexes) in one transaction;
// an existing complete database is left untouched. Returns false with err filled.
bool EnsureSchema(sqlite3* db, Error* err);

}  // namespace rdb
