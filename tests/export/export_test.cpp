// The spreadsheet export: what lands in the workbook file, the calls made to the
// spreadsheet application and in which order, the questions and messages around it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/ExcelExport.h"
#include "output/ExportSelection.h"
#include "platform/MessageBox.h"
#include "tests/export/TableList.h"
#include "tests/export/WorkbookFile.h"
#include "tests/support/qt/ScriptedShell.h"
#include "tests/support/qt/SpreadsheetProbe.h"
#include "tests/support/ScriptedMessages.h"

namespace fs = std::filesystem;
using platform::spreadsheet::SpreadsheetProbe;

namespace {

const std::string kAskOverwrite = "화일(%s)이 이미 있습니다. 화일을 덮어 쓰시겠습니까?";
const std::string kFileInUse = "화일(%s)이 사용중입니다. 열려진 화일을 닫은후 다시 시도하여 주십시오";
const std::string kCaptionError = "에러";
const std::string kFileNotFound = "화일을 찾을 수 없습니다.(%s)";
const std::string kNoProgram = "엑셀 프로그램을 찾을수 없습니다.";
const std::string kCaptionConfirm = "확인";
const std::string kNothingSelected = "선택된 데이터가 없습니다\r출력할 데이터를 선택한 후 다시 시도 하세요!";
const std::string kExportFailed = "내보내기 실패.";
const std::string kSubTitle = "출력시간:%s";
const std::string kDenyTitle = "수신거부 등록자 목록";

std::string Replace(std::string text, const std::string& path) {
    return text.replace(text.find("%s"), 2, path);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "export-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        shell_.Associate(".xls", "/usr/bin/sheetprog");
        shell_.Associate(".csv", "/usr/bin/sheetprog");
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir_, error);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // Runs an export of list to name without questions and loads the file.
    WorkbookFile ExportAndRead(CExcelExport& excel, const TableList& list, const std::string& name) {
        excel.SetListCtrl(&list);
        excel.SetFileName(Path(name));
        excel.SetTitle("Title");
        WorkbookFile book;
        EXPECT_TRUE(excel.Export(true, true, false));
        std::string error;
        EXPECT_TRUE(book.Load(Path(name), error)) << error;
        return book;
    }

    fs::path dir_;
    platform::ScriptedMessages messages_;
    platform::ScriptedShell shell_;
    SpreadsheetProbe probe_;
};

TEST(CellRefTest, SingleLettersThenPairs) {
    EXPECT_EQ(CExcelExport::CellRef(0, 0), "A1");
    EXPECT_EQ(CExcelExport::CellRef(25, 1), "Z2");
    EXPECT_EQ(CExcelExport::CellRef(26, 0), "AA1");
    EXPECT_EQ(CExcelExport::CellRef(51, 2), "AZ3");
    EXPECT_EQ(CExcelExport::CellRef(52, 0), "BA1");
    EXPECT_EQ(CExcelExport::CellRef(701, 9), "ZZ10");
    EXPECT_EQ(CExcelExport::CellRef(-1, 0), "");
}

TEST(ResolveExportPathTest, BareNamesComeFromTheStartDirectory) {
    EXPECT_EQ(ResolveExportPath("a.csv", "/srv/desk"), "/srv/desk/a.csv");
    EXPECT_EQ(ResolveExportPath("/srv/desk\\b.xls", "/elsewhere"), "/srv/desk/b.xls");
    EXPECT_EQ(ResolveExportPath("/tmp/c.xls", "/srv/desk"), "/tmp/c.xls");
    EXPECT_EQ(ResolveExportPath("d.csv", ""), (fs::current_path() / "d.csv").lexically_normal().string());
}

