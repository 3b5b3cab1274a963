#include "tests/export/WorkbookFile.h"

#include <cstdio>
#include <fstream>
#include <regex>

namespace {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string Unescape(const std::string& text) {
    static const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    std::string result = text;
    for (const auto& [entity, plain] : entities) {
        for (size_t at = result.find(entity); at != std::string::npos; at = result.find(entity, at + 1)) {
            result.replace(at, std::char_traits<char>::length(entity), plain);
        }
    }
    return result;
}

std::string Attribute(const std::string& attributes, const std::string& name) {
    const std::regex pattern("\\b" + name + "=\"([^\"]*)\"");
    std::smatch match;
    return std::regex_search(attributes, match, pattern) ? match[1].str() : std::string();
}

template <class F>
void ForEach(const std::string& text, const std::regex& pattern, F f) {
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) f(*it);
}

}  // namespace

std::string UnzipMember(const std::string& archive, const std::string& member) {
    const std::string command = "unzip -p " + ShellQuote(archive) + " " + ShellQuote(member) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    std::string output;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
    return output;
}

bool WorkbookFile::Load(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    zip = in.gcount() == 4 && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
    if (!zip) {
        error = "not a zip archive: " + path;
        return false;
    }
    const std::string sheet = UnzipMember(path, "xl/worksheets/sheet1.xml");
    const std::string strings = UnzipMember(path, "xl/sharedStrings.xml");
    const std::string styles = UnzipMember(path, "xl/styles.xml");
    if (sheet.empty() || styles.empty()) {
        error = "no sheet or no styles in " + path;
        return false;
    }

    std::vector<std::string> shared;
    ForEach(strings, std::regex("<si>([\\s\\S]*?)</si>"), [&](const std::smatch& si) {
        std::string text;
        const std::string inner = si[1].str();
        ForEach(inner, std::regex("<t[^>]*>([\\s\\S]*?)</t>"), [&](const std::smatch& t) { text += t[1].str(); });
        shared.push_back(Unescape(text));
    });

    struct Font {
        bool bold = false;
        double size = 0;
    };
    std::vector<Font> fonts;
    std::smatch block;
    if (std::regex_search(styles, block, std::regex("<fonts[^>]*>([\\s\\S]*?)</fonts>"))) {
        const std::string inner = block[1].str();
        ForEach(inner, std::regex("<font>([\\s\\S]*?)</font>"), [&](const std::smatch& f) {
            const std::string body = f[1].str();
            std::smatch sz;
            Font font;
            font.bold = body.find("<b/>") != std::string::npos;
            if (std::regex_search(body, sz, std::regex("<sz val=\"([0-9.]+)\""))) font.size = std::stod(sz[1].str());
            fonts.push_back(font);
        });
    }
    struct Xf {
        int numFmtId = 0;
        int fontId = 0;
        std::string align;
    };
    std::vector<Xf> xfs;
    if (std::regex_search(styles, block, std::regex("<cellXfs[^>]*>([\\s\\S]*?)</cellXfs>"))) {
        const std::string inner = block[1].str();
        ForEach(inner, std::regex("<xf ([^>]*?)(/>|>([\\s\\S]*?)</xf>)"), [&](const std::smatch& x) {
            Xf xf;
            const std::string attributes = x[1].str();
            xf.numFmtId = std::atoi(Attribute(attributes, "numFmtId").c_str());
            xf.fontId = std::atoi(Attribute(attributes, "fontId").c_str());
            xf.align = Attribute(x[3].str(), "horizontal");
            xfs.push_back(xf);
        });
    }

    ForEach(sheet, std::regex("<c r=\"([A-Z]+[0-9]+)\"([^>]*?)(/>|>([\\s\\S]*?)</c>)"), [&](const std::smatch& c) {
        SheetCell cell;
        const std::string attributes = c[2].str();
        const std::string s = Attribute(attributes, "s");
        const size_t style = s.empty() ? 0 : static_cast<size_t>(std::stoi(s));
        if (style < xfs.size()) {
            cell.numFmtId = xfs[style].numFmtId;
            cell.align = xfs[style].align;
            const size_t font = static_cast<size_t>(xfs[style].fontId);
            if (font < fonts.size()) {
                cell.bold = fonts[font].bold;
                cell.size = fonts[font].size;
            }
        }
        std::smatch v;
        const std::string body = c[4].str();
        if (Attribute(attributes, "t") == "s" && std::regex_search(body, v, std::regex("<v>([0-9]+)</v>"))) {
            const size_t index = static_cast<size_t>(std::stoul(v[1].str()));
            cell.shared = true;
            cell.text = index < shared.size() ? shared[index] : "?";
        }
        cells[c[1].str()] = cell;
    });
    ForEach(sheet, std::regex("<mergeCell ref=\"([^\"]+)\"/>"), [&](const std::smatch& m) { merges.push_back(m[1].str()); });
    ForEach(sheet, std::regex("<col ([^>]*)/>"), [&](const std::smatch& col) {
        const std::string attributes = col[1].str();
        const int min = std::atoi(Attribute(attributes, "min").c_str());
        const int max = std::atoi(Attribute(attributes, "max").c_str());
        for (int i = min; i <= max; ++i) widths[i] = std::stod(Attribute(attributes, "width"));
    });
    return true;
}

std::string WorkbookFile::Text(const std::string& ref) const {
    auto it = cells.find(ref);
    return it == cells.end() ? std::string() : it->second.text;
}
