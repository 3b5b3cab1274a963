// The opt-out view at work on its own fixture database: the list query and its statement,
// the service drop-down, the order of the rows, and saving the listed numbers.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/OrvantaApp.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/Queries.h"
#include "optout/DenyView.h"
#include "output/ExportSelection.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Strings.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/qt/ScriptedShell.h"
#include "tests/support/qt/SpreadsheetProbe.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string NewFixture(const TempDir& dir) {
    std::string path = dir.File("optout.db");
    CreateFixtureDatabase(path);
    return "file:" + path;
}

QDate Day(const char* yyyymmdd) { return QDate::fromString(QString::fromLatin1(yyyymmdd), QStringLiteral("yyyyMMdd")); }

std::string Today() { return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString(); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    return names;
}

class DenyViewTest : public ::testing::Test {
protected:
    DenyViewTest() {
        view_.OnInitialUpdate();
        SetStartDir(startDir_.Path());
    }
    ~DenyViewTest() override { SetStartDir(""); }

    static void SetStartDir(const std::string& dir) {
        COrvantaApp* app = COrvantaApp::Instance();
        std::strncpy(app->m_szStartDir, dir.c_str(), sizeof app->m_szStartDir - 1);
    }

    // A call record of the test's own; phone may be null.
    void AddRecord(int acsId, int svcId, const char* userId, const char* phone, const char* date, const char* time,
                   const char* resReply = "9") {
        std::string value = phone == nullptr ? "NULL" : "'" + std::string(phone) + "'";
        ASSERT_TRUE(session_.Env().ExecuteSQL(platform::StrFormat(
            "insert into RST_INB (ACS_ID, SVC_ID, USER_ID, RECV_PHONE, CALLER_ID, DIAL_DATE, DIAL_TIME, "
            "IS_CALLBACK, IS_DELETE, RES_REPLY) values (%d, %d, '%s', %s, '0101234%04d', '%s', '%s', '0', '0', '%s')",
            acsId, svcId, userId, value.c_str(), acsId, date, time, resReply)));
    }

    // "ID.name" of a service, as the list and the drop-down show it.
    std::string ServiceItem(int svcId) {
        Rows rows = QueryRows(session_.Env(), "select SVC_NM from SERVICE_INFO where SVC_ID = " + std::to_string(svcId));
        return std::to_string(svcId) + "." + (rows.empty() ? std::string() : rows[0][0]);
    }

    void Query(const char* from, const char* to) {
        view_.m_dateFrom->setDate(Day(from));
        view_.m_dateTo->setDate(Day(to));
        QTest::mouseClick(view_.m_btnQueryList, Qt::LeftButton);
    }

    void ChooseService(int svcId) {
        view_.m_comboService->showPopup();
        view_.m_comboService->hidePopup();
        int index = view_.m_comboService->findText(QString::fromStdString(ServiceItem(svcId)));
        ASSERT_GE(index, 0);
        view_.m_comboService->SetCurSel(index);
    }

    Rows ListRows() const {
        Rows rows;
        for (int i = 0; i < view_.m_list->GetItemCount(); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < view_.m_list->GetColumnCount(); ++c) row.push_back(view_.m_list->GetItemText(i, c));
            rows.push_back(row);
        }
        return rows;
    }

    std::vector<std::string> Column(int column) const {
        std::vector<std::string> values;
        for (int i = 0; i < view_.m_list->GetItemCount(); ++i) values.push_back(view_.m_list->GetItemText(i, column));
        return values;
    }

    static std::string QueryLogLine(const std::string& sql) {
        return "[Orvanta]" + platform::StrFormat(CDenyView::kLogQueryList, sql.c_str());
    }

    void ExpectOneBox(const std::string& text, const std::string& caption, unsigned type, const void* owner) {
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, text);
        EXPECT_EQ(boxes_.Shown()[0].caption, caption);
        EXPECT_EQ(boxes_.Shown()[0].type, type);
        EXPECT_EQ(boxes_.Shown()[0].owner, owner);
    }

    const void* ViewOwner() const { return platform::MessageOwner(&view_); }

    TempDir dbDir_;
    EnvSession session_{NewFixture(dbDir_)};
    TempDir startDir_;
    platform::ScriptedMessages boxes_;
    LogCapture log_;
    CDenyView view_;
};

