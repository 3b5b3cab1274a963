// The embedded engine as a desk opens it: never a new or foreign database, the desk
// connection's refusals, and the first-record buffer at its exact edge.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "data/KestrimEnv.h"
#include "data/RdbClient.h"
#include "rdb/client/Transport.h"
#include "rdb/engine/Engine.h"
#include "tests/support/DeskRefusals.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Another application's database: one table of its own, rollback journal.
void MakeForeignDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE ORDERS (ID INTEGER, ITEM TEXT); INSERT INTO ORDERS VALUES (1, '펜')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

TEST(EmbeddedOpen, MissingEmptyOrForeignFileIsRefusedUnchangedAndTheReasonLogged) {
    TempDir dir;
    const std::string foreign = dir.File("other-app.db");
    MakeForeignDatabase(foreign);
    const std::string foreignBytes = ReadBytes(foreign);
    const std::string empty = dir.File("empty.db");
    std::ofstream(empty).close();
    struct Case {
        std::string path;
        const char* reason;
    } cases[] = {
        {dir.File("typo.db"), "does not exist"},
        {foreign, "not an Orvanta database"},
        {empty, "without the Orvanta tables"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LogCapture log;
        EnvSession session("file:" + c.path);
        EXPECT_EQ(session.Env().m_hRdb, 0);
        const RDB_ERROR why = rdb::LastServerOpenError();
        EXPECT_EQ(why.nCode, RDB_E_OPEN);
        EXPECT_NE(std::strstr(why.szMessage, c.reason), nullptr) << why.szMessage;
        bool logged = false;
        for (const std::string& line : log.Lines())
            logged = logged || (line.find("RDBServerOpen failed") != std::string::npos &&
                                line.find(c.reason) != std::string::npos);
        EXPECT_TRUE(logged) << "the reason must reach the diagnostics log";
        EXPECT_FALSE(fs::exists(c.path + "-wal"));
    }
    EXPECT_FALSE(fs::exists(dir.File("typo.db")));
    EXPECT_EQ(fs::file_size(empty), 0u);
    EXPECT_EQ(ReadBytes(foreign), foreignBytes) << "another application's file was altered";
}

TEST(EmbeddedOpen, InitMakesTheSchemaOnceAndRefusesAForeignFile) {
    TempDir dir;
    const std::string path = dir.File("new.db");
    rdb::Error err;
    bool existed = true;
    ASSERT_TRUE(rdb::InitDatabase(path, &existed, &err)) << err.message;
    EXPECT_FALSE(existed);
    ASSERT_TRUE(rdb::InitDatabase(path, &existed, &err)) << err.message;
    EXPECT_TRUE(existed);
    const RDBHANDLE h = RDBServerOpen(("file:" + path).c_str(), "8907");
    ASSERT_GT(h, 0);
    RDB_ERROR rerr{};
    EXPECT_EQ(RDBExecuteSQL(h, "NEW_ACS", "insert into USER_INFO (USER_ID) values ('u')", &rerr), 1)
        << rerr.szMessage;

    const std::string foreign = dir.File("foreign.db");
    MakeForeignDatabase(foreign);
    const std::string before = ReadBytes(foreign);
    EXPECT_FALSE(rdb::InitDatabase(foreign, &existed, &err));
    EXPECT_NE(err.message.find("left unchanged"), std::string::npos) << err.message;
    EXPECT_EQ(ReadBytes(foreign), before);
}

TEST(EmbeddedDeskLimits, FilesSchemaPragmasAndPointerFunctionsAreRefused) {
    TempDir dir;
    CreateFixtureDatabase(dir.File("desk.db"));
    const RDBHANDLE h = RDBServerOpen(("file:" + dir.File("desk.db")).c_str(), "8907");
    ASSERT_GT(h, 0);
    ExpectDeskRefusals(h, dir.Path());
}

TEST(EmbeddedFirstRecord, RowOfExactlyTheBufferLessItsTerminatorComesBackWhole) {
    TempDir dir;
    CreateFixtureDatabase(dir.File("edge.db"));
    const RDBHANDLE h = RDBServerOpen(("file:" + dir.File("edge.db")).c_str(), "8907");
    ASSERT_GT(h, 0);
    // One value of n bytes makes a row of n + 2 (its ":;"); the buffer holds 4,095 and a NUL.
    // A multi-byte character right before the edge arrives whole too.
    const std::string fits = std::string(RDB_FIRST_RECORD_SIZE - 6, 'x') + "가";  // 4,093 bytes
    for (const auto& [value, whole] : {std::pair{fits, true},
                                       std::pair{std::string(RDB_FIRST_RECORD_SIZE - 3, 'y'), true},
                                       std::pair{std::string(RDB_FIRST_RECORD_SIZE - 2, 'z'), false}}) {
        SCOPED_TRACE(value.size());
        char buf[RDB_FIRST_RECORD_SIZE + 16];
        std::memset(buf, '#', sizeof buf);
        RDB_ERROR err{};
        const std::string sql = "select '" + value + "', 'second'";
        // A second field that cannot fit: the first must still arrive whole when it fits.
        ASSERT_EQ(RDBQueryFirstRecord(h, "NEW_ACS", ("select '" + value + "'").c_str(), buf, &err), 1)
            << err.szMessage;
        EXPECT_EQ(err.nCode, 0);
        EXPECT_EQ(std::string(buf), whole ? value + ":;" : std::string()) << "cut at the wrong place";
        EXPECT_EQ(buf[RDB_FIRST_RECORD_SIZE], '#') << "wrote past the buffer";
        ASSERT_EQ(RDBQueryFirstRecord(h, "NEW_ACS", sql.c_str(), buf, &err), 1);
        EXPECT_EQ(std::string(buf), whole ? value + ":;" : std::string());
    }
}

}  // namespace
