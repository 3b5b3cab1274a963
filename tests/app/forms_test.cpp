// The forms and dialogs as laid out: every control of form 102 where its template puts it,
// the set-up of both views and of the administration dialogs, and their field rules.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

#include "agents/DlgQueryCallbackDist.h"
#include "agents/DlgUserAgent.h"
#include "app/DlgAbout.h"
#include "callcheck/CallCheckView.h"
#include "controls/ColorLabel.h"
#include "controls/ComboBox.h"
#include "controls/FlatButton.h"
#include "controls/ListCtrl.h"
#include "optout/DenyView.h"
#include "platform/MessageBox.h"
#include "platform/qt/ProfileStore.h"
#include "res/Columns.h"
#include "res/Dialogs.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/ScriptedMessages.h"

namespace {

TEST(Form102, EveryControlAtItsPositionWithItsCaption) {
    CCallCheckView view;
    const platform::DialogUnits units(CFormBuilder::FormFont());
    // The form font's units are those the form was designed with.
    EXPECT_EQ(units.BaseX(), 6);
    EXPECT_EQ(units.BaseY(), 12);
    EXPECT_EQ(view.FormSize(), QSize(993, 594));
    for (const DlgItem& item : res::kForm102Items) {
        if (item.id == -1) continue;
        SCOPED_TRACE(item.id);
        QWidget* control = view.GetDlgItem(item.id);
        ASSERT_NE(control, nullptr);
        QRect expected = units.MapDialogRect(item.x, item.y, item.cx, item.cy);
        if (item.kind == DlgItemKind::ComboDropList) {
            // The template gives the open list's height; the closed box is one line.
            EXPECT_EQ(control->geometry().topLeft(), expected.topLeft());
            EXPECT_EQ(control->width(), expected.width());
            EXPECT_LT(control->height(), expected.height());
        } else {
            EXPECT_EQ(control->geometry(), expected);
        }
        if (item.text != nullptr) {
            QString caption = QString::fromUtf8(item.text);
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                EXPECT_EQ(button->text(), caption);
            }
            if (auto* label = qobject_cast<QLabel*>(control)) {
                EXPECT_EQ(label->text(), caption);
            }
        }
    }
    EXPECT_EQ(view.m_list->geometry(), QRect(8, 120, 976, 438));
    EXPECT_TRUE(view.m_btn[CCallCheckView::BTN_QUERY_ALL_LIST]->isHidden());
    // Multiple selection in the list, and the group box behind the service controls.
    EXPECT_EQ(view.m_list->selectionMode(), QAbstractItemView::ExtendedSelection);
    auto* group = view.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(view.children().indexOf(group), view.children().indexOf(view.findChildren<QWidget*>().first()));
}

class ViewSetup : public ::testing::Test {
protected:
    EnvSession session_{FixtureAddress(), "demo", ""};
    platform::ScriptedMessages boxes_;
};

TEST_F(ViewSetup, CallbackViewStartsWithItsColoursSwitchesAndThreshold) {
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAlarmCount, "12x");
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAutoQuery, "1");
    CCallCheckView view;
    view.OnInitialUpdate();
    EXPECT_EQ(view.m_dateFrom->date(), QDate::currentDate());
    EXPECT_EQ(view.m_dateTo->date(), QDate::currentDate());
    EXPECT_FALSE(view.m_btn[CCallCheckView::BTN_AUTO_STOP]->isEnabled());
    EXPECT_FALSE(view.m_btn[CCallCheckView::BTN_CALLBACK_RATE]->isHidden());
    for (CColorLabel* label : {view.m_lblNewCountCaption, view.m_lblNewCount}) {
        EXPECT_EQ(label->GetTextColor(), QColor(245, 245, 245));
        EXPECT_EQ(label->GetBkColor(), QColor(0, 139, 139));
    }
    for (CFlatButton* button : view.m_btn) {
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_BK_INACTIVE), QColor(245, 245, 220));
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_BK_ACTIVE), QColor(0, 0, 255));
        EXPECT_EQ(button->GetColor(CFlatButton::COLOR_FG_ACTIVE), QColor(255, 255, 255));
    }
    // The threshold's text as stored, its value from the leading digits.
    EXPECT_EQ(view.m_editAlarmCount->text(), QStringLiteral("12x"));
    EXPECT_EQ(view.m_nAlarmCount, 12);
    EXPECT_TRUE(view.m_chkAutoQuery->isChecked());
    EXPECT_FALSE(view.m_chkAutoPrint->isChecked());
    EXPECT_EQ(view.m_lblNewCount->text(), QStringLiteral("0"));
    // The up-down steps the buddy's number.
    QTest::keyClick(view.m_editAlarmCount, Qt::Key_Up);
    EXPECT_EQ(view.m_editAlarmCount->text(), QStringLiteral("13"));
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAlarmCount, "5");
    platform::ProfileStore::WriteProfileString(res::kProfileSectionOrvanta, res::kProfileAutoQuery, "0");
}

