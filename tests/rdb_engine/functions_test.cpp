// The display functions: formats, odd input, and how they behave inside statements.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

#include "rdb/engine/DisplayFunctions.h"
#include "tests/rdb_engine/EngineTestUtil.h"

using enginetest::OpenEngine;
using enginetest::Rows;

namespace {

using Case = std::pair<std::string, std::string>;

TEST(DisplayFunctions, TelephoneGroups) {
    const std::vector<Case> cases = {
        {"021234567", "02-123-4567"},
        {"0212345678", "02-1234-5678"},
        {"0311234567", "031-123-4567"},
        {"03112345678", "031-1234-5678"},
        {"01012345678", "010-1234-5678"},
        {"0111234567", "011-123-4567"},
        {"07012345678", "070-1234-5678"},
        {"05051234567", "0505-123-4567"},
        {"050512345678", "0505-1234-5678"},
        {"15881234", "1588-1234"},
        {"16441234", "1644-1234"},
        {"18991234", "1899-1234"},
        {"0212345678  ", "02-1234-5678"},  // blank-padded stored value
        // Unrecognised: unchanged, byte for byte.
        {"", ""},
        {"02123", "02123"},
        {"021234567890", "021234567890"},
        {"02-123-4567", "02-123-4567"},
        {"12345678", "12345678"},
        {"1588123", "1588123"},
        {"010123456789", "010123456789"},
        {" 0212345678", " 0212345678"},
        {"+82212345678", "+82212345678"},
        {"발신번호없음", "발신번호없음"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(rdb::FormatTel(in), want) << in;
}

TEST(DisplayFunctions, DateAndTime) {
    const std::vector<Case> dates = {
        {"20261208", "2026-12-08"}, {"20261208 ", "2026-12-08"}, {"2026120", "2026120"},
        {"202612089", "202612089"}, {"2026-12-08", "2026-12-08"}, {"", ""}, {"abcdefgh", "abcdefgh"},
    };
    for (const auto& [in, want] : dates) EXPECT_EQ(rdb::FormatDate(in), want) << in;
    const std::vector<Case> times = {
        {"143005", "14:30:05"}, {"000000", "00:00:00"}, {"1430", "14:30"}, {"930", "930"},
        {"14300", "14300"},     {"1430055", "1430055"}, {"14:30", "14:30"}, {"", ""},
    };
    for (const auto& [in, want] : times) EXPECT_EQ(rdb::FormatTime(in), want) << in;
}

TEST(DisplayFunctions, InsideStatements) {
    TempDir dir;
    auto engine = OpenEngine(dir.File("f.db"));
    ASSERT_TRUE(engine);
    EXPECT_EQ(Rows(*engine, "select dbo.F_FMT_TEL('0212345678'), dbo.F_FMT_DATE('20261208'), "
                            "dbo.F_FMT_TIME('143005'), dbo.F_FMT_TEL(NULL), dbo.F_FMT_TEL('x')"),
              std::vector<std::string>{"02-1234-5678:;2026-12-08:;14:30:05:;:;x:;"});

    // NULL stays NULL and unrecognised values keep their type.
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(engine->Handle(),
                                 "SELECT F_FMT_TEL(NULL) IS NULL, typeof(F_FMT_TIME(12)), "
                                 "F_FMT_DATE(20261208), typeof(F_FMT_TEL(3.5))",
                                 -1, &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)), "integer");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)), "2026-12-08");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)), "real");
    sqlite3_finalize(stmt);
}

}  // namespace
