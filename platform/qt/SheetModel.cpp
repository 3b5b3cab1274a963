#include "platform/qt/SheetModel.h"

#include <algorithm>
#include <cmath>

namespace platform::spreadsheet {

namespace {

// Characters shown at double width in East Asian fonts: Hangul, CJK, full-width forms.
bool IsWide(uint32_t cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
           (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xA960 && cp <= 0xA97F) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) ||
           (cp >= 0x20000 && cp <= 0x3FFFD);
}

// Decodes one character at text[i] and advances i; malformed bytes count as one character.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (i + len > text.size()) len = 1;
    uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            len = 1;
            cp = c;
            break;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += len;
    return cp;
}

}  // namespace

Cell& SheetModel::At(int row, int col) {
    if (rows.size() <= static_cast<size_t>(row)) rows.resize(static_cast<size_t>(row) + 1);
    std::vector<Cell>& cells = rows[static_cast<size_t>(row)];
    if (cells.size() <= static_cast<size_t>(col)) cells.resize(static_cast<size_t>(col) + 1);
    return cells[static_cast<size_t>(col)];
}

const Cell* SheetModel::Find(int row, int col) const {
    if (row < 0 || col < 0 || static_cast<size_t>(row) >= rows.size()) return nullptr;
    const std::vector<Cell>& cells = rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(col) >= cells.size()) return nullptr;
    return &cells[static_cast<size_t>(col)];
}

const Area* SheetModel::CoveredBy(int row, int col) const {
    for (const Area& area : merges) {
        if (area.Contains(row, col) && !(row == area.firstRow && col == area.firstCol)) return &area;
    }
    return nullptr;
}

void SheetModel::Merge(const Area& area) {
    std::erase_if(merges, [&](const Area& existing) { return existing.Overlaps(area); });
    if (!area.SingleCell()) merges.push_back(area);
}

uint16_t BookModel::Intern(const CellStyle& style) {
    for (size_t i = 0; i < styles.size(); ++i) {
        if (styles[i] == style) return static_cast<uint16_t>(i);
    }
    styles.push_back(style);
    return static_cast<uint16_t>(styles.size() - 1);
}

int TextUnits(std::string_view utf8) {
    int longest = 0;
    int line = 0;
    for (size_t i = 0; i < utf8.size();) {
        const uint32_t cp = NextCodePoint(utf8, i);
        if (cp == '\n') {
            line = 0;
            continue;
        }
        if (cp == '\r') continue;
        line += IsWide(cp) ? 2 : 1;
        longest = std::max(longest, line);
    }
    return longest;
}

void AutoFitColumns(const BookModel& book, SheetModel& sheet, int firstCol, int lastCol) {
    std::map<int, double> widest;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const std::vector<Cell>& cells = sheet.rows[r];
        const int end = std::min(lastCol, static_cast<int>(cells.size()) - 1);
        for (int c = std::max(firstCol, 0); c <= end; ++c) {
            const Cell& cell = cells[static_cast<size_t>(c)];
            if (!cell.hasValue || cell.text.empty()) continue;
            const int row = static_cast<int>(r);
            bool merged = false;
            for (const Area& area : sheet.merges) merged = merged || area.Contains(row, c);
            if (merged) continue;
            const CellStyle& style = book.styles[cell.style];
            const double scale = (style.size > 0 ? style.size : kDefaultFontSize) /
                                 static_cast<double>(kDefaultFontSize) * (style.bold ? 1.1 : 1.0);
            // One digit width of padding, as the cell margins take about that.
            const double width = std::ceil(TextUnits(cell.text) * scale) + 1.0;
            double& best = widest[c];
            best = std::max(best, std::min(width, kMaxColumnWidth));
        }
    }
    for (const auto& [col, width] : widest) sheet.widths[col] = width;
}

}  // namespace platform::spreadsheet
