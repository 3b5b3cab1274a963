// Failures are shown where they happen, with the fixed texts, and reported to the caller only
// through the result.
#include <gtest/gtest.h>

#include "data/KestrimEnv.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "tests/support/Fixture.h"
#include "tests/support/ListCombo.h"
#include "tests/support/LogCapture.h"
#include "tests/support/StatementServer.h"
#include "tests/support/ScriptedMessages.h"

namespace {

constexpr char kBadSql[] = "select NO_SUCH_COLUMN from NO_SUCH_TABLE";

class EnvErrors : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = StartStatementServer(ServerKind::Embedded);
        session_ = std::make_unique<EnvSession>(server_->Address());
    }
    CKestrimEnv& Env() { return session_->Env(); }
    // The record the engine gives for kBadSql, read without the environment object.
    RDB_ERROR EngineError() {
        RDB_ERROR err{};
        EXPECT_EQ(RDBExecuteSQL(Env().m_hRdb, "NEW_ACS", kBadSql, &err), 0);
        EXPECT_NE(err.nCode, 0);
        return err;
    }
    std::string DbErrorText(const RDB_ERROR& err) {
        return platform::StrFormat("데이터베이스 오류입니다.\r\n오류코드:%d\r\n오류메세지:%s", err.nCode, err.szMessage);
    }

    platform::ScriptedMessages boxes_;
    std::unique_ptr<StatementServer> server_;
    std::unique_ptr<EnvSession> session_;
};

TEST_F(EnvErrors, FirstRecordErrorShowsDatabaseBox) {
    RDB_ERROR err = EngineError();
    std::string value = "kept";
    EXPECT_EQ(Env().GetFirstRecord(value, kBadSql), -1);
    EXPECT_EQ(value, "kept");
    std::vector<std::string> row{"x"};
    EXPECT_EQ(Env().GetFirstRecord(row, kBadSql), 0);
    EXPECT_TRUE(row.empty());
    EXPECT_EQ(Env().RecordExists(kBadSql), -1);
    ASSERT_EQ(boxes_.Shown().size(), 3u);
    for (const auto& box : boxes_.Shown()) {
        EXPECT_EQ(box.text, DbErrorText(err));
        EXPECT_EQ(box.caption, "에러");
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(box.type & platform::MB_ICONMASK, platform::MB_ICONERROR);
    }
}

TEST_F(EnvErrors, NoRowIsSilentAndLeavesValue) {
    std::string value = "kept";
    EXPECT_EQ(Env().GetFirstRecord(value, "select USER_NM from USER_INFO where USER_ID = 'nobody'"), 0);
    EXPECT_EQ(value, "kept");
    EXPECT_EQ(Env().RecordExists("select * from USER_INFO where USER_ID = 'nobody'"), 0);
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(EnvErrors, ExecuteDatabaseErrorText) {
    RDB_ERROR err = EngineError();
    EXPECT_FALSE(Env().ExecuteSQL(kBadSql));
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text,
              platform::StrFormat("                데이터베이스 오류입니다.\r\n                오류코드:%d\r\n 일시적인 인터넷 "
                                  "장애일수 있으니 잠시 후 다시 시도하여 주십시오",
                                  err.nCode));
    EXPECT_EQ(boxes_.Shown()[0].caption, "에러");
    EXPECT_EQ(boxes_.Shown()[0].type & platform::MB_ICONMASK, platform::MB_ICONERROR);
}

TEST_F(EnvErrors, ExecuteUnreachableServerText) {
    Env().m_hRdb = 0;  // no connection: the client library cannot reach anything
    RDB_ERROR err{};
    int32_t result = RDBExecuteSQL(0, "NEW_ACS", "select 1", &err);
    ASSERT_LT(result, 0);
    EXPECT_FALSE(Env().ExecuteSQL("update RST_INB set IS_PRINT = '1' where ACS_ID = 1 "));
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text,
              platform::StrFormat("                서버 접속 오류입니다.\r\n                오류코드:%d\r\n 일시적인 인터넷 장애일수 "
                                  "있으니 잠시 후 다시 시도하여 주십시오",
                                  result));
}

TEST_F(EnvErrors, ComboTypesAndLookupsReportFailure) {
    ListCombo combo;
    EXPECT_EQ(Env().FillServiceCombo(&combo, kBadSql), 0);
    EXPECT_TRUE(combo.items.empty());
    EXPECT_EQ(Env().GetServiceType(-1), 0);  // a well-formed lookup without a row
    Env().m_hRdb = 0;
    EXPECT_FALSE(Env().LoadServiceTypes());
    EXPECT_EQ(Env().GetServiceType(101), -1);
    EXPECT_EQ(Env().GetMaxCallbackDist(), -1);
    EXPECT_EQ(boxes_.Shown().size(), 4u);
}

