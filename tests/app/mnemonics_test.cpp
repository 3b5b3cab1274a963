// Alt and a button's underlined letter on the real forms inside the main frame and on the
// dialogs: wherever the focus is inside the window, and before the main frame's menu.
#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "agents/DlgQueryCallbackDist.h"
#include "agents/DlgUserAgent.h"
#include "app/ChildFrame.h"
#include "app/MainFrame.h"
#include "callcheck/CallCheckView.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "optout/DenyView.h"
#include "platform/MessageBox.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

// The main frame with the fixture's customer logged in, without the login dialog.
class DeskFrame : public CMainFrame {
public:
    bool loggedIn = false;
    std::string agent;  // empty: the customer itself

protected:
    bool RunLogin() override {
        g_pEnv->m_strUserId = "demo";
        g_pEnv->m_strAgentName = agent;
        loggedIn = true;
        return true;
    }
};

// Waits for the list a button asks for (the press comes a moment after the key).
bool Listed(const CCallCheckView* view, const char* kind) {
    return QTest::qWaitFor([&] { return view->m_strListKind == kind; }, 3000);
}

// Alt and a letter, typed where the keyboard focus is (the frame itself when nowhere).
void AltKey(QWidget* window, char letter) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : window, static_cast<Qt::Key>(letter), Qt::AltModifier);
}

class Mnemonics : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.LoadFrame());
        frame_.show();
        ASSERT_TRUE(QTest::qWaitFor([this] { return frame_.loggedIn; }, 5000));
        frame_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
    }
    void TearDown() override {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        frame_.MdiClient()->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class View>
    View* ActiveView() {
        auto* child = qobject_cast<CChildFrame*>(frame_.MdiClient()->activeSubWindow());
        return child != nullptr ? qobject_cast<View*>(child->GetActiveView()) : nullptr;
    }
    int ListQueries(const std::string& logPrefix) {
        int n = 0;
        for (const std::string& line : log_.Lines()) n += line.rfind("[Orvanta]" + logPrefix, 0) == 0;
        return n;
    }

    StartDir start_{FixtureIni()};
    platform::ScriptedMessages boxes_;
    LogCapture log_;
    DeskFrame frame_;
};

TEST_F(Mnemonics, TheCallbackViewsLettersWorkFromAnywhereInItAndBeforeTheMenu) {
    frame_.OnMenuCallbackQuery();
    CCallCheckView* view = ActiveView<CCallCheckView>();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isVisible());

    // Straight after the view opened, before anything was clicked.
    AltKey(&frame_, 'T');
    EXPECT_TRUE(Listed(view, CCallCheckView::kListKindAll)) << view->m_strListKind;
    AltKey(&frame_, 'B');
    EXPECT_TRUE(Listed(view, CCallCheckView::kListKindProcessed)) << view->m_strListKind;

    // From the service drop-down.
    view->m_comboService->setFocus();
    ASSERT_TRUE(view->m_comboService->hasFocus());
    AltKey(&frame_, 'Q');
    EXPECT_TRUE(Listed(view, CCallCheckView::kListKindUnprocessed)) << view->m_strListKind;
    EXPECT_EQ(view->m_comboService->GetCurSel(), 0);  // the letter did not search the list

    // After a message box over the main frame was dismissed.
    QMessageBox box(QMessageBox::Information, QStringLiteral("확인"), QStringLiteral("x"), QMessageBox::Ok, &frame_);
    QTimer::singleShot(50, &box, &QMessageBox::accept);
    box.exec();
    frame_.activateWindow();  // what the window manager does when the box goes
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
    AltKey(&frame_, 'B');
    EXPECT_TRUE(Listed(view, CCallCheckView::kListKindProcessed)) << view->m_strListKind;

    // The view's 콜백율 조회(&C) comes before the menu 콜백분배(&C).
    view->m_dateFrom->setFocus();
    AltKey(&frame_, 'C');
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->IsRateTableShown(); }, 3000));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(frame_.menuBar()->activeAction(), nullptr);
    // A letter the view does not use still reaches the menu.
    AltKey(&frame_, 'F');
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() != nullptr; }, 3000));
    QApplication::activePopupWidget()->close();

    view->m_list->setFocus();
    AltKey(&frame_, 'X');
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame_.MdiClient()->subWindowList().size() == 0; }, 3000));
}

