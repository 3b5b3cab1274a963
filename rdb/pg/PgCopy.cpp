#include "rdb/pg/PgCopy.h"

#include <sqlite3.h>

#include <cstdlib>

#include "rdb/engine/Engine.h"
#include "rdb/pg/PgConn.h"
#include "rdb/pg/PgSchema.h"

namespace rdb::pg {
namespace {

constexpr size_t kCopyChunk = 1 << 16;

// A value in COPY's text format.
void AppendCopyValue(std::string& line, const char* text, int bytes) {
    if (text == nullptr) {
        line += "\\N";
        return;
    }
    for (int i = 0; i < bytes; ++i) {
        const char c = text[i];
        switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: line += c;
        }
    }
}

std::string ColumnList(const TableDef& t, bool withIdentity) {
    std::string out;
    for (const char* c : t.columns) {
        if (!withIdentity && t.identity != nullptr && std::string(c) == t.identity) continue;
        out += (out.empty() ? "" : ", ") + std::string(c);
    }
    return out;
}

int64_t SqliteInt(sqlite3* db, const std::string& sql, bool* ok) {
    sqlite3_stmt* stmt = nullptr;
    int64_t value = 0;
    *ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK;
    if (*ok) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) value = sqlite3_column_int64(stmt, 0);
        *ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
    }
    sqlite3_finalize(stmt);
    return value;
}

// Streams one table into COPY. Returns the rows sent, or -1 with *error.
int64_t CopyTable(sqlite3* db, PGconn* conn, const TableDef& t, bool keepKeys, std::string* error) {
    const std::string columns = ColumnList(t, keepKeys);
    sqlite3_stmt* stmt = nullptr;
    const std::string select = "SELECT " + columns + " FROM " + t.name + " ORDER BY rowid";
    if (sqlite3_prepare_v2(db, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        *error = std::string("reading ") + t.name + ": " + sqlite3_errmsg(db);
        return -1;
    }
    ResultPtr begin(PQexec(conn, ("COPY " + std::string(t.name) + " (" + columns + ") FROM STDIN").c_str()));
    if (!begin || PQresultStatus(begin.get()) != PGRES_COPY_IN) {
        sqlite3_finalize(stmt);
        *error = std::string("writing ") + t.name + ": " + (begin ? ResultError(begin.get()) : PQerrorMessage(conn));
        return -1;
    }
    const int n = sqlite3_column_count(stmt);
    std::string buffer;
    int64_t rows = 0;
    int rc;
    bool sent = true;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW && sent) {
        for (int i = 0; i < n; ++i) {
            if (i > 0) buffer += '\t';
            const bool isNull = sqlite3_column_type(stmt, i) == SQLITE_NULL;
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            AppendCopyValue(buffer, isNull ? nullptr : (text != nullptr ? text : ""), sqlite3_column_bytes(stmt, i));
        }
        buffer += '\n';
        ++rows;
        if (buffer.size() >= kCopyChunk) {
            sent = PQputCopyData(conn, buffer.data(), static_cast<int>(buffer.size())) == 1;
            buffer.clear();
        }
    }
    const bool readOk = rc == SQLITE_DONE;
    if (!readOk && sent) *error = std::string("reading ") + t.name + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    if (sent && !buffer.empty()) sent = PQputCopyData(conn, buffer.data(), static_cast<int>(buffer.size())) == 1;
    // A failed read ends the COPY with an error, so nothing of the table is kept.
    PQputCopyEnd(conn, readOk ? nullptr : "source read failed");
    ResultPtr end(PQgetResult(conn));
    const bool copied = end && PQresultStatus(end.get()) == PGRES_COMMAND_OK;
    if (!copied && readOk) {
        *error = std::string("writing ") + t.name + ": " + (end ? ResultError(end.get()) : PQerrorMessage(conn));
    }
    while (PGresult* extra = PQgetResult(conn)) PQclear(extra);
    return copied && readOk && sent ? rows : -1;
}

}  // namespace

bool CopyFromEngine(Engine& source, PGconn* target, const CopyOptions& options,
                    std::vector<std::pair<std::string, int64_t>>* counts, std::string* error) {
    sqlite3* db = source.Handle();
    auto fail = [&](const std::string& what) {
        Command(target, "ROLLBACK", nullptr);
        *error = what;
        return false;
    };
    std::string e;
    // One read transaction on the source, so the counts checked are the counts copied.
    if (sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(std::string("source: ") + sqlite3_errmsg(db));
    struct EndRead {
        sqlite3* db;
        ~EndRead() { sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr); }
    } endRead{db};

    std::string tables;
    for (const TableDef& t : Tables()) tables += (tables.empty() ? "" : ", ") + std::string(t.name);
    if (!Command(target, "BEGIN", &e) || !Command(target, "LOCK TABLE " + tables + " IN EXCLUSIVE MODE", &e))
        return fail("target: " + e);
    if (options.keepKeys) {
        for (const TableDef& t : Tables()) {
            ResultPtr r = Exec(target, std::string("SELECT 1 FROM ") + t.name + " LIMIT 1", {}, &e);
            if (!r) return fail("target: " + e);
            if (PQntuples(r.get()) > 0)
                return fail(std::string("the target's table ") + t.name + " is not empty; copy into an empty database");
        }
    }
    if (counts != nullptr) counts->clear();
    for (const TableDef& t : Tables()) {
        bool ok = false;
        const int64_t before = options.keepKeys ? 0 : [&] {
            ResultPtr r = Exec(target, std::string("SELECT count(*) FROM ") + t.name, {}, &e);
            return r ? std::atoll(PQgetvalue(r.get(), 0, 0)) : -1LL;
        }();
        if (before < 0) return fail("target: " + e);
        const int64_t expected = SqliteInt(db, std::string("SELECT count(*) FROM ") + t.name, &ok);
        if (!ok) return fail(std::string("source: ") + sqlite3_errmsg(db));
        const int64_t sent = CopyTable(db, target, t, options.keepKeys, &e);
        if (sent < 0) return fail(e);
        ResultPtr r = Exec(target, std::string("SELECT count(*) FROM ") + t.name, {}, &e);
        if (!r) return fail("target: " + e);
        const int64_t landed = std::atoll(PQgetvalue(r.get(), 0, 0)) - before;
        if (landed != expected || sent != expected) {
            return fail(std::string(t.name) + ": the source holds " + std::to_string(expected) + " rows, " +
                        std::to_string(landed) + " arrived; nothing was copied");
        }
        if (counts != nullptr) counts->emplace_back(t.name, landed);
        if (options.keepKeys && t.identity != nullptr) {
            // Continue after the highest key the source gave out, deleted rows included.
            int64_t high = SqliteInt(db, std::string("SELECT max(") + t.identity + ") FROM " + t.name, &ok);
            bool haveSeq = false;
            const int64_t seq = SqliteInt(db, std::string("SELECT seq FROM sqlite_sequence WHERE name = '") +
                                                  t.name + "'", &haveSeq);
            if (haveSeq && seq > high) high = seq;
            if (high > 0 &&
                !Exec(target, "SELECT setval(pg_get_serial_sequence($1, lower($2)), $3)",
                      {std::string(t.name), std::string(t.identity), std::to_string(high)}, &e))
                return fail("target: " + e);
        }
    }
    if (!Command(target, "COMMIT", &e)) return fail("target: " + e);
    return true;
}

}  // namespace rdb::pg
