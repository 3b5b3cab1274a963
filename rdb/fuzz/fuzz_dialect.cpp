// libFuzzer target for the dialect adapter: any bytes must get an answer (a translation or a
// reason), without crashing, hanging or reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rdb/engine/DialectAdapter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    rdb::Translation out;
    std::string error;
    if (!rdb::TranslateToSqlite(text, &out, &error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (out.kind == rdb::Translation::Kind::Call) {
        if (out.call.name.empty() || out.call.args.size() != out.call.argIsNull.size()) std::abort();
        return 0;
    }
    if (out.sql.empty() || out.sql.find('\0') != std::string::npos) std::abort();
    return 0;
}
