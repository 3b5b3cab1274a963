// Writes the stand-in's workbook in the form its file name promises, since the desktop and
// spreadsheet programs take a file's type from its name. A ".csv" name gets the first
// sheet as comma-separated text that reads back with the same texts (text-format cells
// keep their leading zeros). Any other name gets an Office Open XML workbook: every value a
// string cell, merged areas, the text number format, bold and sized fonts,
// centre/left/right alignment, column widths.
#pragma once

#include <string>

#include "platform/qt/SheetModel.h"

namespace platform::spreadsheet {

// The file appears whole or not at all: the workbook is written beside it under a
// temporary name and then renamed. False with the reason in error.
bool WriteWorkbook(const BookModel& book, const std::string& path, std::string& error);

}  // namespace platform::spreadsheet
