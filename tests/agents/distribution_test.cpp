// The distribution status dialog at work on its own fixture database: the rollup statement,
// rows in the server's order, what is counted and what never is.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QTest>
#include <map>
#include <memory>

#include "agents/DlgQueryCallbackDist.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/Queries.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Labels the statement gives the undistributed, subtotal and grand-total rows.
constexpr char kUndistributed[] = "미분배";
constexpr char kSubtotal[] = "소계";
constexpr char kTotal[] = "총계";

std::string NewDistFixture(const TempDir& dir) {
    std::string path = dir.File("dist.db");
    CreateFixtureDatabase(path);
    return "file:" + path;
}

QDate Day(const char* yyyymmdd) { return QDate::fromString(QString::fromLatin1(yyyymmdd), QStringLiteral("yyyyMMdd")); }

class DistDialogTest : public ::testing::Test {
protected:
    DistDialogTest() { dialog_.show(); }
    ~DistDialogTest() override { dialog_.reject(); }

    // A call record; agent may be null.
    void AddRecord(int acsId, const char* userId, int svcId, const char* date, const char* isCallback,
                   const char* isDelete, const std::string* agent) {
        std::string value = agent == nullptr ? "NULL" : "'" + *agent + "'";
        ASSERT_TRUE(session_.Env().ExecuteSQL(platform::StrFormat(
            "insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, DIAL_DATE, DIAL_TIME, "
            "IS_CALLBACK, IS_DELETE, RES_REPLY, AGENT_NM) values (%d, %d, '%s', '021111%04d', '010', '%s', '120000', "
            "'%s', '%s', '0', %s)",
            acsId, svcId, userId, acsId, date, isCallback, isDelete, value.c_str())));
    }

    std::string AgentWithPassword(const char* password) {
        Rows rows = QueryRows(session_.Env(), std::string("select AGENT_NM from USER_AGENT_INFO where USER_ID = 'demo' "
                                                          "and PASSWORD = '") + password + "'");
        return rows.empty() ? std::string() : rows[0][0];
    }

    void Query(const char* from, const char* to) {
        dialog_.m_dateFrom->setDate(Day(from));
        dialog_.m_dateTo->setDate(Day(to));
        QTest::mouseClick(dialog_.m_btnQuery, Qt::LeftButton);
    }

    Rows ListRows() const {
        Rows rows;
        for (int i = 0; i < dialog_.m_list->GetItemCount(); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < dialog_.m_list->GetColumnCount(); ++c) row.push_back(dialog_.m_list->GetItemText(i, c));
            rows.push_back(row);
        }
        return rows;
    }

    TempDir dbDir_;
    EnvSession session_{NewDistFixture(dbDir_)};
    platform::ScriptedMessages boxes_;
    LogCapture log_;
    CDlgQueryCallbackDist dialog_;
};

TEST_F(DistDialogTest, OpensWithTodayAndQueriesNothingUntilAsked) {
    EXPECT_EQ(dialog_.m_dateFrom->date(), QDate::currentDate());
    EXPECT_EQ(dialog_.m_dateTo->date(), QDate::currentDate());
    EXPECT_EQ(dialog_.m_list->GetItemCount(), 0);
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(DistDialogTest, TwoAgentsOverTwoDatesWithSubtotalsAndTotal) {
    const std::string kim = AgentWithPassword("1234");
    const std::string lee = AgentWithPassword("abcd");
    ASSERT_FALSE(kim.empty());
    ASSERT_FALSE(lee.empty());
    AddRecord(301, "demo", 101, kDay1, "1", "0", &lee);
    AddRecord(307, "demo", 102, kDay2, "1", "0", nullptr);
    // Never counted: another user's, deleted ones, ones without a callback request.
    AddRecord(302, "other", 201, kDay1, "1", "0", &lee);
    AddRecord(303, "demo", 101, kDay2, "1", "1", &kim);
    AddRecord(305, "demo", 101, kDay2, "1", "2", &lee);
    AddRecord(304, "demo", 102, kDay1, "0", "0", &kim);
    AddRecord(306, "demo", 102, kDay2, "2", "0", &lee);

    Query(kDay1, kDay2);

    const std::string sql = sql::DistStatusSql("demo", kDay1, kDay2);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"[Orvanta]" + platform::StrFormat(CDlgQueryCallbackDist::kLogQuery,
                                                                                        sql.c_str())});
    EXPECT_TRUE(boxes_.Shown().empty());

    // The rows as the server returns them, numbered from 1.
    Rows server = QueryRows(session_.Env(), sql);
    Rows expected;
    for (size_t i = 0; i < server.size(); ++i) {
        std::vector<std::string> row{std::to_string(i + 1)};
        row.insert(row.end(), server[i].begin(), server[i].end());
        expected.push_back(row);
    }
    Rows list = ListRows();
    EXPECT_EQ(list, expected);

    std::map<std::pair<std::string, std::string>, std::string> counts;
    for (const auto& row : list) counts[{row[1], row[2]}] = row[3];
    const std::map<std::pair<std::string, std::string>, std::string> want{
        {{kim, kDay1}, "1"}, {{kim, kDay2}, "1"}, {{kim, kSubtotal}, "2"},
        {{lee, kDay1}, "1"}, {{lee, kDay2}, "1"}, {{lee, kSubtotal}, "2"},
        {{kUndistributed, kDay1}, "3"}, {{kUndistributed, kDay2}, "1"}, {{kUndistributed, kSubtotal}, "4"},
        {{kTotal, "-"}, "8"},
    };
    EXPECT_EQ(counts, want);
    EXPECT_EQ(list.size(), want.size());
}

TEST_F(DistDialogTest, NoRowsAndFailuresLeaveTheListEmpty) {
    Query(kDay1, kDay3);
    ASSERT_GT(dialog_.m_list->GetItemCount(), 0);

    const std::vector<std::pair<const char*, const char*>> empty{{"20250101", "20250131"}, {kDay3, kDay1}};
    for (const auto& [from, to] : empty) {
        boxes_.Clear();
        Query(from, to);
        EXPECT_EQ(dialog_.m_list->GetItemCount(), 0);
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, CDlgQueryCallbackDist::kMsgNoData);
        EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleConfirm);
        EXPECT_EQ(boxes_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
        EXPECT_EQ(boxes_.Shown()[0].owner, platform::MessageOwner(&dialog_));
    }

    Query(kDay1, kDay3);
    boxes_.Clear();
    RDBHANDLE handle = g_pEnv->m_hRdb;
    g_pEnv->m_hRdb = 7777;
    Query(kDay1, kDay3);
    g_pEnv->m_hRdb = handle;
    EXPECT_EQ(dialog_.m_list->GetItemCount(), 0);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
}

}  // namespace