TEST_F(DenyViewTest, QueryAtOnceListsTodaysOptOutsOfAllTheUsersServices) {
    const std::string today = Today();
    AddRecord(201, 101, "demo", "0299990001", today.c_str(), "101010");
    AddRecord(202, 102, "demo", "0299990002", today.c_str(), "090909");
    AddRecord(203, 201, "other", "0599990003", today.c_str(), "080808");       // another user's
    AddRecord(204, 101, "demo", "0299990004", today.c_str(), "070707", "0");   // no opt-out

    QTest::mouseClick(view_.m_btnQueryList, Qt::LeftButton);

    EXPECT_EQ(log_.Lines(), std::vector<std::string>{QueryLogLine(sql::DenyListSql(today, today, "99999999", "demo"))});
    EXPECT_TRUE(boxes_.Shown().empty());
    // NO., service, number, calling number, date, time; the record's ID is not shown.
    EXPECT_EQ(ListRows(), (Rows{{"1", ServiceItem(102), "0299990002", "01012340202", today, "090909"},
                                {"2", ServiceItem(101), "0299990001", "01012340201", today, "101010"}}));
    EXPECT_EQ(view_.m_list->GetColumnCount(), 6);
}

TEST_F(DenyViewTest, DropDownRefillsTheServicesWithAllLastAndLeavesNothingSelected) {
    view_.show();
    const std::vector<std::string> expected{ServiceItem(101), ServiceItem(102), ServiceItem(103),
                                            res::kDenyAllServicesItem};
    for (int round = 0; round < 2; ++round) {
        view_.m_comboService->showPopup();
        std::vector<std::string> items;
        for (int i = 0; i < view_.m_comboService->GetCount(); ++i) items.push_back(view_.m_comboService->GetLBText(i));
        EXPECT_EQ(items, expected);
        view_.m_comboService->hidePopup();
        EXPECT_EQ(view_.m_comboService->GetCurSel(), -1);
    }

    // Closed without a choice: the query asks for a service and sends nothing.
    log_.Clear();
    QTest::mouseClick(view_.m_btnQueryList, Qt::LeftButton);
    ExpectOneBox(CDenyView::kMsgSelectService, res::kTitleError, platform::MB_OK | platform::MB_ICONERROR, ViewOwner());
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(view_.focusWidget(), view_.m_comboService);

    // A failed service query leaves the one item for all services.
    boxes_.Clear();
    RDBHANDLE handle = g_pEnv->m_hRdb;
    g_pEnv->m_hRdb = 7777;
    view_.m_comboService->showPopup();
    view_.m_comboService->hidePopup();
    g_pEnv->m_hRdb = handle;
    EXPECT_EQ(view_.m_comboService->GetCount(), 1);
    EXPECT_EQ(view_.m_comboService->GetLBText(0), res::kDenyAllServicesItem);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
}

TEST_F(DenyViewTest, OneServiceIsFilteredByItsIdAlone) {
    // Odd data, but it shows the filter: service 102 under another user's ID is listed.
    AddRecord(205, 102, "other", "0511110000", kDay1, "110000");
    ChooseService(102);
    log_.Clear();
    Query(kDay1, kDay3);

    std::string sql = sql::DenyListSql(kDay1, kDay3, "102", "demo");
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{QueryLogLine(sql)});
    EXPECT_NE(sql.find(" and r.SVC_ID = '102' "), std::string::npos);
    EXPECT_EQ(sql.find("r.USER_ID"), std::string::npos);
    EXPECT_EQ(Column(2), (std::vector<std::string>{"0311234568", "0511110000"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{ServiceItem(102), ServiceItem(102)}));
}

