// The agent management dialog at work on its own fixture database: the list, the field
// rules, add/change/delete and what they send, and the dialog's default OK.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <memory>

#include "agents/DlgUserAgent.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "data/Queries.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/QtMessagePresenter.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string NewAgentFixture(const TempDir& dir) {
    std::string path = dir.File("agents.db");
    CreateFixtureDatabase(path);
    return "file:" + path;
}

// The framework's message with its placeholders filled.
std::string Ddx(std::string text, const std::string& first, const std::string& second = std::string()) {
    text.replace(text.find("%1"), 2, first);
    if (!second.empty()) text.replace(text.find("%2"), 2, second);
    return text;
}

QString Hangul(int count) { return QString(QChar(0xAC00)).repeated(count); }

// Records whether the owner of each box was already visible when the box came up.
class VisibilityProbe : public platform::MessagePresenter {
public:
    VisibilityProbe() : previous_(platform::SetMessagePresenter(this)) {}
    ~VisibilityProbe() override { platform::SetMessagePresenter(previous_); }
    int Show(const platform::MessageBoxRequest& request) override {
        texts.push_back(request.text);
        auto* owner = static_cast<const QWidget*>(request.owner);
        ownerVisible.push_back(owner != nullptr && owner->isVisible());
        return platform::IDOK;
    }
    std::vector<std::string> texts;
    std::vector<bool> ownerVisible;

private:
    platform::MessagePresenter* previous_;
};

class AgentDialogTest : public ::testing::Test {
protected:
    void Open(const std::string& userId) {
        dialog_.reset();
        session_.reset();
        session_ = std::make_unique<EnvSession>(address_, userId);
        dialog_ = std::make_unique<CDlgUserAgent>();
        dialog_->show();
    }

    CDlgUserAgent& Dlg() { return *dialog_; }

    // The user's agents as stored: name, password, count.
    Rows Stored(const std::string& userId) {
        return QueryRows(session_->Env(), "select AGENT_NM, PASSWORD, DIST_COUNT from USER_AGENT_INFO where USER_ID = '" +
                                              userId + "' order by AGENT_NM");
    }

    Rows ListRows() const {
        Rows rows;
        for (int i = 0; i < dialog_->m_list->GetItemCount(); ++i) {
            std::vector<std::string> row;
            for (int c = 0; c < dialog_->m_list->GetColumnCount(); ++c) row.push_back(dialog_->m_list->GetItemText(i, c));
            rows.push_back(row);
        }
        return rows;
    }

    int RowOf(const std::string& name) const {
        for (int i = 0; i < dialog_->m_list->GetItemCount(); ++i) {
            if (dialog_->m_list->GetItemText(i, CDlgUserAgent::COL_NAME) == name) return i;
        }
        return -1;
    }

    // Clicks the row, as the user selects an agent.
    void ClickRow(int row) {
        CListCtrl* list = dialog_->m_list;
        QRect cell = list->visualRect(list->model()->index(row, CDlgUserAgent::COL_NAME));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }

    void SetFields(const QString& name, const QString& password, const QString& count) {
        dialog_->m_editName->setText(name);
        dialog_->m_editPassword->setText(password);
        dialog_->m_editDistCount->setText(count);
    }

    static std::string QueryLogLine(const std::string& userId) {
        return "[Orvanta]" + platform::StrFormat(CDlgUserAgent::kLogQuery, sql::AgentListSql(userId).c_str());
    }
    static std::string SqlLogLine(const std::string& sql) {
        return "[Orvanta]" + platform::StrFormat(CDlgUserAgent::kLogSql, sql.c_str());
    }

    const void* Owner() const { return platform::MessageOwner(dialog_.get()); }

    void ExpectBoxes(const std::vector<platform::MessageBoxRequest>& expected) {
        ASSERT_EQ(boxes_.Shown().size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(boxes_.Shown()[i].text, expected[i].text);
            EXPECT_EQ(boxes_.Shown()[i].caption, expected[i].caption);
            EXPECT_EQ(boxes_.Shown()[i].type, expected[i].type);
            EXPECT_EQ(boxes_.Shown()[i].owner, expected[i].owner);
        }
    }

