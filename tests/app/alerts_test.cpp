// Signs of the automatic check for a desk nobody is looking at: when a notice goes out,
// what it says, and the failed-ticket message on the main window's status bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QTest>

#include "app/DeskAlerts.h"
#include "app/MainFrame.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/qt/RecordingNotifier.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Notice = platform::RecordingNotifier::Notice;

class FakeDesk : public IDeskWindow {
public:
    bool watched = false;
    int alerts = 0;
    std::vector<std::string> statusAlerts;
    bool IsWatched() const override { return watched; }
    void Alert() override { ++alerts; }
    void ShowStatusAlert(const std::string& text) override { statusAlerts.push_back(text); }
};

constexpr char kService[] = "1001.\xEB\x8C\x80\xEC\xB6\x9C\xEC\x83\x81\xEB\x8B\xB4";  // "1001.대출상담"
constexpr char kServiceLabel[] = "\xEB\x8C\x80\xEC\xB6\x9C\xEC\x83\x81\xEB\x8B\xB4 (1001)";

std::string Summary(int count) { return platform::StrFormat(CDeskAlerts::kNewRequestsSummary, count); }

TEST(DeskAlerts, AnUnwatchedDeskHearsOfEveryRiseOnceAndNothingWhileTheCountHolds) {
    platform::RecordingNotifier notices;
    FakeDesk desk;
    CDeskAlerts alerts(desk);
    const int counts[] = {0, 3, 3, 5, 2, 4};
    for (int count : counts) alerts.OnCheckFinished(kService, true, count, false);
    const std::vector<int> announced{3, 5, 4};  // a fall and a new rise is news again
    ASSERT_EQ(notices.Notices().size(), announced.size());
    for (size_t i = 0; i < announced.size(); ++i) {
        EXPECT_EQ(notices.Notices()[i].tag, CDeskAlerts::kTagNewRequests);
        EXPECT_EQ(notices.Notices()[i].summary, Summary(announced[i]));
        EXPECT_EQ(notices.Notices()[i].body, kServiceLabel);
    }
    EXPECT_EQ(desk.alerts, 3);
    EXPECT_TRUE(desk.statusAlerts.empty());
}

TEST(DeskAlerts, WhatTheUserSawIsNotAnnouncedAndAFailedCountChangesNothing) {
    platform::RecordingNotifier notices;
    FakeDesk desk;
    CDeskAlerts alerts(desk);
    desk.watched = true;
    alerts.OnCheckFinished(kService, true, 4, false);
    desk.watched = false;  // minimised afterwards
    alerts.OnCheckFinished(kService, true, 4, false);
    alerts.OnCheckFinished(kService, false, 0, false);  // the count query failed
    EXPECT_TRUE(notices.Notices().empty());
    alerts.OnCheckFinished(kService, true, 5, false);
    ASSERT_EQ(notices.Notices().size(), 1u);
    EXPECT_EQ(notices.Notices()[0].summary, Summary(5));
    // A service text without a name is shown as it is.
    EXPECT_EQ(CDeskAlerts::ServiceLabel("1001"), "1001");
}

TEST(DeskAlerts, FailedTicketsShowOnTheStatusBarAndOneNoticePerRunOfFailures) {
    platform::RecordingNotifier notices;
    FakeDesk desk;
    desk.watched = true;  // a failed ticket is told even to a watched desk
    CDeskAlerts alerts(desk);
    const std::string text = std::string("\xED\x8B\xB0\xEC\xBC\x93 \xEC\xB6\x9C\xEB\xA0\xA5 \xEC\x8B\xA4\xED\x8C\xA8: ") +
                             kServiceLabel;  // "티켓 출력 실패: "
    alerts.OnCheckFinished(kService, true, 3, true);
    alerts.OnCheckFinished(kService, true, 3, true);
    EXPECT_EQ(desk.statusAlerts, (std::vector<std::string>{text, text}));
    ASSERT_EQ(notices.Notices().size(), 1u);
    EXPECT_EQ(notices.Notices()[0].tag, CDeskAlerts::kTagTicketFailed);
    EXPECT_EQ(notices.Notices()[0].summary, text);
    EXPECT_EQ(desk.alerts, 0);

    alerts.OnCheckFinished(kService, true, 0, false);  // printed again: the message goes
    EXPECT_EQ(desk.statusAlerts.back(), "");
    desk.watched = false;
    alerts.OnCheckFinished(kService, true, 1, true);
    EXPECT_EQ(notices.Notices().size(), 3u);  // the new request, then the new failure
    EXPECT_EQ(notices.Notices().back().tag, CDeskAlerts::kTagTicketFailed);
    EXPECT_EQ(desk.alerts, 2);
}

TEST(DeskAlerts, StatusAlertOutlastsMenuPromptsUntilTakenAway) {
    StartDir start(FixtureIni());
    platform::ScriptedMessages boxes;
    CMainFrame frame;
    ASSERT_TRUE(frame.LoadFrame());
    QStatusBar* bar = frame.statusBar();
    frame.ShowStatusAlert("x failed");
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("x failed"));
    bar->showMessage(QStringLiteral("a menu prompt"));
    bar->clearMessage();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("x failed"));
    frame.ShowStatusAlert("");
    EXPECT_EQ(bar->currentMessage(), QString::fromUtf8(res::kIdlePrompt));
    // Minimised, the desk is not watched.
    frame.showMinimized();
    EXPECT_FALSE(frame.IsWatched());
}

// The real main frame, logged in without the dialog, counting its requests for attention.
class AlertingFrame : public CMainFrame {
public:
    int alerts = 0;
    bool loggedIn = false;
    void Alert() override {
        ++alerts;
        CMainFrame::Alert();
    }

protected:
    bool RunLogin() override {
        g_pEnv->m_strUserId = "demo";
        g_pEnv->m_strAgentName.clear();
        loggedIn = true;
        return true;
    }
};

// Another program in front: the desk stays on screen, neither minimised nor active, and
// nobody is looking at it, so new requests get the notice and the urgency hint.
TEST(DeskAlerts, ADeskBehindAnotherProgramIsToldOfNewRequests) {
    StartDir start(FixtureIni());
    platform::ScriptedMessages boxes;
    platform::RecordingNotifier notices;
    AlertingFrame frame;
    ASSERT_TRUE(frame.LoadFrame());
    frame.show();
    ASSERT_TRUE(QTest::qWaitFor([&frame] { return frame.loggedIn; }, 5000));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    EXPECT_TRUE(frame.IsWatched());
    frame.Alerts().OnCheckFinished(kService, true, 2, false);
    EXPECT_TRUE(notices.Notices().empty());
    EXPECT_EQ(frame.alerts, 0);

    QApplication::setActiveWindow(nullptr);  // what the desktop reports when another program is in front
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    ASSERT_TRUE(frame.isVisible());
    ASSERT_FALSE(frame.isMinimized());
    EXPECT_FALSE(frame.IsWatched());
    frame.Alerts().OnCheckFinished(kService, true, 3, false);
    ASSERT_EQ(notices.Notices().size(), 1u);
    EXPECT_EQ(notices.Notices()[0].summary, Summary(3));
    EXPECT_EQ(frame.alerts, 1);
}

}  // namespace