TEST_F(ExportTest, EveryRowWithoutMarksAndCaptionsOnRowTwo) {
    const TableList list = TableList::Make(3, 3);
    CExcelExport excel;
    const WorkbookFile book = ExportAndRead(excel, list, "all.xls");

    EXPECT_EQ(book.Text("A1"), "Title");
    EXPECT_EQ(book.merges, std::vector<std::string>{"A1:C1"});
    const SheetCell& title = book.cells.at("A1");
    EXPECT_TRUE(title.bold);
    EXPECT_EQ(title.size, 24);
    EXPECT_EQ(title.align, "center");
    EXPECT_EQ(book.Text("A2"), "H0");
    EXPECT_EQ(book.Text("C2"), "H2");
    EXPECT_EQ(book.Text("A3"), "r0c0");
    EXPECT_EQ(book.Text("C5"), "r2c2");
    EXPECT_FALSE(book.Has("A6"));
    for (const auto& [ref, cell] : book.cells) {
        EXPECT_EQ(cell.numFmtId, 0) << ref;
        if (!cell.text.empty()) {
            EXPECT_TRUE(cell.shared) << ref;
        }
    }
    EXPECT_TRUE(messages_.Shown().empty());
    EXPECT_TRUE(shell_.Starts().empty());  // closed and quit, not shown
}

TEST_F(ExportTest, MarkedRowsOnlyWithoutGapsBelowTheSubTitle) {
    const TableList list = TableList::Make(3, 5);
    CExcelExport excel;
    excel.SetSubTitle("Sub");
    excel.SetRowCount(5);
    excel.MarkRow(1);
    excel.MarkRow(3);
    excel.MarkRow(5);   // beyond the count: ignored
    excel.MarkRow(-1);
    const WorkbookFile book = ExportAndRead(excel, list, "marked.xls");

    EXPECT_EQ(book.merges, (std::vector<std::string>{"A1:C1", "A2:C2"}));
    const SheetCell& sub = book.cells.at("A2");
    EXPECT_EQ(sub.text, "Sub");
    EXPECT_TRUE(sub.bold);
    EXPECT_EQ(sub.size, 11);
    EXPECT_EQ(sub.align, "left");
    EXPECT_EQ(book.Text("A3"), "H0");
    EXPECT_EQ(book.Text("A4"), "r1c0");
    EXPECT_EQ(book.Text("C5"), "r3c2");
    EXPECT_FALSE(book.Has("A6"));
}

TEST_F(ExportTest, NewRowCountDropsEarlierMarks) {
    const TableList list = TableList::Make(1, 3);
    CExcelExport excel;
    excel.SetRowCount(3);
    excel.MarkRow(0);
    excel.SetRowCount(3);
    excel.MarkRow(2);
    const WorkbookFile book = ExportAndRead(excel, list, "remarked.xls");
    EXPECT_EQ(book.Text("A3"), "r2c0");
    EXPECT_FALSE(book.Has("A4"));
    EXPECT_TRUE(book.merges.empty());  // one column: nothing to merge, the title is there
    EXPECT_EQ(book.Text("A1"), "Title");
}

TEST_F(ExportTest, CommasLeaveCaptionsButNotCells) {
    TableList list = TableList::Make(2, 1);
    list.headings = {"Amount,KRW,total", std::string(300, 'x')};
    list.rows[0][0] = "1,000";
    CExcelExport excel;
    const WorkbookFile book = ExportAndRead(excel, list, "commas.xls");
    EXPECT_EQ(book.Text("A2"), "AmountKRWtotal");
    EXPECT_EQ(book.Text("B2"), std::string(255, 'x'));
    EXPECT_EQ(book.Text("A3"), "1,000");
}

TEST_F(ExportTest, TwentySeventhColumnInAAAndTextFormatOnDataCellsOnly) {
    const TableList list = TableList::Make(28, 2);
    CExcelExport excel;
    excel.SetTextColumn(26);
    excel.SetTextColumn(120);  // out of range: ignored
    const WorkbookFile book = ExportAndRead(excel, list, "wide.xls");
    EXPECT_EQ(book.merges, std::vector<std::string>{"A1:AB1"});
    EXPECT_EQ(book.Text("AA2"), "H26");
    EXPECT_EQ(book.cells.at("AA2").numFmtId, 0);
    EXPECT_EQ(book.Text("AA3"), "r0c26");
    EXPECT_EQ(book.cells.at("AA3").numFmtId, 49);
    EXPECT_EQ(book.cells.at("AA4").numFmtId, 49);
    EXPECT_EQ(book.cells.at("Z3").numFmtId, 0);
    EXPECT_EQ(book.cells.at("AB3").numFmtId, 0);
}

