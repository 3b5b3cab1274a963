// INTERIM until the PostgreSQL emitter lands: statements pass unchanged.
#include "rdb/engine/DialectAdapter.h"

namespace rdb {
bool TranslateToPostgres(std::string_view tsql, Translation* out, std::string*) {
    out->kind = Translation::Kind::Statement;
    out->sql = std::string(tsql);
    return true;
}
}  // namespace rdb
