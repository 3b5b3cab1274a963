// The login decision, apart from any window: who the login ID names, whether that user or
// agent exists, whether the password matches. Fills the environment's user fields and
// remembers an accepted login ID in the profile.
#pragma once

#include <string>

class CKestrimEnv;

// "agent@user" names an agent of a user; anything else (no '@', or '@' first) is a user ID.
void SplitLoginId(const std::string& loginId, std::string& agentName, std::string& userId);

enum class LoginResult { Accepted, NotRegistered, WrongPassword };

// Splits loginId into env's agent name and user ID, looks the person up and compares the
// password byte for byte. Shows the failure boxes itself (the wrong-password box owned by
// owner). On success env holds user ID, user name and agent name and the profile holds
// loginId as the last login ID.
LoginResult CheckLogin(CKestrimEnv& env, const std::string& loginId, const std::string& password,
                       const void* owner);

// The last accepted login ID ("" when none).
std::string LastLoginId();