TEST_F(ExportTest, ExcludedColumnsCloseTheGapUnderAFullWidthTitle) {
    const TableList list = TableList::Make(4, 1);
    CExcelExport excel;
    excel.ExcludeColumn(1);
    excel.SetTextColumn(2);
    const WorkbookFile book = ExportAndRead(excel, list, "excluded.xls");
    EXPECT_EQ(book.merges, std::vector<std::string>{"A1:D1"});
    EXPECT_EQ(book.Text("B2"), "H2");
    EXPECT_EQ(book.Text("C2"), "H3");
    EXPECT_FALSE(book.Has("D2"));
    EXPECT_EQ(book.Text("B3"), "r0c2");
    EXPECT_EQ(book.cells.at("B3").numFmtId, 49);
    EXPECT_EQ(book.cells.at("C3").numFmtId, 0);
}

TEST_F(ExportTest, ColumnsFitTheirTextsWithHangulTwiceAsWide) {
    TableList list = TableList::Make(2, 1);
    list.rows[0] = {"수신거부 등록자 목록", "abcdefghij"};  // 9 Hangul + 2 blanks, 10 letters
    CExcelExport excel;
    const WorkbookFile book = ExportAndRead(excel, list, "widths.xls");
    ASSERT_TRUE(book.widths.count(1) && book.widths.count(2));
    EXPECT_GT(book.widths.at(1), book.widths.at(2) + 5);  // the merged title counts for neither
    EXPECT_GE(book.widths.at(2), 10);
}

TEST_F(ExportTest, CsvNameGetsCommaSeparatedTextThroughTheWorkbookFormat) {
    const TableList list = TableList::Make(2, 1);
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(Path("list.csv"));
    excel.SetTitle("Title");
    ASSERT_TRUE(excel.Export(true, true, false));
    // The calls stay those of a workbook; the file keeps the promise of its name.
    const auto& calls = probe_.LastCalls();
    ASSERT_GT(calls.Size(), 3u);
    EXPECT_EQ(calls.Describe(calls.Size() - 3),
              "Workbook.SaveAs(\"" + Path("list.csv") + "\",-4143L,-,-,0,0,1L,1L,0,0,0,-)");
    EXPECT_EQ(ReadAll(Path("list.csv")), "\xEF\xBB\xBF\"Title\",\r\n\"H0\",\"H1\"\r\n\"r0c0\",\"r0c1\"\r\n");
}

TEST_F(ExportTest, CallsFollowTheExportOrder) {
    TableList list = TableList::Make(2, 1);
    list.headings = {"A,b", "B"};
    list.rows[0] = {"x", "1,5"};
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(Path("order.xls"));
    excel.SetTitle("T");
    excel.SetSubTitle("sub");
    excel.SetTextColumn(1);
    ASSERT_TRUE(excel.Export(true, true, true));

    const std::vector<std::string> expected = {
        "Application.Workbooks", "Workbooks.Add(-)", "Workbook.Worksheets", "Worksheets.Item(1)",
        "Worksheet.Range(\"A1\",\"B1\")", "Range.Merge(1)", "Range.Value2=\"T\"",
        "Range.HorizontalAlignment=-4108", "Range.Font", "Font.Bold=1", "Font.Size=24",
        "Worksheet.Range(\"A2\",\"B2\")", "Range.Merge(1)", "Range.Value2=\"sub\"",
        "Range.HorizontalAlignment=-4131", "Range.Font", "Font.Bold=1", "Font.Size=11",
        "Worksheet.Range(\"A3\",\"A3\")", "Range.Value2=\"Ab\"",
        "Worksheet.Range(\"B3\",\"B3\")", "Range.Value2=\"B\"",
        "Worksheet.Range(\"A4\",\"A4\")", "Range.Value2=\"x\"",
        "Worksheet.Range(\"B4\",\"B4\")", "Range.NumberFormat=\"@\"", "Range.Value2=\"1,5\"",
        "Worksheet.Range(\"A1\",\"B1\")", "Range.EntireColumn", "Range.AutoFit()",
        "Workbook.SaveAs(\"" + Path("order.xls") + "\",-4143L,-,-,0,0,1L,1L,0,0,0,-)",
        "Application.Visible=true", "Application.UserControl=true"};
    EXPECT_EQ(probe_.LastCallTexts(), expected);
    // Shown: the saved workbook opens in the desktop's program.
    EXPECT_EQ(shell_.Starts(), std::vector<std::string>{"/usr/bin/sheetprog " + Path("order.xls")});
}

