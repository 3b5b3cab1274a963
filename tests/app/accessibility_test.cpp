// Screen readers and UI automation find every control of every form and dialog by a name:
// its caption, or the text of the label in front of it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <map>
#include <memory>

#include "agents/DlgQueryCallbackDist.h"
#include "agents/DlgUserAgent.h"
#include "app/DlgAbout.h"
#include "app/DlgLogin.h"
#include "app/DlgServerAddr.h"
#include "app/OrvantaView.h"
#include "callcheck/CallCheckView.h"
#include "callcheck/DlgManualDist.h"
#include "callcheck/DlgMemo.h"
#include "optout/DenyView.h"
#include "platform/MessageBox.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/ScriptedMessages.h"

namespace {

// Every control below window is a child of its accessible object and has a name; buttons
// inside composite controls (the arrows of an up-down) too. Returns the names by object name.
std::map<QString, QString> NamesOf(QWidget* window) {
    std::map<QString, QString> names;
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window);
    EXPECT_NE(root, nullptr);
    if (root == nullptr) return names;
    for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // Texts say themselves; a frame and the icon are not controls.
        if (qobject_cast<QLabel*>(control) != nullptr || qobject_cast<QGroupBox*>(control) != nullptr) continue;
        SCOPED_TRACE(control->objectName().toStdString() + " " + control->metaObject()->className());
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
        EXPECT_NE(iface, nullptr);
        if (iface == nullptr) continue;
        EXPECT_GE(root->indexOfChild(iface), 0);
        const QString name = iface->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty());
        names[control->objectName()] = name;
        for (int i = 0; i < iface->childCount(); ++i) {
            QAccessibleInterface* child = iface->child(i);
            if (child != nullptr && child->role() == QAccessible::Button) {
                EXPECT_FALSE(child->text(QAccessible::Name).isEmpty()) << "child " << i;
            }
        }
    }
    return names;
}

QString U(const char* text) { return QString::fromUtf8(text); }

class Accessibility : public ::testing::Test {
protected:
    EnvSession session_{FixtureAddress(), "demo", ""};
    platform::ScriptedMessages boxes_;
};

TEST_F(Accessibility, EveryFormAndDialogNamesEveryControl) {
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.emplace_back(new COrvantaView);
    windows.emplace_back(new CCallCheckView);
    windows.emplace_back(new CDenyView);
    windows.emplace_back(new CDlgAbout);
    windows.emplace_back(new CDlgLogin);
    windows.emplace_back(new CDlgServerAddr);
    windows.emplace_back(new CDlgUserAgent);
    windows.emplace_back(new CDlgQueryCallbackDist);
    windows.emplace_back(new CDlgMemo);
    windows.emplace_back(new CDlgManualDist);
    for (const auto& window : windows) {
        SCOPED_TRACE(window->metaObject()->className());
        NamesOf(window.get());
    }
}

// Labels to the left name their fields; the two pickers of a period are its start and end;
// a list without a label takes its window's title.
TEST_F(Accessibility, FieldsTakeTheTextOfTheirLabel) {
    CCallCheckView view;
    auto names = NamesOf(&view);
    EXPECT_EQ(names["ctl1021"], U("서비스 ID"));
    EXPECT_EQ(names["ctl1018"], U("검색 기간 시작일"));
    EXPECT_EQ(names["ctl1019"], U("검색 기간 종료일"));
    EXPECT_EQ(names["ctl1026"], U("소리 알림 자료수"));
    EXPECT_EQ(names["ctl1427"], U("소리 알림 자료수"));
    EXPECT_EQ(names["ctl1006"], U("상담요청 자료 조회"));
    EXPECT_EQ(names["ctl1017"], U("처리 리스트"));
    EXPECT_EQ(names["ctl1020"], U("미처리건 자동조회"));

    CDlgUserAgent agents;
    names = NamesOf(&agents);
    EXPECT_EQ(names["ctl1009"], U("상담원이름"));
    EXPECT_EQ(names["ctl1045"], U("비밀 번호"));  // runs of blanks read as one
    EXPECT_EQ(names["ctl1046"], U("최대 분배건수"));
    EXPECT_EQ(names["ctl1006"], U("상담원 관리"));

    CDlgMemo memo;  // its memo edit is made apart from the template
    names = NamesOf(&memo);
    EXPECT_EQ(names["ctl1001"], U("메모"));
    EXPECT_EQ(names["ctl1003"], U("전화 번호"));

    CDlgLogin login;
    names = NamesOf(&login);
    EXPECT_EQ(names["ctl1346"], U("사용자ID"));
    EXPECT_EQ(names["ctl1045"], U("비밀번호"));
}

}  // namespace
