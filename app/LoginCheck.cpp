#include "app/LoginCheck.h"

#include <vector>

#include "data/KestrimEnv.h"
#include "data/Queries.h"
#include "platform/MessageBox.h"
#include "platform/qt/ProfileStore.h"
#include "res/Strings.h"

void SplitLoginId(const std::string& loginId, std::string& agentName, std::string& userId) {
    size_t at = loginId.find('@');
    if (at != std::string::npos && at > 0) {
        agentName = loginId.substr(0, at);
        userId = loginId.substr(at + 1);
    } else {
        agentName.clear();
        userId = loginId;
    }
}

LoginResult CheckLogin(CKestrimEnv& env, const std::string& loginId, const std::string& password,
                       const void* owner) {
    SplitLoginId(loginId, env.m_strAgentName, env.m_strUserId);
    std::vector<std::string> row;
    if (env.GetFirstRecord(row, sql::LoginSql(env.m_strUserId, env.m_strAgentName)) != 1) {
        env.MsgInfo("%s", res::kMsgUnregisteredUser);
        return LoginResult::NotRegistered;
    }
    // Columns: user ID as stored, user name, agent name (unused: the typed one stays), password.
    env.m_strUserId = row.size() > 0 ? row[0] : std::string();
    env.m_strUserName = row.size() > 1 ? row[1] : std::string();
    std::string stored = row.size() > 3 ? row[3] : std::string();
    if (password != stored) {
        platform::ShowMessageBox(owner, res::kMsgWrongPassword, res::kTitleError,
                                 platform::MB_OK | platform::MB_ICONERROR);
        return LoginResult::WrongPassword;
    }
    platform::ProfileStore::WriteProfileString(res::kProfileSectionLogin, res::kProfileLastLoginId, loginId);
    return LoginResult::Accepted;
}

std::string LastLoginId() {
    return platform::ProfileStore::GetProfileString(res::kProfileSectionLogin, res::kProfileLastLoginId, "");
}