    bool ButtonsEnabled() const { return dialog_->m_btnChange->isEnabled() && dialog_->m_btnDelete->isEnabled(); }
    bool ButtonsDisabled() const { return !dialog_->m_btnChange->isEnabled() && !dialog_->m_btnDelete->isEnabled(); }

    TempDir dbDir_;
    std::string address_ = NewAgentFixture(dbDir_);
    platform::ScriptedMessages boxes_;
    LogCapture log_;
    std::unique_ptr<EnvSession> session_;
    std::unique_ptr<CDlgUserAgent> dialog_;
};

TEST_F(AgentDialogTest, UserWithoutAgentsIsToldBeforeTheDialogShows) {
    session_ = std::make_unique<EnvSession>(address_, "only3");
    log_.Clear();
    {
        VisibilityProbe probe;
        CDlgUserAgent dialog;
        dialog.show();
        EXPECT_EQ(probe.texts, std::vector<std::string>{CDlgUserAgent::kMsgNoAgents});
        EXPECT_EQ(probe.ownerVisible, std::vector<bool>{false});
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.m_list->GetItemCount(), 0);
        EXPECT_EQ(log_.Lines(), std::vector<std::string>{QueryLogLine("only3")});
        dialog.reject();
    }

    // The box itself: the dialog's own, confirm caption, error icon.
    boxes_.Clear();
    Open("only3");
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgNoAgents, res::kTitleConfirm, platform::MB_OK | platform::MB_ICONERROR}});
}

