// The spreadsheet stand-in's workbook contents: cell texts with their styles, merged areas
// and column widths. The automation objects fill it; WriteWorkbook puts it in a file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform::spreadsheet {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr int kDefaultFontSize = 11;
constexpr double kMaxColumnWidth = 255.0;

enum class HAlign : uint8_t { General, Center, Left, Right };

struct CellStyle {
    bool text = false;  // number format "@": the cell keeps its value as text
    HAlign align = HAlign::General;
    bool bold = false;
    uint16_t size = 0;  // points; 0 is the default size
    bool operator==(const CellStyle&) const = default;
};

struct Cell {
    std::string text;
    uint16_t style = 0;  // index into BookModel::styles; 0 is the default style
    bool hasValue = false;
};

// Rows and columns 0-based, both ends inclusive.
struct Area {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;
    bool Contains(int row, int col) const {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    bool Overlaps(const Area& other) const {
        return firstRow <= other.lastRow && other.firstRow <= lastRow &&
               firstCol <= other.lastCol && other.firstCol <= lastCol;
    }
    bool SingleCell() const { return firstRow == lastRow && firstCol == lastCol; }
};

struct SheetModel {
    std::string name;
    std::vector<std::vector<Cell>> rows;  // grown on demand; short rows are empty at the end
    std::vector<Area> merges;
    std::map<int, double> widths;         // column -> width in digit widths

    Cell& At(int row, int col);
    const Cell* Find(int row, int col) const;
    // The merged area whose top-left is not (row, col) but which covers it, or null.
    const Area* CoveredBy(int row, int col) const;
    // Adds a merged area; areas it overlaps are unmerged first.
    void Merge(const Area& area);
};

struct BookModel {
    std::vector<SheetModel> sheets;
    std::vector<CellStyle> styles{CellStyle{}};

    uint16_t Intern(const CellStyle& style);
};

// Display width of text in digit widths of the default font: wide (East Asian) characters
// count two, others one; with several lines, the longest line.
int TextUnits(std::string_view utf8);

// Column widths for the columns first to last from the texts in them (merged cells are
// left out, as they would not fit one column anyway). Columns without text keep their width.
void AutoFitColumns(const BookModel& book, SheetModel& sheet, int firstCol, int lastCol);

}  // namespace platform::spreadsheet
