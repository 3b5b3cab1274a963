// The login: splitting the login ID, the check against users and agents with its messages,
// the remembered login ID, and the dialog's field limits and buttons.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <filesystem>

#include "app/DlgLogin.h"
#include "app/DlgServerAddr.h"
#include "app/LoginCheck.h"
#include "controls/FlatButton.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/PrivateProfile.h"
#include "platform/qt/ProfileStore.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

// Types text character by character, as a keyboard (or input method) would deliver it.
void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

TEST(SplitLoginId, AgentBeforeTheFirstAtUserAfterIt) {
    std::string agent = "stale", user;
    SplitLoginId("demo", agent, user);
    EXPECT_EQ(agent, "");
    EXPECT_EQ(user, "demo");
    SplitLoginId("kim@demo", agent, user);
    EXPECT_EQ(agent, "kim");
    EXPECT_EQ(user, "demo");
    SplitLoginId("a@b@c", agent, user);
    EXPECT_EQ(agent, "a");
    EXPECT_EQ(user, "b@c");
    // '@' first: the whole text, '@' included, is a user ID.
    SplitLoginId("@demo", agent, user);
    EXPECT_EQ(agent, "");
    EXPECT_EQ(user, "@demo");
    SplitLoginId("", agent, user);
    EXPECT_EQ(agent, "");
    EXPECT_EQ(user, "");
}

class LoginCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ProfileStore::WriteProfileString(res::kProfileSectionLogin, res::kProfileLastLoginId, "before");
    }
    EnvSession session_{FixtureAddress(), "", ""};
    CKestrimEnv& env_ = session_.Env();
    platform::ScriptedMessages boxes_;
    int owner_ = 0;  // stands for the dialog window
};

TEST_F(LoginCheckTest, UserLogsInWithItsStoredIdAndName) {
    EXPECT_EQ(CheckLogin(env_, "DEMO", "pw", &owner_), LoginResult::Accepted);
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(env_.m_strUserId, "demo");  // as stored, not as typed
    EXPECT_FALSE(env_.m_strUserName.empty());
    EXPECT_EQ(env_.m_strAgentName, "");
    EXPECT_EQ(LastLoginId(), "DEMO");
}

TEST_F(LoginCheckTest, AgentLogsInWithNameAtUser) {
    std::string agent = FixtureAgent("1234");
    ASSERT_FALSE(agent.empty());
    std::string loginId = agent + "@demo";
    EXPECT_EQ(CheckLogin(env_, loginId, "1234", &owner_), LoginResult::Accepted);
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(env_.m_strAgentName, agent);
    EXPECT_EQ(env_.m_strUserId, "demo");
    // The whole login ID is remembered, agent part included.
    EXPECT_EQ(LastLoginId(), loginId);
}

TEST_F(LoginCheckTest, AgentNeedsItsOwnPassword) {
    std::string agent = FixtureAgent("1234");
    EXPECT_EQ(CheckLogin(env_, agent + "@demo", "abcd", &owner_), LoginResult::WrongPassword);
    // The user's password is not the agent's either.
    EXPECT_EQ(CheckLogin(env_, agent + "@demo", "pw", &owner_), LoginResult::WrongPassword);
    EXPECT_EQ(boxes_.Shown().size(), 2u);
    EXPECT_EQ(LastLoginId(), "before");
}

TEST_F(LoginCheckTest, AtFirstIsTakenAsAUserId) {
    EXPECT_EQ(CheckLogin(env_, "@demo", "pw", &owner_), LoginResult::NotRegistered);
    EXPECT_EQ(env_.m_strUserId, "@demo");
    EXPECT_EQ(env_.m_strAgentName, "");
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, res::kMsgUnregisteredUser);
}

TEST_F(LoginCheckTest, WrongPasswordIsAnErrorOwnedByTheDialog) {
    EXPECT_EQ(CheckLogin(env_, "demo", "PW", &owner_), LoginResult::WrongPassword);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    const platform::MessageBoxRequest& box = boxes_.Shown()[0];
    EXPECT_EQ(box.text, res::kMsgWrongPassword);
    EXPECT_EQ(box.caption, res::kTitleError);
    EXPECT_EQ(box.type & platform::MB_ICONMASK, platform::MB_ICONERROR);
    EXPECT_EQ(box.owner, &owner_);
    EXPECT_EQ(LastLoginId(), "before");
}