TEST_F(AgentDialogTest, ListIsFilledByNameAndSelectionFillsTheFields) {
    Open("demo");
    EXPECT_TRUE(boxes_.Shown().empty());
    Rows stored = Stored("demo");
    ASSERT_EQ(stored.size(), 2u);
    Rows list = ListRows();
    ASSERT_EQ(list.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(list[i][0], std::to_string(i + 1));
        EXPECT_EQ((std::vector<std::string>{list[i][2], list[i][3], list[i][4]}), stored[i]);
    }
    EXPECT_TRUE(ButtonsDisabled());

    ClickRow(1);
    EXPECT_EQ(Dlg().m_editName->text().toStdString(), stored[1][0]);
    EXPECT_EQ(Dlg().m_editPassword->text().toStdString(), stored[1][1]);
    EXPECT_EQ(Dlg().m_editDistCount->text().toStdString(), stored[1][2]);
    EXPECT_EQ(Dlg().m_editSeqNo->text().toStdString(), list[1][1]);
    EXPECT_EQ(Dlg().m_nSeqNo, std::stoi(list[1][1]));
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(AgentDialogTest, DuplicateNameIsRefusedButAcceptedUnderAnotherUser) {
    Open("demo");
    std::string taken = Stored("demo")[0][0];
    SetFields(QString::fromStdString(taken), QStringLiteral("pw"), QStringLiteral("3"));
    log_.Clear();
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgAlreadyRegistered, res::kTitleConfirm,
                  platform::MB_OK | platform::MB_ICONERROR}});
    EXPECT_TRUE(log_.Lines().empty());
    EXPECT_EQ(Stored("demo").size(), 2u);

    Open("dist2");
    boxes_.Clear();
    log_.Clear();
    SetFields(QString::fromStdString(taken), QStringLiteral("pw"), QStringLiteral("3"));
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    EXPECT_EQ(log_.Lines(), (std::vector<std::string>{SqlLogLine(sql::AgentInsertSql("dist2", taken, CDlgUserAgent::kLogPasswordMask, 3)),
                                                      QueryLogLine("dist2")}));
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgAdded, res::kTitleConfirm, platform::MB_OK}});
    EXPECT_EQ(Stored("dist2"), (Rows{{taken, "pw", "3"}}));
    // The new agent is listed and selected, ready to be changed or deleted.
    ASSERT_EQ(Dlg().m_list->GetItemCount(), 1);
    EXPECT_TRUE(Dlg().m_list->IsItemSelected(0));
    EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(AgentDialogTest, FieldRulesRefuseBeforeAnyDatabaseAccess) {
    Open("demo");
    // Any statement from here on fails loudly with a database error box.
    RDBHANDLE handle = g_pEnv->m_hRdb;
    g_pEnv->m_hRdb = 7777;
    log_.Clear();
    auto refused = [&](const QString& name, const QString& password, const QString& count, const std::string& message,
                       QLineEdit* focus) {
        boxes_.Clear();
        SetFields(name, password, count);
        QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, message);
        EXPECT_EQ(Dlg().focusWidget(), focus);
    };
    const std::string range = Ddx(res::kDdxIntRange, "0", "99999");
    refused(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("100000"), range, Dlg().m_editDistCount);
    refused(QStringLiteral("a"), QStringLiteral("b"), QString(), res::kDdxParseInt, Dlg().m_editDistCount);
    // Twenty bytes of name: ten syllables fit, eleven do not; ten bytes of password.
    refused(Hangul(11), QStringLiteral("b"), QStringLiteral("1"), Ddx(res::kDdxMaxChars, "20"), Dlg().m_editName);
    refused(Hangul(10) + QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("1"), Ddx(res::kDdxMaxChars, "20"),
            Dlg().m_editName);
    refused(Hangul(10), Hangul(6), QStringLiteral("1"), Ddx(res::kDdxMaxChars, "10"), Dlg().m_editPassword);
    refused(Hangul(10), Hangul(4) + QStringLiteral("abc"), QStringLiteral("1"), Ddx(res::kDdxMaxChars, "10"),
            Dlg().m_editPassword);
    refused(QString(), QStringLiteral("b"), QStringLiteral("1"), CDlgUserAgent::kMsgEnterName, Dlg().m_editName);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleInfo);
    EXPECT_EQ(boxes_.Shown()[0].type, platform::MB_OK | platform::MB_ICONINFORMATION);
    refused(QStringLiteral("a"), QString(), QStringLiteral("1"), CDlgUserAgent::kMsgEnterPassword,
            Dlg().m_editPassword);
    EXPECT_TRUE(log_.Lines().empty());

    // At the limits the fields pass and the duplicate test is asked; its failure is shown once
    // and says nothing about the name.
    boxes_.Clear();
    SetFields(Hangul(10), Hangul(4) + QStringLiteral("ab"), QStringLiteral("99999"));
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kTitleError);
    EXPECT_TRUE(log_.Lines().empty());
    g_pEnv->m_hRdb = handle;
    EXPECT_EQ(Stored("demo").size(), 2u);

    // And the same values are stored once the database answers.
    boxes_.Clear();
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    Rows stored = Stored("demo");
    ASSERT_EQ(stored.size(), 3u);
    const std::vector<std::string> added{Hangul(10).toStdString(), (Hangul(4) + QStringLiteral("ab")).toStdString(),
                                         "99999"};
    EXPECT_NE(std::find(stored.begin(), stored.end(), added), stored.end());
}

