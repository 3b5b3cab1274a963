// Reads and writes one section of a settings file.
#pragma once

#include <string>

class CIniFile {
public:
    CIniFile(const std::string& path, const std::string& section);

    // TRUE with the value when the key holds a non-empty value; otherwise value = "" and
    // FALSE.
    bool ReadString(std::string& value, const std::string& key) const;

    // TRUE when the file was written.
    bool WriteString(const std::string& value, const std::string& key) const;

private:
    std::string m_strPath;
    std::string m_strSection;
};
