// The view's start/stop buttons run the automatic check on the view's own timer, and its
// export button writes the listed rows beside the program.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "app/OrvantaApp.h"
#include "callcheck/CallCheckView.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "output/ExportSelection.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/Fixture.h"
#include "tests/support/qt/RecordingSound.h"
#include "tests/support/qt/ScriptedShell.h"
#include "tests/support/qt/SpreadsheetProbe.h"
#include "tests/support/ScriptedMessages.h"

namespace {

class CallCheckWiring : public ::testing::Test {
protected:
    CallCheckWiring() {
        CreateFixtureDatabase(dir_.File("w.db"));
        session_ = std::make_unique<EnvSession>("file:" + dir_.File("w.db"));
        view_ = std::make_unique<CCallCheckView>();
        view_->OnInitialUpdate();  // service 101 (loan) selected
        view_->m_dateFrom->setDate(QDate(2026, 12, 1));
        view_->m_dateTo->setDate(QDate(2026, 12, 3));
    }

    TempDir dir_;
    std::unique_ptr<EnvSession> session_;
    platform::ScriptedMessages boxes_;
    platform::RecordingSound sound_;
    std::unique_ptr<CCallCheckView> view_;
};

TEST_F(CallCheckWiring, StartChecksAtOnceAndStopHandsTheServiceBack) {
    QTest::mouseClick(view_->m_btn[CCallCheckView::BTN_AUTO_START], Qt::LeftButton);
    EXPECT_FALSE(view_->m_btn[CCallCheckView::BTN_AUTO_START]->isEnabled());
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_AUTO_STOP]->isEnabled());
    EXPECT_FALSE(view_->m_comboService->isEnabled());
    // Four unprocessed requests of service 101 in the period: below the threshold of 5.
    // Waited for with a failing expectation: Qt Test's QTRY macros only return on a timeout.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view_->m_lblNewCount->text() == QStringLiteral("4"); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return view_->m_lblCountdown->text() != QStringLiteral("10"); }, 5000));
    QTest::mouseClick(view_->m_btn[CCallCheckView::BTN_AUTO_STOP], Qt::LeftButton);
    EXPECT_TRUE(view_->m_btn[CCallCheckView::BTN_AUTO_START]->isEnabled());
    EXPECT_TRUE(view_->m_comboService->isEnabled());
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(CallCheckWiring, AutoPrintBoxIsRefusedWithoutReceiptPrinter) {
    session_->Env().m_strMiniPrintDriver.clear();
    QTest::mouseClick(view_->m_chkAutoPrint, Qt::LeftButton);
    EXPECT_FALSE(view_->m_chkAutoPrint->isChecked());
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, "알림");
}

TEST_F(CallCheckWiring, ExportWritesTheWorkbookInTheStartDirectory) {
    TempDir start;
    COrvantaApp* app = COrvantaApp::Instance();
    std::strncpy(app->m_szStartDir, start.Path().c_str(), sizeof app->m_szStartDir - 1);
    platform::ScriptedShell shell;
    platform::spreadsheet::SpreadsheetProbe probe;
    view_->OnButtonQueryList();
    ASSERT_EQ(view_->m_list->GetItemCount(), 4);
    view_->m_list->SetItemSelected(0, true);
    view_->m_list->SetItemSelected(2, true);
    boxes_.Clear();
    QTest::mouseClick(view_->m_btn[CCallCheckView::BTN_EXCEL], Qt::LeftButton);
    EXPECT_TRUE(boxes_.Shown().empty());
    const std::string path =
        ResolveExportPath(platform::StrFormat(kCallbackExportFile, start.Path().c_str()), start.Path());
    EXPECT_EQ(path, start.Path() + "/콜백데이터목록.xls");
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(probe.Created(), 1);
    app->m_szStartDir[0] = '\0';
}

}  // namespace
