// The per-user profile: values kept by section and key under a root and an application name
// (QSettings in the user's configuration folder). Section and key names match without regard
// to case, as the profile always did; a write keeps the spelling already stored.
#pragma once

#include <string>

namespace platform {

class ProfileStore {
public:
    // Where the values live; set once at start-up.
    static void SetRegistryKey(const std::string& root);
    static void SetProfileName(const std::string& application);

    static std::string GetProfileString(const std::string& section, const std::string& key,
                                        const std::string& defaultValue);
    static bool WriteProfileString(const std::string& section, const std::string& key,
                                   const std::string& value);
    // The leading decimal digits of the stored text; defaultValue when the key is missing.
    static int GetProfileInt(const std::string& section, const std::string& key, int defaultValue);
    static bool WriteProfileInt(const std::string& section, const std::string& key, int value);

    // Moves the values kept under another root and application name (where earlier versions
    // kept them) into the current profile, once: only while the current profile holds no
    // value at all. The old file stays as it was. Returns the number of values copied.
    static int ImportProfile(const std::string& root, const std::string& application);
    // The file of the current profile.
    static std::string ProfileFileName();
};

}  // namespace platform