TEST_F(ExportTest, WithoutShowingTheWorkbookIsClosedAndTheApplicationQuits) {
    const TableList list = TableList::Make(1, 1);
    CExcelExport excel;
    ExportAndRead(excel, list, "closed.xls");
    std::vector<std::string> calls = probe_.LastCallTexts();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "Workbook.Close(1L,\"" + Path("closed.xls") + "\",0L)");
    EXPECT_EQ(calls.back(), "Application.Quit()");
}

TEST_F(ExportTest, DecliningToOverwriteKeepsTheFileAndStartsNothing) {
    const TableList list = TableList::Make(1, 1);
    const std::string path = Path("old.xls");
    std::ofstream(path) << "old";
    messages_.Answer(platform::IDNO);
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(path);
    EXPECT_FALSE(excel.Export(true, false, true));

    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(probe_.Attempts(), 0);
    EXPECT_TRUE(shell_.Starts().empty());
    ASSERT_EQ(messages_.Shown().size(), 1u);
    const platform::MessageBoxRequest& box = messages_.Shown()[0];
    EXPECT_EQ(box.text, Replace(kAskOverwrite, path));
    EXPECT_EQ(box.caption, kCaptionError);
    EXPECT_EQ(box.type, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(box.owner, nullptr);
}

TEST_F(ExportTest, ExistingFileReplacedAfterYesOrWithoutAskingWhenNoPrompt) {
    const TableList list = TableList::Make(1, 1);
    for (bool noPrompt : {false, true}) {
        messages_.Clear();
        const std::string path = Path(noPrompt ? "quiet.xls" : "asked.xls");
        std::ofstream(path) << "old";
        messages_.Answer(platform::IDYES);
        CExcelExport excel;
        excel.SetListCtrl(&list);
        excel.SetFileName(path);
        EXPECT_TRUE(excel.Export(true, noPrompt, false));
        EXPECT_EQ(messages_.Shown().size(), noPrompt ? 0u : 1u);
        WorkbookFile book;
        std::string error;
        EXPECT_TRUE(book.Load(path, error)) << error;
    }
}

TEST_F(ExportTest, FileThatCannotBeDeletedIsReportedInUse) {
    const TableList list = TableList::Make(1, 1);
    const std::string path = Path("busy.xls");
    fs::create_directories(fs::path(path) / "inside");
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(path);
    EXPECT_FALSE(excel.Export(true, true, true));
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].text, Replace(kFileInUse, path));
    EXPECT_EQ(messages_.Shown()[0].caption, kCaptionError);
    EXPECT_EQ(messages_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(probe_.Attempts(), 0);
}

TEST_F(ExportTest, NoApplicationMeansFalseAndNoFile) {
    const TableList list = TableList::Make(1, 1);
    probe_.RefuseCreation(true);
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(Path("none.xls"));
    EXPECT_FALSE(excel.Export(true, true, true));
    EXPECT_EQ(probe_.Attempts(), 1);
    EXPECT_FALSE(fs::exists(Path("none.xls")));
    EXPECT_TRUE(messages_.Shown().empty());
}