TEST_F(ViewSetup, AgentsDoNotSeeTheCallbackRateButton) {
    g_pEnv->m_strAgentName = FixtureAgent("1234");
    CCallCheckView view;
    view.OnInitialUpdate();
    EXPECT_TRUE(view.m_btn[CCallCheckView::BTN_CALLBACK_RATE]->isHidden());
}

TEST_F(ViewSetup, OptOutViewStartsWithAllServicesAndToday) {
    CDenyView view;
    view.OnInitialUpdate();
    EXPECT_EQ(view.m_comboService->GetCount(), 1);
    EXPECT_EQ(view.m_comboService->GetCurSel(), 0);
    EXPECT_EQ(g_pEnv->GetComboSelServiceId(view.m_comboService), "99999999");
    EXPECT_EQ(view.m_comboService->GetLBText(0), res::kDenyAllServicesItem);
    EXPECT_EQ(view.m_dateFrom->date(), QDate::currentDate());
    EXPECT_EQ(view.m_dateTo->date(), QDate::currentDate());
    ASSERT_EQ(view.m_list->GetColumnCount(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(view.m_list->GetColumnHeading(i), res::kColumns158[i].heading);
        EXPECT_EQ(view.m_list->GetColumnWidth(i), res::kColumns158[i].width);
    }
    EXPECT_EQ(view.m_list->GetExtendedStyle() & LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    EXPECT_EQ(view.m_list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view.m_btnSaveFile->GetColor(CFlatButton::COLOR_BK_INACTIVE), QColor(245, 245, 220));
}

// Clicks the picker's text between characters position - 1 and position, as a user points
// into a part of the date.
void ClickAt(QDateEdit* date, int position) {
    auto* edit = date->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    for (int x = 0; x < edit->width(); ++x) {
        const QPoint point(x, edit->height() / 2);
        if (edit->cursorPositionAt(point) == position) {
            QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, point);
            return;
        }
    }
    FAIL() << "no point of the text at position " << position;
}

// Both views' period pickers and the distribution dialog's: digits typed after a click go
// into the part clicked, whichever part that is, and again after a second click into the
// part that is already chosen.
TEST_F(ViewSetup, ClickingAPartOfADateAndTypingReplacesThatPart) {
    CCallCheckView callbacks;
    callbacks.OnInitialUpdate();
    CDenyView optOut;
    optOut.OnInitialUpdate();
    CDlgQueryCallbackDist dist;
    const std::vector<QDateEdit*> pickers = {callbacks.m_dateFrom, callbacks.m_dateTo, optOut.m_dateFrom,
                                             dist.findChildren<QDateEdit*>().value(0)};
    for (QDateEdit* date : pickers) {
        ASSERT_NE(date, nullptr);
        QWidget* window = date->window();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        date->setDate(QDate(2026, 12, 9));  // shown as 2026-12-09
        ClickAt(date, 9);                   // inside the day
        QTest::keyClicks(date, QStringLiteral("15"));
        EXPECT_EQ(date->date(), QDate(2026, 12, 15));
        ClickAt(date, 6);  // inside the month
        QTest::keyClicks(date, QStringLiteral("03"));
        EXPECT_EQ(date->date(), QDate(2026, 3, 15));
        ClickAt(date, 2);  // inside the year
        QTest::keyClicks(date, QStringLiteral("2025"));
        EXPECT_EQ(date->date(), QDate(2025, 3, 15));
        ClickAt(date, 9);
        ClickAt(date, 9);  // the day is chosen already: the second click keeps it chosen
        QTest::keyClicks(date, QStringLiteral("07"));
        EXPECT_EQ(date->date(), QDate(2025, 3, 7));
        window->hide();
    }
}

TEST_F(ViewSetup, AgentDialogHasItsColumnsAndFieldRules) {
    CDlgUserAgent dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle().toStdString(), res::kDialog134.caption);
    ASSERT_EQ(dialog.m_list->GetColumnCount(), 5);
    EXPECT_EQ(dialog.m_list->GetColumnWidth(1), 0);  // SEQ_NO, hidden
    EXPECT_EQ(dialog.m_list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(dialog.m_editSeqNo->isHidden());
    EXPECT_TRUE(dialog.m_btnQuery->isHidden());
    EXPECT_EQ(dialog.m_editPassword->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(dialog.m_editDistCount->text(), QStringLiteral("0"));

    auto expectRefused = [&](const QString& count, const std::string& message, QLineEdit* focus) {
        boxes_.Clear();
        dialog.m_editDistCount->setText(count);
        EXPECT_FALSE(dialog.UpdateData(true));
        ASSERT_EQ(boxes_.Shown().size(), 1u);
        EXPECT_EQ(boxes_.Shown()[0].text, message);
        EXPECT_EQ(boxes_.Shown()[0].type & platform::MB_ICONMASK, platform::MB_ICONEXCLAMATION);
        EXPECT_EQ(dialog.focusWidget(), focus);
    };
    std::string range = res::kDdxIntRange;
    range.replace(range.find("%1"), 2, "0");
    range.replace(range.find("%2"), 2, "99999");
    expectRefused(QStringLiteral("100000"), range, dialog.m_editDistCount);
    expectRefused(QStringLiteral("-1"), range, dialog.m_editDistCount);
    expectRefused(QString(), res::kDdxParseInt, dialog.m_editDistCount);
    expectRefused(QStringLiteral("12ab"), res::kDdxParseInt, dialog.m_editDistCount);

    // Names count bytes: ten syllables fit, eleven do not (text put in past the edit's limit).
    boxes_.Clear();
    dialog.m_editDistCount->setText(QStringLiteral("99999"));
    dialog.m_editName->setText(QString(QChar(0xAC00)).repeated(10));
    EXPECT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_nDistCount, 99999);
    dialog.m_editName->setText(QString(QChar(0xAC00)).repeated(11));
    EXPECT_FALSE(dialog.UpdateData(true));
    std::string tooLong = res::kDdxMaxChars;
    tooLong.replace(tooLong.find("%1"), 2, "20");
    ASSERT_EQ(boxes_.Shown().size(), 1u);
    EXPECT_EQ(boxes_.Shown()[0].text, tooLong);
    EXPECT_EQ(boxes_.Shown()[0].caption, res::kAppTitle);
    // Typing stops at the limit.
    dialog.m_editPassword->clear();
    QTest::keyClicks(dialog.m_editPassword, QStringLiteral("0123456789abc"));
    EXPECT_EQ(dialog.m_editPassword->text(), QStringLiteral("0123456789"));
    dialog.reject();
}

TEST_F(ViewSetup, DistributionDialogStartsEmptyWithToday) {
    CDlgQueryCallbackDist dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle().toStdString(), res::kDialog135.caption);
    EXPECT_EQ(dialog.m_dateFrom->date(), QDate::currentDate());
    EXPECT_EQ(dialog.m_dateTo->date(), QDate::currentDate());
    EXPECT_EQ(dialog.m_list->GetItemCount(), 0);
    ASSERT_EQ(dialog.m_list->GetColumnCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.m_list->GetColumnHeading(i), res::kColumns135[i].heading);
    EXPECT_TRUE(dialog.m_btnQuery->isDefault());
    dialog.reject();
}

TEST(AboutBox, CaptionCarriesTheBuildDateAndTime) {
    std::string expected = res::kAboutCaptionFormat;
    expected.replace(expected.find("%s-%s"), 5, "Dec  8 2026-09:05:01");
    EXPECT_EQ(CDlgAbout::Caption("Dec  8 2026", "09:05:01"), expected);
    CDlgAbout about;
    about.show();
    // Month, day padded with a blank, year; then the time.
    QString pattern = QRegularExpression::escape(QString::fromStdString(expected.substr(0, expected.find("Dec")))) +
                      QStringLiteral("[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}-[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\)");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$")).match(about.windowTitle()).hasMatch())
        << about.windowTitle().toStdString();
    about.reject();
}

}  // namespace
