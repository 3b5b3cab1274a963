// The export-to-spreadsheet button of the list views: the selected rows of the view's list
// go to a workbook under the view's title and file name, with the output time as the
// sub-title; the user is told when nothing is selected or the export failed.
#pragma once

#include <functional>
#include <string>
#include <vector>

class IListSource;

// Titles and file names of the two views' exports ("%s" in order: the start-up directory;
// the period's first and last day as "%Y%m%d").
extern const char* const kCallbackExportTitle;
extern const char* const kCallbackExportFile;
extern const char* const kDenyExportTitle;
extern const char* const kDenyExportFile;

struct ExportRequest {
    const IListSource* list = nullptr;
    const void* owner = nullptr;     // the view: owner of the message boxes
    std::string title;
    std::string fileName;            // as the view names it; see ResolveExportPath
    std::string startDir;            // the program's start-up directory
    std::string timeText;            // for the sub-title; empty: the time of the export
    std::vector<int> textColumns;    // list columns written as text
    std::vector<int> excludedColumns;
    bool openAfter = false;          // open the file in its program after the export
    // Tells the user where a written file is when no program could open it (the main
    // window's status bar); unset: nobody is told.
    std::function<void(const std::string& text)> showNote;
};

// The note for a workbook written to path (full) that no program opened.
extern const char* const kExportSavedNotOpened;

// Runs the export of the selected rows. True when the workbook was written.
bool ExportSelection(const ExportRequest& request);

// The one path used for a view's export: '\' separates directories as '/' does, and a
// relative name is taken from startDir (from the current directory when startDir is empty).
std::string ResolveExportPath(const std::string& fileName, const std::string& startDir);

// The local time as "%02d:%02d:%02d:%03d" (hour, minute, second, millisecond).
std::string ExportTimeText();
