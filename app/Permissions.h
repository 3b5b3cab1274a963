// Which menu commands the person who just logged in may use. Each flag disables its command
// while set; the two view flags are also set while their view is open.
#pragma once

class CKestrimEnv;

struct MenuPermissions {
    bool callbackViewOpen = false;    // callback-request view (open, or not permitted)
    bool denyViewOpen = false;        // opt-out view (open, or not permitted)
    bool agentMgmtDisabled = false;   // agent management
    bool distStatusDisabled = false;  // distribution status
};

// Agents get neither administration nor the opt-out view; a user gets the administration
// only when the largest distribution switch of its services is exactly 1; the callback view
// needs a service of type 1 or 2. Loads env's service types (failures are shown there).
void SetLoginPermissions(CKestrimEnv& env, MenuPermissions& flags);