TEST_F(LoginCheckTest, UnregisteredUserOrAgentIsAnInformationWithoutOwner) {
    EXPECT_EQ(CheckLogin(env_, "nobody", "pw", &owner_), LoginResult::NotRegistered);
    EXPECT_EQ(CheckLogin(env_, "nobody@demo", "pw", &owner_), LoginResult::NotRegistered);
    // An agent of another user is no agent of this one.
    EXPECT_EQ(CheckLogin(env_, FixtureAgent("abcd") + "@other", "abcd", &owner_), LoginResult::NotRegistered);
    ASSERT_EQ(boxes_.Shown().size(), 3u);
    for (const auto& box : boxes_.Shown()) {
        EXPECT_EQ(box.text, res::kMsgUnregisteredUser);
        EXPECT_EQ(box.caption, res::kTitleInfo);
        EXPECT_EQ(box.type & platform::MB_ICONMASK, platform::MB_ICONINFORMATION);
        EXPECT_EQ(box.owner, nullptr);
    }
    EXPECT_EQ(LastLoginId(), "before");
}

TEST_F(LoginCheckTest, EmptyStoredPasswordAcceptsOnlyAnEmptyPassword) {
    EXPECT_EQ(CheckLogin(env_, "emptypw", "x", &owner_), LoginResult::WrongPassword);
    EXPECT_EQ(CheckLogin(env_, "emptypw", " ", &owner_), LoginResult::WrongPassword);
    EXPECT_EQ(CheckLogin(env_, "emptypw", "", &owner_), LoginResult::Accepted);
}

TEST_F(LoginCheckTest, QuotesInTheLoginIdFindNobody) {
    EXPECT_EQ(CheckLogin(env_, "x' or '1'='1", "", &owner_), LoginResult::NotRegistered);
    EXPECT_EQ(CheckLogin(env_, "a' or 'a'='a@demo", "", &owner_), LoginResult::NotRegistered);
}

// The dialog itself, run modally and driven from the event loop.
class LoginDialogTest : public ::testing::Test {
protected:
    EnvSession session_{FixtureAddress(), "", ""};
    platform::ScriptedMessages boxes_;
};

TEST_F(LoginDialogTest, ShowsTheLastLoginIdIncludingTheAgentPart) {
    std::string loginId = FixtureAgent("abcd") + "@demo";
    {
        CDlgLogin first;
        WhenModal<CDlgLogin>([&](CDlgLogin* dialog) {
            dialog->m_editLoginId->setText(QString::fromStdString(loginId));
            dialog->m_editPassword->setText(QStringLiteral("abcd"));
            QTest::mouseClick(dialog->m_btnLogin, Qt::LeftButton);
        });
        EXPECT_EQ(first.DoModal(), IDOK);
    }
    CDlgLogin second;
    WhenModal<CDlgLogin>([&](CDlgLogin* dialog) {
        EXPECT_EQ(dialog->m_editLoginId->text().toStdString(), loginId);
        EXPECT_TRUE(dialog->m_editPassword->text().isEmpty());
        dialog->reject();
    });
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_TRUE(boxes_.Shown().empty());
}

