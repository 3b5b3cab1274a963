#include "platform/PrivateProfile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace platform {

namespace {

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "[name]" → name; anything else → not a section header.
bool SectionHeader(std::string_view line, std::string_view* name) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    *name = line.substr(1, close - 1);
    return true;
}

// "key=value" → key, value; comment lines and lines without '=' give false.
bool KeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return false;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
    return true;
}

struct FileLines {
    std::vector<std::string> lines;  // without line ends
    bool crlf = false;
    bool exists = false;
};

FileLines ReadLines(const std::string& path) {
    FileLines out;
    std::ifstream in(path, std::ios::binary);
    if (!in) return out;
    out.exists = true;
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    out.crlf = text.find("\r\n") != std::string::npos;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.lines.push_back(std::move(line));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return out;
}

}  // namespace

std::string NormalizeProfilePath(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& path) {
    FileLines file = ReadLines(NormalizeProfilePath(path));
    bool inSection = false;
    for (const std::string& line : file.lines) {
        std::string_view name;
        if (SectionHeader(line, &name)) {
            inSection = SameName(name, section);
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (KeyLine(line, &k, &v) && SameName(k, key)) {
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
    }
    return defaultValue;
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path) {
    const std::string file = NormalizeProfilePath(path);
    FileLines content = ReadLines(file);
    std::vector<std::string>& lines = content.lines;
    const std::string entry = key + "=" + value;

    bool inSection = false;
    bool sectionFound = false;
    size_t insertAt = lines.size();
    bool written = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionHeader(lines[i], &name)) {
            if (inSection) break;  // end of our section: insert below its last entry
            inSection = SameName(name, section);
            if (inSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (KeyLine(lines[i], &k, &v) && SameName(k, key)) {
            lines[i] = entry;
            written = true;
            break;
        }
        if (!Trim(lines[i]).empty()) insertAt = i + 1;
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }

    const char* eol = content.crlf ? "\r\n" : "\n";
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += eol;
    }
    // Write beside the file and rename, so a crash never leaves half a settings file.
    const std::string temp = file + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