TEST_F(AgentDialogTest, ChangeWritesTheSelectedAgentOnly) {
    Open("demo");
    const Rows before = Stored("demo");
    const Rows otherBefore = Stored("other");
    ClickRow(1);
    log_.Clear();
    QTest::mouseClick(Dlg().m_btnChange, Qt::LeftButton);
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgChanged, res::kTitleConfirm, platform::MB_OK}});
    EXPECT_EQ(Stored("demo"), before);  // nothing edited: the same values written back
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{QueryLogLine("demo")});
    EXPECT_TRUE(Dlg().m_list->IsItemSelected(1));

    // Name edits are not written; the selected row changes, whatever the name field says.
    boxes_.Clear();
    SetFields(QString::fromStdString(before[0][0]), QStringLiteral("new"), QStringLiteral("7"));
    QTest::mouseClick(Dlg().m_btnChange, Qt::LeftButton);
    EXPECT_EQ(Stored("demo"), (Rows{before[0], {before[1][0], "new", "7"}}));
    EXPECT_EQ(Stored("other"), otherBefore);
    EXPECT_TRUE(Dlg().m_list->IsItemSelected(1));
    EXPECT_EQ(Dlg().m_editName->text().toStdString(), before[1][0]);

    // An empty password is asked for.
    boxes_.Clear();
    Dlg().m_editPassword->clear();
    QTest::mouseClick(Dlg().m_btnChange, Qt::LeftButton);
    ExpectBoxes({{nullptr, CDlgUserAgent::kMsgEnterPassword, res::kTitleInfo,
                  platform::MB_OK | platform::MB_ICONINFORMATION}});
    EXPECT_EQ(Dlg().focusWidget(), Dlg().m_editPassword);
}

TEST_F(AgentDialogTest, ChangeAndDeleteWaitForASelectionAndDeleteNamesTheSelectedAgent) {
    Open("demo");
    const Rows before = Stored("demo");
    // Nothing selected: nothing can be changed or deleted, whatever the fields hold.
    SetFields(QString::fromStdString(before[1][0]), QStringLiteral("x"), QStringLiteral("1"));
    EXPECT_TRUE(ButtonsDisabled());
    Dlg().OnButtonChange();
    Dlg().OnButtonDelete();
    EXPECT_TRUE(boxes_.Shown().empty());
    EXPECT_EQ(Stored("demo"), before);

    // The first agent selected, the second one's name typed in: the question names the first.
    ClickRow(0);
    Dlg().m_editName->setText(QString::fromStdString(before[1][0]));
    const std::string question = platform::StrFormat(CDlgUserAgent::kMsgAskDelete, before[0][0].c_str());
    boxes_.Answer(platform::IDNO);
    QTest::mouseClick(Dlg().m_btnDelete, Qt::LeftButton);
    ExpectBoxes({{Owner(), question, CDlgUserAgent::kTitleWarning, platform::MB_YESNO | platform::MB_ICONQUESTION}});
    EXPECT_EQ(Stored("demo"), before);

    boxes_.Clear();
    boxes_.Answer(platform::IDYES);
    QTest::mouseClick(Dlg().m_btnDelete, Qt::LeftButton);
    ExpectBoxes({{Owner(), question, CDlgUserAgent::kTitleWarning, platform::MB_YESNO | platform::MB_ICONQUESTION},
                 {Owner(), CDlgUserAgent::kMsgDeleted, res::kTitleConfirm, platform::MB_OK}});
    EXPECT_EQ(Stored("demo"), (Rows{before[1]}));
    ASSERT_EQ(Dlg().m_list->GetItemCount(), 1);
    EXPECT_EQ(Dlg().m_list->GetItemText(0, 0), "1");
    EXPECT_TRUE(ButtonsDisabled());
}

TEST_F(AgentDialogTest, QuotesInNamesAndPasswordsStayData) {
    Open("demo");
    log_.Clear();
    SetFields(QStringLiteral("O'Neil"), QStringLiteral("it's"), QStringLiteral("2"));
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    const std::string insert = sql::AgentInsertSql("demo", "O'Neil", "it's", 2);
    EXPECT_NE(insert.find("'O''Neil'"), std::string::npos);
    ASSERT_FALSE(log_.Lines().empty());
    EXPECT_EQ(log_.Lines()[0], SqlLogLine(sql::AgentInsertSql("demo", "O'Neil", CDlgUserAgent::kLogPasswordMask, 2)));
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgAdded, res::kTitleConfirm, platform::MB_OK}});
    int row = RowOf("O'Neil");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Dlg().m_list->GetItemText(row, CDlgUserAgent::COL_PASSWORD), "it's");
    // The list stays in name order.
    EXPECT_EQ(row, 0);

    boxes_.Clear();
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgAlreadyRegistered, res::kTitleConfirm,
                  platform::MB_OK | platform::MB_ICONERROR}});

    boxes_.Clear();
    ClickRow(RowOf("O'Neil"));
    QTest::mouseClick(Dlg().m_btnDelete, Qt::LeftButton);
    ASSERT_EQ(boxes_.Shown().size(), 2u);
    EXPECT_EQ(boxes_.Shown()[0].text, platform::StrFormat(CDlgUserAgent::kMsgAskDelete, "O'Neil"));
    EXPECT_EQ(Stored("demo").size(), 2u);
    EXPECT_EQ(RowOf("O'Neil"), -1);
}