TEST_F(LoginDialogTest, StaysOpenAfterAFailedAttempt) {
    CDlgLogin dialog;
    bool stillOpen = false;
    WhenModal<CDlgLogin>([&](CDlgLogin* d) {
        d->m_editLoginId->setText(QStringLiteral("demo"));
        d->m_editPassword->setText(QStringLiteral("nope"));
        QTest::keyClick(d->m_editPassword, Qt::Key_Return);  // Enter means the login button
        stillOpen = d->isVisible();
        d->m_editPassword->setText(QStringLiteral("pw"));
        QTest::mouseClick(d->m_btnLogin, Qt::LeftButton);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, res::kMsgWrongPassword);
    EXPECT_EQ(boxes_.Shown()[0].owner, static_cast<const QWidget*>(&dialog));
    EXPECT_EQ(g_pEnv->m_strUserId, "demo");
}

TEST_F(LoginDialogTest, FieldsTakeAtMostTheirBytes) {
    CDlgLogin dialog;
    dialog.show();
    const QString hangul(QChar(0xAC00));
    QTest::keyClicks(dialog.m_editPassword, QString(25, QLatin1Char('p')));
    EXPECT_EQ(dialog.m_editPassword->text().size(), 20);
    // 31 bytes: fifteen two-byte syllables and one ASCII character.
    dialog.m_editLoginId->clear();
    TypeText(dialog.m_editLoginId, hangul.repeated(16));
    EXPECT_EQ(dialog.m_editLoginId->text(), hangul.repeated(15));
    QTest::keyClicks(dialog.m_editLoginId, QStringLiteral("ab"));
    EXPECT_EQ(dialog.m_editLoginId->text(), hangul.repeated(15) + QStringLiteral("a"));
    dialog.reject();
}

TEST_F(LoginDialogTest, ButtonsHaveTheFlatSchemeAndTheirCaptions) {
    CDlgLogin dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle().toStdString(), res::kLoginCaption);
    EXPECT_EQ(dialog.m_btnLogin->text().toStdString(), res::kLoginOk);
    EXPECT_EQ(dialog.m_btnCancel->text().toStdString(), res::kLoginCancel);
    EXPECT_EQ(dialog.m_btnSettings->text().toStdString(), res::kLoginSettings);
    EXPECT_TRUE(dialog.m_btnLogin->isDefault());
    for (CFlatButton* button : {dialog.m_btnLogin, dialog.m_btnCancel, dialog.m_btnSettings}) {
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_BK_INACTIVE), QColor(245, 245, 220));
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_BK_ACTIVE), QColor(0, 0, 255));
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_FG_ACTIVE), QColor(255, 255, 255));
    }
    dialog.reject();
}

}  // namespace

namespace {

TEST_F(LoginDialogTest, SettingsButtonSavesTheServerAddressForTheNextStart) {
    StartDir start(FixtureIni());
    CDlgLogin dialog;
    std::string shown;
    WhenModal<CDlgLogin>([&](CDlgLogin* login) {
        WhenModal<CDlgServerAddr>([&](CDlgServerAddr* settings) {
            shown = settings->m_editServerAddr->text().toStdString();
            settings->m_editServerAddr->setText(QStringLiteral("10.1.2.3"));
            QTest::mouseClick(settings->m_btnSave, Qt::LeftButton);
            // Back in the login dialog, which stays open.
            WhenModal<CDlgLogin>([](CDlgLogin* again) { again->reject(); });
        });
        QTest::mouseClick(login->m_btnSettings, Qt::LeftButton);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, FixtureAddress());
    EXPECT_EQ(g_pEnv->m_strServerIp, "10.1.2.3");
    EXPECT_EQ(platform::GetPrivateProfileString("Orvanta", "SERVER_IP_ADDR", "", "./Env/Orvanta.INI"), "10.1.2.3");
    EXPECT_EQ(platform::GetPrivateProfileString("VERSION_CHECK_CONNECT", "VC_SERVER_IP_ADDR", "", "./Env/zolt.INI"),
              "10.1.2.3");
    EXPECT_TRUE(boxes_.Shown().empty());
}

}  // namespace

namespace {

TEST_F(LoginDialogTest, AServerAddressFileThatCannotBeWrittenIsNamedAndLogged) {
    StartDir start(FixtureIni());
    // A folder where the version-check file should be: it cannot be written.
    std::filesystem::create_directories("Env/zolt.INI");
    const std::string zolt = (std::filesystem::current_path() / "Env/zolt.INI").string();
    LogCapture log;
    CDlgLogin dialog;
    WhenModal<CDlgLogin>([&](CDlgLogin* login) {
        WhenModal<CDlgServerAddr>([&](CDlgServerAddr* settings) {
            settings->m_editServerAddr->setText(QStringLiteral("10.1.2.3"));
            QTest::mouseClick(settings->m_btnSave, Qt::LeftButton);
            WhenModal<CDlgLogin>([](CDlgLogin* again) { again->reject(); });
        });
        QTest::mouseClick(login->m_btnSettings, Qt::LeftButton);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, platform::StrFormat(CDlgServerAddr::kMsgCannotSave, zolt.c_str()));
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_EQ(boxes_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_NE(boxes_.Shown()[0].owner, nullptr);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"[Orvanta]CKestrimEnv::SaveServerAddress write failed(" + zolt + ")"});
    // The other file was written all the same.
    EXPECT_EQ(platform::GetPrivateProfileString("Orvanta", "SERVER_IP_ADDR", "", "./Env/Orvanta.INI"), "10.1.2.3");
}

}  // namespace