TEST_F(EnvErrors, LongFirstRowArrivesWhole) {
    std::string memo(9000, 'm');
    ASSERT_TRUE(Env().ExecuteSQL("update RST_INB set COMMENT = '" + memo + "' where ACS_ID = 1 "));
    std::string value;
    ASSERT_EQ(Env().GetFirstRecord(value, "select COMMENT from RST_INB where ACS_ID = 1"), 1);
    EXPECT_EQ(value, memo);
    std::vector<std::string> row;
    ASSERT_EQ(Env().GetFirstRecord(row, "select ACS_ID, COMMENT, SVC_ID from RST_INB where ACS_ID = 1"), 1);
    EXPECT_EQ(row, (std::vector<std::string>{"1", memo, "101"}));
    // The classic call never writes past its 4,096-byte buffer.
    std::vector<char> buffer(RDB_FIRST_RECORD_SIZE + 64, '#');
    RDB_ERROR err{};
    int32_t r = RDBQueryFirstRecord(Env().m_hRdb, "NEW_ACS", "select ACS_ID, COMMENT from RST_INB where ACS_ID = 1",
                                    buffer.data(), &err);
    EXPECT_GT(r, 0);
    for (size_t i = RDB_FIRST_RECORD_SIZE; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], '#');
    EXPECT_TRUE(boxes_.Shown().empty());
}

// An address the library refuses: the desk starts without a connection, its boxes keep
// their fixed texts and never quote the address, and the log says why without the password.
TEST(EnvServerOpen, RefusedAddressLeavesNoPasswordInTheLogOrTheBox) {
    const std::string secret = "Secret42";
    for (const std::string& address : {"postgresql://desk:" + secret + "@db7.example/db%zz",
                                      "postgresql://desk:" + secret + "@[::1/db", std::string("10.0.0.5:8907"),
                                      "desk:" + secret + "@10.0.0.5"}) {
        LogCapture log;
        platform::ScriptedMessages boxes;
        EnvSession session(address);
        EXPECT_EQ(session.Env().m_hRdb, 0) << address;
        std::string value;
        EXPECT_EQ(session.Env().GetFirstRecord(value, "select 1"), -1);
        ASSERT_EQ(boxes.Shown().size(), 1u) << address;
        EXPECT_EQ(boxes.Shown()[0].text.find(secret), std::string::npos) << boxes.Shown()[0].text;
        EXPECT_EQ(boxes.Shown()[0].text.find("db7"), std::string::npos) << boxes.Shown()[0].text;
        EXPECT_EQ(boxes.Shown()[0].text.find("%zz"), std::string::npos) << boxes.Shown()[0].text;
        ASSERT_EQ(log.Lines().size(), 2u) << address;
        for (const std::string& line : log.Lines()) EXPECT_EQ(line.find(secret), std::string::npos) << line;
        EXPECT_EQ(log.Lines()[1].rfind("[Orvanta]CKestrimEnv::RDBServerOpen failed code(-6) ", 0), 0u) << log.Lines()[1];
    }
    LogCapture log;
    EnvSession gateway("10.0.0.5:8907");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "[Orvanta]CKestrimEnv::RDBServerOpen IP(10.0.0.5:8907) PORT(8907)",
                               "[Orvanta]CKestrimEnv::RDBServerOpen failed code(-6) the server address is neither "
                               "file:PATH (a database file) nor postgresql://... (a PostgreSQL server)"}));
}

TEST(EnvServerOpen, ControlBytesOfTheAddressReachTheLogEscaped) {
    LogCapture log;
    EnvSession session("file:/nonexistent-orvanta-dir/\x1b[2J\nfake line.db");
    EXPECT_EQ(session.Env().m_hRdb, 0);
    ASSERT_EQ(log.Lines().size(), 2u);
    EXPECT_EQ(log.Lines()[0],
              "[Orvanta]CKestrimEnv::RDBServerOpen IP(file:/nonexistent-orvanta-dir/\\x1b[2J\\x0afake line.db) PORT(8907)");
    EXPECT_NE(log.Lines()[1].find("\\x1b[2J\\x0afake line.db"), std::string::npos) << log.Lines()[1];
    for (const std::string& line : log.Lines())
        for (const char c : line) EXPECT_GE(static_cast<unsigned char>(c), 0x20) << line;
}

}  // namespace
