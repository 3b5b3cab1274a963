// Reads back a workbook file written by the spreadsheet stand-in: the first sheet's cells
// with their texts (shared strings) and styles, the merged areas and the column widths.
// The file is a zip of XML parts; unzip extracts them.
#pragma once

#include <map>
#include <string>
#include <vector>

struct SheetCell {
    std::string text;
    bool shared = false;  // a shared-string cell
    int numFmtId = 0;     // 49 is the text format "@"
    bool bold = false;
    double size = 0;      // font size in points
    std::string align;    // "center", "left" or empty
};

struct WorkbookFile {
    bool zip = false;                         // starts like a zip archive
    std::map<std::string, SheetCell> cells;   // by reference, "A1"
    std::vector<std::string> merges;          // "A1:C1", in file order
    std::map<int, double> widths;             // 1-based column -> width

    // False (with a reason) when the file cannot be read as a workbook.
    bool Load(const std::string& path, std::string& error);
    bool Has(const std::string& ref) const { return cells.count(ref) != 0; }
    std::string Text(const std::string& ref) const;
};

// The member of a zip archive as text; empty when missing.
std::string UnzipMember(const std::string& archive, const std::string& member);