TEST_F(Mnemonics, TheOptOutViewAndTheDialogsAnswerTheirLetters) {
    frame_.OnMenuCallbackQuery();
    CCallCheckView* callback = ActiveView<CCallCheckView>();
    ASSERT_NE(callback, nullptr);
    frame_.OnMenuDenyQuery();
    CDenyView* deny = ActiveView<CDenyView>();
    ASSERT_NE(deny, nullptr);
    log_.Clear();
    AltKey(&frame_, 'Q');  // both views have 조회(&Q): only the one with the focus answers
    EXPECT_TRUE(QTest::qWaitFor([&] { return ListQueries("CDenyView::OnButtonQueryList") == 1; }, 3000));
    EXPECT_EQ(callback->m_strListKind, "");
    deny->m_comboService->setFocus();
    AltKey(&frame_, 'Q');
    EXPECT_TRUE(QTest::qWaitFor([&] { return ListQueries("CDenyView::OnButtonQueryList") == 2; }, 3000));

    bool statusQueried = false, statusClosed = false;
    WhenModal<CDlgQueryCallbackDist>([&](CDlgQueryCallbackDist* dialog) {
        dialog->m_dateFrom->setFocus();
        log_.Clear();
        AltKey(dialog, 'Q');
        statusQueried = QTest::qWaitFor([&] { return !log_.Lines().empty(); }, 2000);
        AltKey(dialog, 'X');
        statusClosed = QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000);
        if (!statusClosed) dialog->reject();
    });
    frame_.OnMenuCallbackDist();
    EXPECT_TRUE(statusQueried);
    EXPECT_TRUE(statusClosed);

    bool agentsClosed = false, hiddenQueryRan = true;
    size_t boxesBefore = 0, boxesAfter = 0;
    WhenModal<CDlgUserAgent>([&](CDlgUserAgent* dialog) {
        dialog->m_editName->setFocus();
        boxesBefore = boxes_.Shown().size();
        AltKey(dialog, 'A');  // 추가 with an empty name: its message
        (void)QTest::qWaitFor([&] { return boxes_.Shown().size() > boxesBefore; }, 2000);
        boxesAfter = boxes_.Shown().size();
        // The hidden 조회(&Q) is not pressed: no list query goes out.
        log_.Clear();
        AltKey(dialog, 'Q');
        QTest::qWait(300);
        hiddenQueryRan = !log_.Lines().empty();
        AltKey(dialog, 'X');
        agentsClosed = QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000);
        if (!agentsClosed) dialog->reject();
    });
    frame_.OnMenuUserAgent();
    EXPECT_EQ(boxesAfter, boxesBefore + 1);
    EXPECT_FALSE(hiddenQueryRan);
    EXPECT_TRUE(agentsClosed);
}

// An agent's desk hides the callback-rate report and the full list: their letters press
// nothing there, and a letter the menu has goes to the menu.
class AgentMnemonics : public Mnemonics {
protected:
    AgentMnemonics() { frame_.agent = FixtureAgent("1234"); }
    void TearDown() override {
        Mnemonics::TearDown();
        g_pEnv->m_strAgentName.clear();
    }
};

TEST_F(AgentMnemonics, LettersOfHiddenButtonsPressNothingAndTheMenuGetsTheirLetter) {
    frame_.OnMenuCallbackQuery();
    CCallCheckView* view = ActiveView<CCallCheckView>();
    ASSERT_NE(view, nullptr);
    ASSERT_FALSE(g_pEnv->m_strAgentName.empty());
    ASSERT_TRUE(view->m_btn[CCallCheckView::BTN_CALLBACK_RATE]->isHidden());
    ASSERT_TRUE(view->m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isHidden());
    // The service's own setting would show the full list to its customer.
    ASSERT_EQ(g_pEnv->GetNoReqDisp(std::atoi(g_pEnv->GetComboSelServiceId(view->m_comboService).c_str())), 1);

    log_.Clear();
    view->m_dateFrom->setFocus();
    AltKey(&frame_, 'C');  // 콜백율 조회(&C) is hidden: the menu 콜백분배(&C) opens
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() != nullptr; }, 3000));
    EXPECT_FALSE(view->IsRateTableShown());
    QApplication::activePopupWidget()->close();
    frame_.activateWindow();  // what the window manager does when the menu goes
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));

    view->m_list->setFocus();
    ASSERT_TRUE(view->m_list->hasFocus());
    AltKey(&frame_, 'T');  // 전체 리스트(&T) is hidden: nothing is listed
    QTest::qWait(300);
    EXPECT_EQ(view->m_strListKind, "");
    EXPECT_FALSE(view->IsRateTableShown());
    EXPECT_TRUE(log_.Lines().empty());

    // A visible button's letter still works on the same desk: its list query runs.
    AltKey(&frame_, 'Q');
    EXPECT_TRUE(QTest::qWaitFor([&] { return !log_.Lines().empty(); }, 3000));
}

}  // namespace