TEST_F(DenyViewTest, RowsOfSeveralDatesAreOrderedByTimeOfDayAlone) {
    AddRecord(206, 101, "demo", "0200000001", kDay1, "100000");
    AddRecord(207, 102, "demo", "0200000002", kDay2, "090000");
    Query(kDay1, kDay3);

    EXPECT_EQ(log_.Lines(), std::vector<std::string>{QueryLogLine(sql::DenyListSql(kDay1, kDay3, "99999999", "demo"))});
    // 07:00 and 09:00 of the second day, 09:15 of the third (a deleted record still counts as
    // an opt-out), 10:00 of the first; the other user's opt-out is not there.
    EXPECT_EQ(Column(2), (std::vector<std::string>{"0311234568", "0200000002", "0212345682", "0200000001"}));
    EXPECT_EQ(Column(0), (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(ListRows()[2], (std::vector<std::string>{"3", ServiceItem(101), "0212345682", "01011115555", kDay3, "091500"}));
}

TEST_F(DenyViewTest, EmptyResultAndDatabaseFailureLeaveTheListEmpty) {
    Query(kDay1, kDay3);
    ASSERT_EQ(view_.m_list->GetItemCount(), 2);

    Query("20250101", "20250131");
    ExpectOneBox(CDenyView::kMsgNoData, res::kTitleConfirm, platform::MB_OK | platform::MB_ICONERROR, ViewOwner());
    EXPECT_EQ(view_.m_list->GetItemCount(), 0);

    Query(kDay1, kDay3);
    boxes_.Clear();
    RDBHANDLE handle = g_pEnv->m_hRdb;
    g_pEnv->m_hRdb = 7777;
    Query(kDay1, kDay3);
    g_pEnv->m_hRdb = handle;
    EXPECT_EQ(view_.m_list->GetItemCount(), 0);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_EQ(boxes_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
}

TEST_F(DenyViewTest, SavingWritesOneCrLfLinePerRowUnderTheQueriedPeriod) {
    AddRecord(208, 101, "demo", "", kDay1, "120000");
    AddRecord(209, 102, "demo", nullptr, kDay2, "060000");
    Query(kDay1, kDay3);
    ASSERT_EQ(view_.m_list->GetItemCount(), 4);
    std::string expected;
    for (const std::string& number : Column(2)) expected += number + "\r\n";
    EXPECT_EQ(expected, "\r\n0311234568\r\n0212345682\r\n\r\n");

    // The pickers moved on without a new query: the file still carries the list's period.
    view_.m_dateFrom->setDate(QDate::currentDate());
    view_.m_dateTo->setDate(QDate::currentDate());
    std::string path = platform::StrFormat(CDenyView::kSaveFileFormat, startDir_.Path().c_str(), kDay1, kDay3);
    {
        std::ofstream old(path, std::ios::binary);
        old << std::string(500, 'x');
    }
    boxes_.Clear();
    QTest::mouseClick(view_.m_btnSaveFile, Qt::LeftButton);

    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(FilesIn(startDir_.Path()), std::vector<std::string>{std::filesystem::path(path).filename().string()});
    ExpectOneBox(platform::StrFormat(CDenyView::kMsgSavedToFile, path.c_str()), res::kTitleConfirm,
                 platform::MB_OK | platform::MB_ICONINFORMATION, ViewOwner());
    // Every row is written, selected or not.
    view_.m_list->SetItemSelected(1, true);
    QTest::mouseClick(view_.m_btnSaveFile, Qt::LeftButton);
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(DenyViewTest, SavingAnEmptyListCreatesNoFile) {
    QTest::mouseClick(view_.m_btnSaveFile, Qt::LeftButton);
    ExpectOneBox(CDenyView::kMsgNothingToSave, res::kTitleConfirm, platform::MB_OK | platform::MB_ICONINFORMATION,
                 ViewOwner());
    Query("20250101", "20250101");
    boxes_.Clear();
    QTest::mouseClick(view_.m_btnSaveFile, Qt::LeftButton);
    ExpectOneBox(CDenyView::kMsgNothingToSave, res::kTitleConfirm, platform::MB_OK | platform::MB_ICONINFORMATION,
                 ViewOwner());
    EXPECT_TRUE(FilesIn(startDir_.Path()).empty());
}

TEST_F(DenyViewTest, AFileThatCannotBeCreatedIsReported) {
    Query(kDay1, kDay3);
    std::string missing = startDir_.File("gone");
    SetStartDir(missing);
    boxes_.Clear();
    QTest::mouseClick(view_.m_btnSaveFile, Qt::LeftButton);
    std::string path = platform::StrFormat(CDenyView::kSaveFileFormat, missing.c_str(), kDay1, kDay3);
    ExpectOneBox(platform::StrFormat(CDenyView::kMsgCannotCreateFile, path.c_str()), res::kTitleError,
                 platform::MB_OK | platform::MB_ICONERROR, ViewOwner());
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace

TEST_F(DenyViewTest, ExportWritesSelectedRowsBesideTheProgramAndOpensThatFile) {
    platform::ScriptedShell shell;
    shell.Associate(".csv", "/usr/bin/sheetprog");
    platform::spreadsheet::SpreadsheetProbe probe;

    Query(kDay1, kDay3);
    ASSERT_EQ(view_.m_list->GetItemCount(), 2);
    // Nothing selected: the message, and no spreadsheet started.
    boxes_.Clear();
    QTest::mouseClick(view_.m_btnExcel, Qt::LeftButton);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].owner, ViewOwner());
    EXPECT_EQ(probe.Attempts(), 0);

    view_.m_list->SetItemSelected(1, true);
    // The pickers moved on without a new query: the rows still belong to the listed period.
    view_.m_dateFrom->setDate(QDate::currentDate());
    view_.m_dateTo->setDate(QDate::currentDate());
    boxes_.Clear();
    QTest::mouseClick(view_.m_btnExcel, Qt::LeftButton);
    EXPECT_TRUE(boxes_.Shown().empty());
    // The bare file name is taken from the start-up directory, named after the listed period
    // as the numbers file is.
    std::string name = platform::StrFormat(kDenyExportFile, kDay1, kDay3);
    std::string path = startDir_.Path() + "/" + name;
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    ASSERT_FALSE(shell.Starts().empty());
    EXPECT_EQ(shell.Starts().back(), "/usr/bin/sheetprog " + path);
    // The telephone and calling number columns are written as text.
    int textFormats = 0;
    for (const std::string& call : probe.LastCallTexts())
        if (call.find("NumberFormat") != std::string::npos) ++textFormats;
    EXPECT_EQ(textFormats, 2);
}