// The log may be kept or shipped: passwords go to the database and nowhere else. The
// password is also part of the name, so a mask that replaced its text would show.
TEST_F(AgentDialogTest, PasswordsReachTheDatabaseButNotTheLog) {
    Open("dist2");  // no agents yet: the dialog has said so
    boxes_.Clear();
    log_.Clear();
    SetFields(QStringLiteral("zq7x-desk"), QStringLiteral("zq7x"), QStringLiteral("4"));
    QTest::mouseClick(Dlg().m_btnAdd, Qt::LeftButton);
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgAdded, res::kTitleConfirm, platform::MB_OK}});
    // What was sent is the template's statement, password and all.
    EXPECT_EQ(Stored("dist2"), (Rows{{"zq7x-desk", "zq7x", "4"}}));
    const std::string sent = sql::AgentInsertSql("dist2", "zq7x-desk", "zq7x", 4);
    EXPECT_EQ(sent, "insert into USER_AGENT_INFO ( USER_ID, AGENT_NM, PASSWORD, DIST_COUNT ) values "
                    "( 'dist2', 'zq7x-desk', 'zq7x', 4 ) ");
    ASSERT_EQ(log_.Lines().size(), 2u);
    const std::string masked = log_.Lines()[0];
    EXPECT_EQ(masked, SqlLogLine("insert into USER_AGENT_INFO ( USER_ID, AGENT_NM, PASSWORD, DIST_COUNT ) values "
                                 "( 'dist2', 'zq7x-desk', '" + std::string(CDlgUserAgent::kLogPasswordMask) +
                                 "', 4 ) "));
    EXPECT_EQ(masked.find("'zq7x'"), std::string::npos);

    // A change sends the new password and logs nothing that holds it.
    boxes_.Clear();
    log_.Clear();
    ClickRow(0);
    Dlg().m_editPassword->setText(QStringLiteral("vw9k"));
    QTest::mouseClick(Dlg().m_btnChange, Qt::LeftButton);
    ExpectBoxes({{Owner(), CDlgUserAgent::kMsgChanged, res::kTitleConfirm, platform::MB_OK}});
    EXPECT_EQ(Stored("dist2"), (Rows{{"zq7x-desk", "vw9k", "4"}}));
    ASSERT_FALSE(log_.Lines().empty());
    for (const std::string& line : log_.Lines()) {
        EXPECT_EQ(line.find("vw9k"), std::string::npos) << line;
        EXPECT_EQ(line.find("'zq7x'"), std::string::npos) << line;
    }
}

TEST_F(AgentDialogTest, EnterIsTheFrameworksOk) {
    session_ = std::make_unique<EnvSession>(address_, "demo");
    CDlgUserAgent dialog;
    bool stayedOpen = false;
    WhenModal<CDlgUserAgent>([&](CDlgUserAgent* dlg) {
        dlg->m_editDistCount->clear();
        dlg->m_editName->setFocus();
        QTest::keyClick(dlg->m_editName, Qt::Key_Return);
        stayedOpen = dlg->isVisible();
        dlg->m_editDistCount->setText(QStringLiteral("3"));
        QTest::keyClick(dlg->m_editDistCount, Qt::Key_Return);
        if (dlg->isVisible()) dlg->reject();
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, res::kDdxParseInt);
    EXPECT_EQ(dialog.m_nDistCount, 3);
    EXPECT_EQ(Stored("demo").size(), 2u);
}

}  // namespace
