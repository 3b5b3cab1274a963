// Which commands the person logged in may use.
#include <gtest/gtest.h>

#include "app/Permissions.h"
#include "platform/MessageBox.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/ScriptedMessages.h"

namespace {

MenuPermissions PermissionsOf(const std::string& userId, const std::string& agentName) {
    EnvSession session(FixtureAddress(), userId, agentName);
    MenuPermissions flags;
    SetLoginPermissions(session.Env(), flags);
    return flags;
}

TEST(Permissions, UserWithDistributionOneGetsEverything) {
    platform::ScriptedMessages boxes;
    MenuPermissions flags = PermissionsOf("demo", "");
    EXPECT_FALSE(flags.callbackViewOpen);
    EXPECT_FALSE(flags.denyViewOpen);
    EXPECT_FALSE(flags.agentMgmtDisabled);
    EXPECT_FALSE(flags.distStatusDisabled);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST(Permissions, AgentGetsNeitherAdministrationNorOptOuts) {
    MenuPermissions flags = PermissionsOf("demo", FixtureAgent("1234"));
    EXPECT_FALSE(flags.callbackViewOpen);
    EXPECT_TRUE(flags.denyViewOpen);
    EXPECT_TRUE(flags.agentMgmtDisabled);
    EXPECT_TRUE(flags.distStatusDisabled);
}

TEST(Permissions, UserWithOnlyAnnouncementServicesGetsNoCallbackView) {
    MenuPermissions flags = PermissionsOf("only3", "");
    EXPECT_TRUE(flags.callbackViewOpen);
    EXPECT_FALSE(flags.denyViewOpen);
    // No service of type 1 or 2: the largest distribution switch is 0, not 1.
    EXPECT_TRUE(flags.agentMgmtDisabled);
    EXPECT_TRUE(flags.distStatusDisabled);
}

TEST(Permissions, UserWhoseLargestDistributionIsNotOneGetsNoAdministration) {
    MenuPermissions flags = PermissionsOf("dist2", "");
    EXPECT_FALSE(flags.callbackViewOpen);
    EXPECT_FALSE(flags.denyViewOpen);
    EXPECT_TRUE(flags.agentMgmtDisabled);
    EXPECT_TRUE(flags.distStatusDisabled);
}

TEST(Permissions, FailedServiceLookupKeepsTheCallbackViewClosed) {
    platform::ScriptedMessages boxes;
    EnvSession session("file:/nonexistent-folder/none.db", "demo", "");
    MenuPermissions flags;
    SetLoginPermissions(session.Env(), flags);
    EXPECT_TRUE(flags.callbackViewOpen);
    EXPECT_TRUE(flags.agentMgmtDisabled);
    EXPECT_FALSE(boxes.Shown().empty());  // the database error was shown
}

TEST(Permissions, ServiceTypesAreNotCountedTwice) {
    EnvSession session(FixtureAddress(), "demo", "");
    MenuPermissions flags;
    SetLoginPermissions(session.Env(), flags);
    SetLoginPermissions(session.Env(), flags);
    EXPECT_EQ(session.Env().m_nSvcTypeCount, 2);
    EXPECT_EQ(session.Env().m_nSvcTypes.size(), 2u);
}

}  // namespace