TEST_F(ExportTest, FailedSaveEndsTheExportWithoutShowingOrQuitting) {
    const TableList list = TableList::Make(1, 1);
    CExcelExport excel;
    excel.SetListCtrl(&list);
    excel.SetFileName(Path("missing/dir.xls"));
    EXPECT_FALSE(excel.Export(true, true, true));
    const std::vector<std::string> calls = probe_.LastCallTexts();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().rfind("Workbook.SaveAs(", 0), 0u);
    EXPECT_NE(calls.back().find("!failed"), std::string::npos);
    EXPECT_TRUE(shell_.Starts().empty());
    EXPECT_TRUE(messages_.Shown().empty());  // the caller tells the user
}

TEST_F(ExportTest, OpenExportedFileNeedsTheFileAndAProgram) {
    CExcelExport excel;
    const std::string missing = Path("missing.xls");
    excel.SetFileName(missing);
    EXPECT_FALSE(excel.OpenExportedFile());
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].text, Replace(kFileNotFound, missing));
    EXPECT_EQ(messages_.Shown()[0].caption, kCaptionConfirm);
    EXPECT_EQ(messages_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_EQ(messages_.Shown()[0].owner, nullptr);

    messages_.Clear();
    const std::string unknown = Path("list.odd");
    std::ofstream(unknown) << "x";
    excel.SetFileName(unknown);
    EXPECT_FALSE(excel.OpenExportedFile());
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].text, kNoProgram);
    EXPECT_EQ(messages_.Shown()[0].caption, kCaptionConfirm);
    EXPECT_EQ(messages_.Shown()[0].type, platform::MB_OK | platform::MB_ICONERROR);
    EXPECT_TRUE(shell_.Starts().empty());

    messages_.Clear();
    const std::string known = Path("list.csv");
    std::ofstream(known) << "x";
    excel.SetFileName(known);
    EXPECT_TRUE(excel.OpenExportedFile());
    EXPECT_TRUE(messages_.Shown().empty());
    EXPECT_EQ(shell_.Starts(), std::vector<std::string>{"/usr/bin/sheetprog " + known});
}

// ---- the views' button ----

TEST_F(ExportTest, NothingSelectedTellsTheView) {
    const TableList list = TableList::Make(2, 3);
    const int view = 0;
    ExportRequest request;
    request.list = &list;
    request.owner = &view;
    request.fileName = Path("x.xls");
    EXPECT_FALSE(ExportSelection(request));
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].text, kNothingSelected);
    EXPECT_EQ(messages_.Shown()[0].caption, kCaptionConfirm);
    EXPECT_EQ(messages_.Shown()[0].type, platform::MB_OK | platform::MB_ICONINFORMATION);
    EXPECT_EQ(messages_.Shown()[0].owner, &view);
    EXPECT_EQ(probe_.Attempts(), 0);
}

TEST_F(ExportTest, SelectedRowsGoToTheStartDirectoryAndOpen) {
    TableList list = TableList::Make(4, 4);
    list.selected = {0, 2};
    const int view = 0;
    const fs::path start = dir_ / "start";
    fs::create_directories(start);
    ExportRequest request;
    request.list = &list;
    request.owner = &view;
    request.title = kDenyTitle;
    request.fileName = "deny_20240101_20240131.csv";  // bare, as the opt-out view names it
    request.startDir = start.string();
    request.timeText = "12:34:56:789";
    request.textColumns = {2, 3};
    request.excludedColumns = {6};
    request.openAfter = true;
    ASSERT_TRUE(ExportSelection(request));

    const std::string path = (start / request.fileName).string();
    EXPECT_FALSE(fs::exists(fs::current_path() / request.fileName));
    // Text columns come as formulas that yield their text; the others as plain texts.
    EXPECT_EQ(ReadAll(path), "\xEF\xBB\xBF\"" + kDenyTitle + "\",,,\r\n\"" + Replace(kSubTitle, "12:34:56:789") +
                                 "\",,,\r\n\"H0\",\"H1\",\"H2\",\"H3\"\r\n"
                                 "\"r0c0\",\"r0c1\",\"=\"\"r0c2\"\"\",\"=\"\"r0c3\"\"\"\r\n"
                                 "\"r2c0\",\"r2c1\",\"=\"\"r2c2\"\"\",\"=\"\"r2c3\"\"\"\r\n");
    EXPECT_TRUE(messages_.Shown().empty());
    // Shown by the application, then opened by the view, both from the one path.
    EXPECT_EQ(shell_.Starts(), std::vector<std::string>(2, "/usr/bin/sheetprog " + path));
}

