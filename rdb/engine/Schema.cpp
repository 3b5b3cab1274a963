#include "rdb/engine/Schema.h"

#include <sqlite3.h>

#include <string>
#include <vector>

#include "rdb/engine/Engine.h"
#include "rdb/engine/TextCollation.h"

namespace rdb {
namespace {

struct SchemaObject {
    const char* name;
    std::string ddl;
};

// Text columns carry the case-insensitive, blank-padded collation so that comparisons,
// grouping and index look-ups behave alike.
std::vector<SchemaObject> SchemaObjects() {
    const std::string t = std::string("TEXT COLLATE ") + kTextCollation;
    return {
        {"USER_INFO",
         "CREATE TABLE IF NOT EXISTS USER_INFO (\n"
         "  USER_ID " + t + " NOT NULL PRIMARY KEY,\n"
         "  USER_NM " + t + ",\n"
         "  PASSWORD " + t + ")"},
        {"SERVICE_INFO",
         "CREATE TABLE IF NOT EXISTS SERVICE_INFO (\n"
         "  SVC_ID INTEGER PRIMARY KEY,\n"
         "  SVC_NM " + t + ",\n"
         "  USER_ID " + t + " NOT NULL,\n"
         "  SVC_TYPE INTEGER NOT NULL DEFAULT 1,\n"
         "  CALLBACK_DIST INTEGER NOT NULL DEFAULT 0,\n"
         "  NO_REQ_DISP INTEGER NOT NULL DEFAULT 0)"},
        {"USER_AGENT_INFO",
         "CREATE TABLE IF NOT EXISTS USER_AGENT_INFO (\n"
         "  SEQ_NO INTEGER PRIMARY KEY AUTOINCREMENT,\n"
         "  USER_ID " + t + " NOT NULL,\n"
         "  AGENT_NM " + t + " NOT NULL,\n"
         "  PASSWORD " + t + ",\n"
         "  DIST_COUNT INTEGER NOT NULL DEFAULT 0)"},
        {"RST_INB",
         "CREATE TABLE IF NOT EXISTS RST_INB (\n"
         "  ACS_ID INTEGER PRIMARY KEY AUTOINCREMENT,\n"
         "  SVC_ID INTEGER NOT NULL,\n"
         "  USER_ID " + t + " NOT NULL,\n"
         "  RECV_PHONE " + t + ",\n"
         "  CALLER_ID " + t + ",\n"
         "  CUST_INFO " + t + " DEFAULT '',\n"
         "  DIAL_DATE " + t + " NOT NULL,\n"
         "  DIAL_TIME " + t + " NOT NULL,\n"
         "  COMM_TIME " + t + ",\n"
         "  IS_PRINT " + t + " NOT NULL DEFAULT '0',\n"
         "  IS_CALLBACK " + t + " NOT NULL DEFAULT '0',\n"
         "  IS_DELETE " + t + " NOT NULL DEFAULT '0',\n"
         "  RES_REPLY " + t + " DEFAULT '0',\n"
         "  COMMENT " + t + ",\n"
         "  AGENT_NM " + t + ")"},
        // New-record count and the unprocessed/processed lists: the equality columns first,
        // then the period; AGENT_NM lets an agent's count be answered from the index alone.
        // The lists sort by the formatted DIAL_DATE/DIAL_TIME items (ORDER BY names resolve to
        // select-list aliases first), which no index can deliver; that sort is over one
        // service's requests of the period only.
        {"XIE7RST_INB",
         "CREATE INDEX IF NOT EXISTS XIE7RST_INB ON RST_INB "
         "(SVC_ID, IS_CALLBACK, IS_DELETE, IS_PRINT, DIAL_DATE, AGENT_NM)"},
        // All-records list, opt-out list of one service (RES_REPLY tested in the index),
        // callback-rate report.
        {"XIE4RST_INB",
         "CREATE INDEX IF NOT EXISTS XIE4RST_INB ON RST_INB (SVC_ID, DIAL_DATE, RES_REPLY)"},
        // Opt-out list over all services of a user.
        {"XIE5RST_INB",
         "CREATE INDEX IF NOT EXISTS XIE5RST_INB ON RST_INB (USER_ID, RES_REPLY, DIAL_DATE)"},
        // Distribution status: the period's requests of a user, answered from the index.
        {"XIE6RST_INB",
         "CREATE INDEX IF NOT EXISTS XIE6RST_INB ON RST_INB "
         "(USER_ID, IS_CALLBACK, IS_DELETE, DIAL_DATE, AGENT_NM)"},
        {"XIE1SERVICE_INFO",
         "CREATE INDEX IF NOT EXISTS XIE1SERVICE_INFO ON SERVICE_INFO (USER_ID, SVC_TYPE)"},
        {"XIE1USER_AGENT_INFO",
         "CREATE INDEX IF NOT EXISTS XIE1USER_AGENT_INFO ON USER_AGENT_INFO (USER_ID, AGENT_NM)"},
    };
}

void SetError(sqlite3* db, Error* err) {
    if (err == nullptr) return;
    err->code = sqlite3_extended_errcode(db);
    err->message = sqlite3_errmsg(db);
}

bool Exec(sqlite3* db, const std::string& sql, Error* err) {
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    SetError(db, err);
    return false;
}

// Counts the schema objects that already exist, so a complete database is opened
// without taking a write lock.
bool CountExisting(sqlite3* db, const std::vector<SchemaObject>& objects, int* count, Error* err) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = ?1", -1, &stmt,
                           nullptr) != SQLITE_OK) {
        SetError(db, err);
        return false;
    }
    *count = 0;
    bool ok = true;
    for (const SchemaObject& o : objects) {
        sqlite3_bind_text(stmt, 1, o.name, -1, SQLITE_STATIC);
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            ++*count;
        } else if (rc != SQLITE_DONE) {
            SetError(db, err);
            ok = false;
            break;
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    return ok;
}

