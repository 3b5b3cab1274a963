#include "output/ExcelExport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/WriteLog.h"
#include "output/ListSource.h"
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/Shell.h"
#include "platform/qt/Spreadsheet.h"

namespace xl = platform::spreadsheet;

namespace {

const char* const kAskOverwrite = "화일(%s)이 이미 있습니다. 화일을 덮어 쓰시겠습니까?";
const char* const kFileInUse = "화일(%s)이 사용중입니다. 열려진 화일을 닫은후 다시 시도하여 주십시오";
const char* const kCaptionError = "에러";
const char* const kFileNotFound = "화일을 찾을 수 없습니다.(%s)";
const char* const kNoProgram = "엑셀 프로그램을 찾을수 없습니다.";
const char* const kCaptionConfirm = "확인";

constexpr int16_t kTitleSize = 24;
constexpr int16_t kSubTitleSize = 11;

}  // namespace

CExcelExport::CExcelExport() {
    std::fill(std::begin(m_nTextColumn), std::end(m_nTextColumn), 0);
    std::fill(std::begin(m_nExcludeColumn), std::end(m_nExcludeColumn), 0);
}

CExcelExport::~CExcelExport() = default;

void CExcelExport::SetListCtrl(const IListSource* pList) { m_pListCtrl = pList; }

void CExcelExport::SetFileName(const std::string& fileName) { m_strFileName = fileName; }

void CExcelExport::SetTitle(const std::string& title) { m_strTitle = title; }

void CExcelExport::SetSubTitle(const std::string& subTitle) { m_strSubTitle = subTitle; }

void CExcelExport::SetRowCount(int nRows) {
    m_nRowMarkCount = std::max(nRows, 0);
    m_pRowMark = std::make_unique<unsigned char[]>(static_cast<size_t>(m_nRowMarkCount));  // zeroed
}

void CExcelExport::MarkRow(int nRow) {
    if (m_pRowMark != nullptr && nRow >= 0 && nRow < m_nRowMarkCount) m_pRowMark[nRow] = 1;
}

void CExcelExport::SetTextColumn(int nColumn) {
    if (nColumn >= 0 && nColumn < MAX_COLUMNS) m_nTextColumn[nColumn] = 1;
}

void CExcelExport::ExcludeColumn(int nColumn) {
    if (nColumn >= 0 && nColumn < MAX_COLUMNS) m_nExcludeColumn[nColumn] = 1;
}

bool CExcelExport::IsTextColumn(int nColumn) const {
    return nColumn >= 0 && nColumn < MAX_COLUMNS && m_nTextColumn[nColumn] != 0;
}

bool CExcelExport::IsExcluded(int nColumn) const {
    return nColumn >= 0 && nColumn < MAX_COLUMNS && m_nExcludeColumn[nColumn] != 0;
}

bool CExcelExport::IsMarked(int nRow) const {
    if (m_pRowMark == nullptr) return true;
    return nRow >= 0 && nRow < m_nRowMarkCount && m_pRowMark[nRow] != 0;
}

std::string CExcelExport::FilePath() const {
    if (m_strFileName.empty()) return m_strFileName;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(m_strFileName, error);
    return error ? m_strFileName : absolute.lexically_normal().string();
}