TEST_F(ExportTest, FailedExportTellsTheView) {
    TableList list = TableList::Make(1, 1);
    list.selected = {0};
    const int view = 0;
    ExportRequest request;
    request.list = &list;
    request.owner = &view;
    request.fileName = "no/such/dir/x.xls";
    request.startDir = dir_.string();
    request.openAfter = true;
    EXPECT_FALSE(ExportSelection(request));
    ASSERT_EQ(messages_.Shown().size(), 1u);
    EXPECT_EQ(messages_.Shown()[0].text, kExportFailed);
    EXPECT_EQ(messages_.Shown()[0].caption, kCaptionConfirm);
    EXPECT_EQ(messages_.Shown()[0].type, platform::MB_OK | platform::MB_ICONINFORMATION);
    EXPECT_EQ(messages_.Shown()[0].owner, &view);
    EXPECT_TRUE(shell_.Starts().empty());
}

// A written file that no program opened is named to the user with its full path, both when
// the view opens it itself and when the spreadsheet application shows it; with a program,
// nothing is added; a file that was not written is never announced.
TEST_F(ExportTest, AWrittenFileThatNoProgramOpensIsNamed) {
    TableList list = TableList::Make(2, 2);
    list.selected = {1};
    const int view = 0;
    for (bool openAfter : {true, false}) {
        SCOPED_TRACE(openAfter);
        std::vector<std::string> notes;
        ExportRequest request;
        request.list = &list;
        request.owner = &view;
        request.fileName = openAfter ? "deny.csv" : "list.xls";
        request.startDir = dir_.string();
        request.openAfter = openAfter;
        request.showNote = [&notes](const std::string& text) { notes.push_back(text); };
        const std::string path = Path(request.fileName);
        {
            platform::ScriptedShell bare;  // a desk without any spreadsheet program
            messages_.Clear();
            ASSERT_TRUE(ExportSelection(request));
            EXPECT_TRUE(fs::is_regular_file(path));
            EXPECT_EQ(notes, std::vector<std::string>{Replace(kExportSavedNotOpened, path)});
            // The view's own opening still says the program is missing; the application's
            // showing says nothing of its own.
            ASSERT_EQ(messages_.Shown().size(), openAfter ? 1u : 0u);
            if (openAfter) {
                EXPECT_EQ(messages_.Shown()[0].text, kNoProgram);
            }
            EXPECT_TRUE(bare.Starts().empty());
        }
        notes.clear();
        messages_.Clear();
        fs::remove(path);  // no question about replacing it
        ASSERT_TRUE(ExportSelection(request));
        EXPECT_TRUE(notes.empty());
        EXPECT_TRUE(messages_.Shown().empty());
        EXPECT_FALSE(shell_.Starts().empty());
        shell_.Clear();

        // Nothing written: the failure, never a missing program, never a note.
        platform::ScriptedShell bare;
        messages_.Clear();
        request.startDir = (dir_ / "gone").string();
        EXPECT_FALSE(ExportSelection(request));
        ASSERT_EQ(messages_.Shown().size(), 1u);
        EXPECT_EQ(messages_.Shown()[0].text, kExportFailed);
        EXPECT_TRUE(notes.empty());
    }
}

}  // namespace
