#include "app/Permissions.h"

#include "data/KestrimEnv.h"

void SetLoginPermissions(CKestrimEnv& env, MenuPermissions& flags) {
    bool agent = !env.m_strAgentName.empty();
    if (agent || env.GetMaxCallbackDist() != 1) {
        flags.agentMgmtDisabled = true;
        flags.distStatusDisabled = true;
    }
    if (agent) flags.denyViewOpen = true;

    flags.callbackViewOpen = true;
    // The types are loaded once per login; start from none so that a second load in the
    // same process does not count earlier rows.
    env.m_nSvcTypes.clear();
    env.m_nSvcTypeCount = 0;
    if (env.LoadServiceTypes()) {
        for (int type : env.m_nSvcTypes) {
            if (type == 1 || type == 2) flags.callbackViewOpen = false;
        }
    }
}