const char* const kTables[] = {"USER_INFO", "SERVICE_INFO", "USER_AGENT_INFO", "RST_INB"};

}  // namespace

bool InspectSchema(sqlite3* db, SchemaState* state, std::string* missing, Error* err) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT count(*), "
                           "sum(type = 'table' AND upper(name) = upper(?1)), "
                           "sum(type = 'table' AND upper(name) = upper(?2)), "
                           "sum(type = 'table' AND upper(name) = upper(?3)), "
                           "sum(type = 'table' AND upper(name) = upper(?4)) FROM sqlite_master",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        SetError(db, err);
        return false;
    }
    for (int i = 0; i < 4; ++i) sqlite3_bind_text(stmt, i + 1, kTables[i], -1, SQLITE_STATIC);
    const int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) {
        SetError(db, err);
        sqlite3_finalize(stmt);
        return false;
    }
    missing->clear();
    if (sqlite3_column_int64(stmt, 0) == 0) {
        *state = SchemaState::Empty;
    } else {
        *state = SchemaState::Ours;
        for (int i = 0; i < 4; ++i) {
            if (sqlite3_column_int64(stmt, i + 1) == 0) {
                *state = SchemaState::Foreign;
                *missing = kTables[i];
                break;
            }
        }
    }
    sqlite3_finalize(stmt);
    return true;
}

bool EnsureSchema(sqlite3* db, Error* err) {
    const std::vector<SchemaObject> objects = SchemaObjects();
    int existing = 0;
    if (!CountExisting(db, objects, &existing, err)) return false;
    if (existing == static_cast<int>(objects.size())) return true;

    if (!Exec(db, "BEGIN IMMEDIATE", err)) return false;
    for (const SchemaObject& o : objects) {
        if (!Exec(db, o.ddl, err)) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    if (!Exec(db, "COMMIT", err)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

}  // namespace rdb
