// Writes the stand-in's workbook as an Office Open XML file, whatever the file name's
// extension says: every value a string cell, merged areas, the text number format, bold
// and sized fonts, centre/left/right alignment, column widths.
#pragma once

#include <string>

#include "platform/qt/SheetModel.h"

namespace platform::spreadsheet {

// The file appears whole or not at all: the workbook is written beside it under a
// temporary name and then renamed. False with the reason in error.
bool WriteWorkbook(const BookModel& book, const std::string& path, std::string& error);

}  // namespace platform::spreadsheet
