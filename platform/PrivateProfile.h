// Settings files in the INI form with the behaviour the program's settings always had:
// section and key names match without regard to case or surrounding blanks, values are
// trimmed and lose one pair of surrounding quotes, a write creates the file and the section
// when missing and keeps every other line (comments included) as it was.
// A path may use backslashes: ".\Env\Orvanta.INI" and "./Env/Orvanta.INI" are the same file.
#pragma once

#include <string>

namespace platform {

std::string NormalizeProfilePath(const std::string& path);

// The value of key in section, or defaultValue when the file, section or key is missing.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path);

// Writes key=value into section. Returns false when the file cannot be written (a missing
// folder is not created).
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

}  // namespace platform
