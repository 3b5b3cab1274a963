// Export of list rows to a spreadsheet workbook: a title block, the list's column captions
// and the marked rows (every row when none are marked), cell by cell through the
// spreadsheet automation objects, saved under the file name and shown to the user.
// One object per export: construct, fill, Export once, destroy.
#pragma once

#include <memory>
#include <string>

class IListSource;

class CExcelExport {
public:
    static constexpr int MAX_COLUMNS = 100;   // list columns that can be flagged
    static constexpr int MAX_CAPTION = 255;   // characters of a column caption that are kept

    CExcelExport();
    virtual ~CExcelExport();
    CExcelExport(const CExcelExport&) = delete;
    CExcelExport& operator=(const CExcelExport&) = delete;

    void SetListCtrl(const IListSource* pList);
    // The workbook's path. A relative path is taken from the current directory when the
    // export runs; the views give a path already resolved (ResolveExportPath).
    void SetFileName(const std::string& fileName);
    void SetTitle(const std::string& title);
    // An empty sub-title means no sub-title row.
    void SetSubTitle(const std::string& subTitle);
    // Only marked rows are exported from now on: nRows cleared marks, earlier ones dropped.
    void SetRowCount(int nRows);
    // Rows outside the count given to SetRowCount are ignored.
    void MarkRow(int nRow);
    // Columns 0 to 99; others are ignored. Text columns' data cells get the text number
    // format before their value. An excluded column is left out of the sheet, the columns
    // after it moving left; the title block still spans every list column.
    void SetTextColumn(int nColumn);
    void ExcludeColumn(int nColumn);

    // Builds the workbook; with bSave saves it, with bShow hands it to the user, otherwise
    // closes it and quits. An existing file is replaced after a question (none with
    // bNoPrompt). False when the user declined, the file could not be replaced, no
    // spreadsheet application could be started or a call to it failed (the reason goes to
    // the diagnostics log; the caller tells the user).
    bool Export(bool bSave, bool bNoPrompt, bool bShow);

    // Opens the file in the program associated with its type; false, after telling the
    // user, when the file or the program is missing.
    bool OpenExportedFile();

    // The file name as an absolute path: what is checked, saved and opened.
    std::string FilePath() const;

    // Reference of the cell at 0-based column and row: "A1", "Z2", "AA1", "AZ3", "BA1".
    static std::string CellRef(int nColumn, int nRow);

private:
    bool IsTextColumn(int nColumn) const;
    bool IsExcluded(int nColumn) const;
    bool IsMarked(int nRow) const;

    int m_nTextColumn[MAX_COLUMNS];
    int m_nExcludeColumn[MAX_COLUMNS];
    std::unique_ptr<unsigned char[]> m_pRowMark;
    int m_nRowMarkCount = 0;
    std::string m_strFileName;
    std::string m_strTitle;
    std::string m_strSubTitle;
    const IListSource* m_pListCtrl = nullptr;
};