std::string CExcelExport::CellRef(int nColumn, int nRow) {
    if (nColumn < 0 || nRow < 0) return {};
    // Letters count from A = 1 with no zero digit: A..Z, AA..ZZ, AAA...
    std::string letters;
    for (int c = nColumn + 1; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(nRow + 1);
}

bool CExcelExport::Export(bool bSave, bool bNoPrompt, bool bShow) {
    if (m_pListCtrl == nullptr) {
        WriteLog("CExcelExport::Export no list");
        return false;
    }
    // One path for the check, the deletion and the save.
    const std::string path = FilePath();

    // 1. An existing file is replaced only when the user agrees. Anything at the path
    // counts, readable or not, so that nothing is overwritten without the question.
    struct stat info;
    if (!path.empty() && lstat(path.c_str(), &info) == 0) {
        if (!bNoPrompt) {
            const int answer = platform::ShowMessageBox(nullptr, platform::StrFormat(kAskOverwrite, path.c_str()),
                                                        kCaptionError,
                                                        platform::MB_YESNO | platform::MB_ICONQUESTION);
            if (answer != platform::IDYES) return false;
        }
        if (unlink(path.c_str()) != 0 && errno != ENOENT) {
            platform::ShowMessageBox(nullptr, platform::StrFormat(kFileInUse, path.c_str()), kCaptionError,
                                     platform::MB_OK | platform::MB_ICONERROR);
            return false;
        }
    }

    // 2. The application, a new workbook and its first sheet.
    xl::Application app;
    if (!xl::Application::Create(app)) {
        WriteLog("CExcelExport::Export no spreadsheet application");
        return false;
    }
    const auto failed = [&app]() {
        if (app.Ok()) return false;
        WriteLog("CExcelExport::Export error(%s)", app.LastError().c_str());
        return true;
    };
    xl::Workbooks books = app.GetWorkbooks();
    xl::Workbook book = books.Add();
    xl::Worksheet sheet = book.GetWorksheets().GetItem(xl::Arg::I2(1));

    // 3. Columns.
    const int nColumns = m_pListCtrl->GetColumnCount();
    const std::string lastTitleCell = CellRef(nColumns - 1, 0);

    // 4. Title on row 1, across every list column.
    {
        xl::Range range = sheet.GetRange(CellRef(0, 0), lastTitleCell);
        range.Merge(xl::Arg::I2(1));
        range.PutValue2(m_strTitle);
        range.PutHorizontalAlignment(xl::kHAlignCenter);
        xl::Font font = range.GetFont();
        font.PutBold(1);
        font.PutSize(kTitleSize);
    }
    int nRow = 1;

    // 5. Sub-title on row 2, when there is one.
    if (!m_strSubTitle.empty()) {
        xl::Range range = sheet.GetRange(CellRef(0, nRow), CellRef(nColumns - 1, nRow));
        range.Merge(xl::Arg::I2(1));
        range.PutValue2(m_strSubTitle);
        range.PutHorizontalAlignment(xl::kHAlignLeft);
        xl::Font font = range.GetFont();
        font.PutBold(1);
        font.PutSize(kSubTitleSize);
        ++nRow;
    }
    if (failed()) return false;

    // 6. Column captions, without commas.
    for (int i = 0, x = 0; i < nColumns; ++i) {
        if (IsExcluded(i)) continue;
        std::string caption = platform::Cp949Truncate(m_pListCtrl->GetColumnHeading(i), MAX_CAPTION);
        std::erase(caption, ',');
        const std::string cell = CellRef(x++, nRow);
        sheet.GetRange(cell, cell).PutValue2(caption);
    }
    ++nRow;
    if (failed()) return false;

    // 7. The marked rows, one sheet row each with no gaps. The list may change while the
    // rows are written: its count is asked for on every pass.
    for (int j = 0; j < m_pListCtrl->GetItemCount(); ++j) {
        if (!IsMarked(j)) continue;
        for (int i = 0, x = 0; i < nColumns; ++i) {
            if (IsExcluded(i)) continue;
            const std::string cell = CellRef(x++, nRow);
            xl::Range range = sheet.GetRange(cell, cell);
            if (IsTextColumn(i)) range.PutNumberFormat("@");
            range.PutValue2(m_pListCtrl->GetItemText(j, i));
        }
        ++nRow;
        if (failed()) return false;
    }

    // 8. Column widths to fit the texts.
    sheet.GetRange(CellRef(0, 0), lastTitleCell).GetEntireColumn().AutoFit();
    if (failed()) return false;

    // 9. Save as a workbook whatever the extension says.
    if (bSave) {
        book.SaveAs(xl::Arg::Text(path), xl::Arg::I4(xl::kFileFormatWorkbook), xl::Arg::Omitted(),
                    xl::Arg::Omitted(), xl::Arg::I2(0), xl::Arg::I2(0), xl::Arg::I4(xl::kAccessModeNoChange),
                    xl::Arg::I4(xl::kConflictUserResolution), xl::Arg::I2(0), xl::Arg::I2(0), xl::Arg::I2(0),
                    xl::Arg::Omitted());
        if (failed()) return false;
    }

    // 10. Hand the workbook to the user, or close it and quit.
    if (bShow) {
        app.PutVisible(true);
        app.PutUserControl(true);
    } else {
        book.Close(xl::Arg::I4(1), xl::Arg::Text(path), xl::Arg::I4(0));
        app.Quit();
    }
    return !failed();
}

bool CExcelExport::OpenExportedFile() {
    const std::string path = FilePath();
    if (path.empty() || access(path.c_str(), F_OK) != 0) {
        platform::ShowMessageBox(nullptr, platform::StrFormat(kFileNotFound, path.c_str()), kCaptionConfirm,
                                 platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    const std::string program = platform::FindExecutable(path);
    if (program.empty()) {
        platform::ShowMessageBox(nullptr, kNoProgram, kCaptionConfirm, platform::MB_OK | platform::MB_ICONERROR);
        return false;
    }
    // The file goes as one argument: no quoting is needed without a command line.
    platform::StartDetached(program, {path});
    return true;
}
