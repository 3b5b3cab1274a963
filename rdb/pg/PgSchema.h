// The desk's schema on a PostgreSQL database: the four tables, their indexes, the display
// functions and the callback-rate function, installed and migrated by version.
//
// Text: every text column is `bpchar` (trailing blanks carry no meaning in comparisons,
// and values come back as stored) with the collation `orvanta_text`, an ICU collation
// that ignores case (strength 2, nondeterministic). Together they compare text the way
// the embedded engine does: 'DEMO ' finds 'demo'. Such columns refuse LIKE and regular
// expressions unless a query says COLLATE "C".
#pragma once

#include <libpq-fe.h>

#include <string>
#include <vector>

namespace rdb::pg {

// The schema version this program installs.
int CurrentSchemaVersion();

enum class InitResult { Created, Migrated, UpToDate, Refused, Failed };

// Installs the schema on an empty database, or migrates an older Orvanta schema, in one
// transaction under an advisory lock (two operators at once cannot both install it).
// Refuses a database holding tables of its own or a newer schema. *message says what was
// done or why not.
InitResult EnsureSchema(PGconn* conn, std::string* message);

// The tables in the order a copy fills them, each with its columns in insert order; the
// first column of RST_INB and USER_AGENT_INFO is the identity key.
struct TableDef {
    const char* name;
    std::vector<const char*> columns;
    const char* identity;  // identity key column, or null
};
const std::vector<TableDef>& Tables();

}  // namespace rdb::pg
