// Moves the rows of an embedded (SQLite) Orvanta database into a PostgreSQL one.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rdb {
class Engine;
}

namespace rdb::pg {

struct CopyOptions {
    // true (a move): the target's tables must be empty, keys are copied as they are and the
    // identity sequences continue after the highest key the source ever gave out.
    // false (demo rows added to a database): keys are left to the target's identities.
    bool keepKeys = true;
};

// Copies every row of the four tables in one transaction (COPY), then checks that each
// table of the target holds exactly as many rows as the source. The target's schema must
// be installed. *counts receives (table, rows) per table. False with *error on any
// failure; then nothing is changed.
bool CopyFromEngine(Engine& source, PGconn* target, const CopyOptions& options,
                    std::vector<std::pair<std::string, int64_t>>* counts, std::string* error);

}  // namespace rdb::pg
