// libFuzzer target for the dialect adapter: any bytes must get an answer (a translation or a
// reason) from both targets, without crashing, hanging or reading out of bounds, and both
// must read a procedure call alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rdb/dialect/DialectAdapter.h"

namespace {

// Returns whether the text was translated; aborts on a broken answer.
bool Check(bool (*translate)(std::string_view, rdb::Translation*, std::string*), std::string_view text,
           rdb::Translation* out) {
    std::string error;
    if (!translate(text, out, &error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return false;
    }
    if (out->kind == rdb::Translation::Kind::Call) {
        if (out->call.name.empty() || out->call.args.size() != out->call.argIsNull.size()) std::abort();
        return true;
    }
    if (out->sql.empty() || out->sql.find('\0') != std::string::npos) std::abort();
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    rdb::Translation sqlite, postgres;
    const bool toSqlite = Check(&rdb::TranslateToSqlite, text, &sqlite);
    const bool toPostgres = Check(&rdb::TranslateToPostgres, text, &postgres);
    if (toSqlite && toPostgres && sqlite.kind != postgres.kind) std::abort();
    if (toSqlite != toPostgres &&
        (sqlite.kind == rdb::Translation::Kind::Call || postgres.kind == rdb::Translation::Kind::Call))
        std::abort();
    if (toSqlite && toPostgres && sqlite.kind == rdb::Translation::Kind::Call &&
        (sqlite.call.name != postgres.call.name || sqlite.call.args != postgres.call.args))
        std::abort();
    return 0;
}
