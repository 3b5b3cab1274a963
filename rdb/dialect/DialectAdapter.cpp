#include "rdb/dialect/DialectAdapter.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "rdb/dialect/CallParser.h"
#include "rdb/dialect/DeskWork.h"
#include "rdb/dialect/PostgresEmitter.h"
#include "rdb/dialect/SqlLexer.h"
#include "rdb/dialect/SqliteEmitter.h"
#include "rdb/dialect/SyntaxTree.h"

namespace rdb {
namespace {

using namespace dialect;

enum class Target { Sqlite, Postgres };

bool Translate(std::string_view tsql, Target target, Translation* out, std::string* error) {
    std::string scratch;
    if (!error) error = &scratch;
    error->clear();
    if (!out) {
        *error = "no place for the translation";
        return false;
    }
    *out = Translation{};
    std::vector<SqlToken> toks;
    if (!SqlLexer::Tokenize(tsql, &toks, error)) return false;
    if (toks.size() == 1) {
        *error = "empty statement";
        return false;
    }
    if (StartsCall(toks[0])) {
        std::vector<std::string> nameParts;
        if (!ParseCall(toks, out, &nameParts, error)) return false;
        if (target == Target::Postgres) out->sql = PostgresCallText(nameParts, out->call.args.size());
        return true;
    }
    Node root;
    if (!BuildTree(toks, &root, error)) return false;
    std::string sql;
    sql.reserve(tsql.size() + tsql.size() / 4 + 16);
    // PostgreSQL leaves to the desk what the desk does faster with the embedded engine's own
    // functions; the new tokens live until the statement is written.
    Seq sent;
    std::deque<SqlToken> sentTokens;
    const Seq* statement = &root.kids;
    if (target == Target::Postgres && PlanDeskWork(root.kids, &sent, &sentTokens, &out->desk)) statement = &sent;
    const bool written = target == Target::Sqlite ? WriteForSqlite(*statement, tsql, sql, error)
                                                  : WriteForPostgres(*statement, tsql, sql, error);
    if (!written) return false;
    if (sql.find_first_not_of(" \t\r\n\v\f") == std::string::npos) {
        *error = "nothing to run once the table hints are removed";
        return false;
    }
    sql += toks.back().gap;
    out->sql = std::move(sql);
    return true;
}

}  // namespace

bool TranslateToSqlite(std::string_view tsql, Translation* out, std::string* error) {
    return Translate(tsql, Target::Sqlite, out, error);
}

bool TranslateToPostgres(std::string_view tsql, Translation* out, std::string* error) {
    return Translate(tsql, Target::Postgres, out, error);
}

}  // namespace rdb
