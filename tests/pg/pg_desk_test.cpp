// One desk on PostgreSQL from end to end: log in, list the unprocessed requests, complete
// one, and let the automatic check count what is left.
#include <gtest/gtest.h>

#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QTest>

#include "app/LoginCheck.h"
#include "callcheck/CallCheckView.h"
#include "controls/ColorLabel.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "platform/MessageBox.h"
#include "tests/support/Fixture.h"
#include "tests/support/StatementServer.h"
#include "tests/support/qt/RecordingSound.h"
#include "tests/support/ScriptedMessages.h"

namespace {

TEST(PgDesk, LogInListCompleteAndCount) {
    std::unique_ptr<StatementServer> server = StartStatementServer(ServerKind::Postgres);
    EnvSession session(server->Address(), "", "");
    platform::ScriptedMessages boxes;
    platform::RecordingSound sound;
    int owner = 0;
    CKestrimEnv& env = session.Env();
    ASSERT_EQ(CheckLogin(env, "DEMO", "pw", &owner), LoginResult::Accepted);
    EXPECT_EQ(env.m_strUserId, "demo");  // as stored
    EXPECT_EQ(CheckLogin(env, "demo", "wrong", &owner), LoginResult::WrongPassword);
    ASSERT_EQ(CheckLogin(env, "demo", "pw", &owner), LoginResult::Accepted);
    ASSERT_TRUE(env.LoadServiceTypes());
    boxes.Clear();

    CCallCheckView view;
    view.OnInitialUpdate();  // the loan service 101 is selected
    view.m_dateFrom->setDate(QDate(2026, 12, 1));
    view.m_dateTo->setDate(QDate(2026, 12, 3));
    view.OnButtonQueryList();
    ASSERT_EQ(view.m_list->GetItemCount(), 4);
    EXPECT_EQ(view.m_list->GetItemText(0, 1), "1");
    EXPECT_EQ(view.m_list->GetItemText(0, 3), "02-1234-5678");

    view.m_list->SetItemSelected(0, true);
    view.OnButtonCheckComplete();  // the question is answered Yes
    EXPECT_EQ(view.m_list->GetItemCount(), 3);

    QTest::mouseClick(view.m_btn[CCallCheckView::BTN_AUTO_START], Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view.m_lblNewCount->text(), QString("3"), 10000);
    QTest::mouseClick(view.m_btn[CCallCheckView::BTN_AUTO_STOP], Qt::LeftButton);
    ASSERT_EQ(boxes.Shown().size(), 1u);  // the completion question only
}

}  // namespace
