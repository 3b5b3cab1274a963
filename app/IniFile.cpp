#include "app/IniFile.h"

#include "platform/PrivateProfile.h"

CIniFile::CIniFile(const std::string& path, const std::string& section)
    : m_strPath(path), m_strSection(section) {}

bool CIniFile::ReadString(std::string& value, const std::string& key) const {
    value = platform::GetPrivateProfileString(m_strSection, key, "", m_strPath);
    return !value.empty();
}

bool CIniFile::WriteString(const std::string& value, const std::string& key) const {
    return platform::WritePrivateProfileString(m_strSection, key, value, m_strPath);
}
