// The desk's schema on a PostgreSQL database: the four tables, their indexes, the display
// functions and the callback-rate function, installed and migrated by version.
//
// Text: every text column is `bpchar` (trailing blanks carry no meaning in comparisons,
// and values come back as stored). Text people type (IDs, names, passwords, memos) has the
// collation `orvanta_text`, an ICU collation that ignores case (strength 2,
// nondeterministic): together they compare text the way the embedded engine does, 'DEMO '
// finds 'demo'. Such columns refuse LIKE and regular expressions unless a query says
// COLLATE "C". The columns of RST_INB that hold digits (telephone numbers, dates, times,
// flags, the customer code) use "C", which gives the same results for digits far faster.
#pragma once

#include <libpq-fe.h>

#include <string>
#include <vector>

namespace rdb::pg {

// The schema version this program installs.
int CurrentSchemaVersion();

enum class InitResult { Created, Migrated, UpToDate, Refused, Failed };

// The advisory lock (a transaction's) under which the operator's commands install the
// schema and lock the database down, so that two at once run one after the other:
// "orvanta" in ASCII.
inline constexpr long long kOperatorLockKey = 31359469478896993;

// Installs the schema on an empty database, or migrates an older Orvanta schema, in one
// transaction under an advisory lock (two operators at once cannot both install it).
// Refuses a database holding tables of its own or a newer schema. *message says what was
// done or why not.
InitResult EnsureSchema(PGconn* conn, std::string* message);
// The same, up to `version` only (at most the current one): a database as the program of
// that version left it.
InitResult EnsureSchemaVersion(PGconn* conn, int version, std::string* message);

// The tables in the order a copy fills them, each with its columns in insert order; the
// first column of RST_INB and USER_AGENT_INFO is the key the database gives a row inserted
// without one (an identity, and for agents the largest key plus one).
struct TableDef {
    const char* name;
    std::vector<const char*> columns;
    const char* identity;  // identity key column, or null
};
const std::vector<TableDef>& Tables();

}  // namespace rdb::pg
