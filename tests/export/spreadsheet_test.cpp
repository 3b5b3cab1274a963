// The spreadsheet stand-in on its own: failures, saving on close, merges and widths.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/qt/Spreadsheet.h"
#include "tests/export/WorkbookFile.h"
#include "tests/support/qt/ScriptedShell.h"

namespace fs = std::filesystem;
namespace xl = platform::spreadsheet;

namespace {

class SpreadsheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "sheet-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(xl::Application::Create(app_));
        book_ = app_.GetWorkbooks().Add();
        sheet_ = book_.GetWorksheets().GetItem(xl::Arg::I2(1));
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir_, error);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    bool Save(const std::string& path) {
        return book_.SaveAs(xl::Arg::Text(path), xl::Arg::I4(xl::kFileFormatWorkbook), {}, {}, {}, {}, {}, {}, {},
                            {}, {}, {});
    }

    fs::path dir_;
    platform::ScriptedShell shell_;
    xl::Application app_;
    xl::Workbook book_;
    xl::Worksheet sheet_;
};

TEST_F(SpreadsheetTest, FirstFailureStopsEveryLaterCall) {
    sheet_.GetRange("A1", "A1").PutValue2("kept");
    xl::Range bad = sheet_.GetRange("A0", "B1");
    EXPECT_FALSE(app_.Ok());
    EXPECT_NE(app_.LastError().find("A0"), std::string::npos);
    EXPECT_FALSE(bad.PutValue2("x"));
    EXPECT_FALSE(Save(Path("after.xls")));
    EXPECT_FALSE(fs::exists(Path("after.xls")));

    const std::vector<std::string> calls = app_.Calls().Describe();
    ASSERT_EQ(calls.size(), 9u);
    EXPECT_EQ(calls[6], "Worksheet.Range(\"A0\",\"B1\") !failed");
    EXPECT_EQ(calls[7], "Range.Value2=\"x\" !skipped");
    EXPECT_NE(calls[8].find("!skipped"), std::string::npos);
}

TEST_F(SpreadsheetTest, ReferencesAreCheckedAgainstTheSheetSize) {
    int row = 0, col = 0;
    EXPECT_TRUE(xl::ParseCellRef("$xfd$1048576", row, col));
    EXPECT_EQ(row, 1048575);
    EXPECT_EQ(col, 16383);
    for (const char* bad : {"", "A", "1", "XFE1", "A1048577", "ABCD1", "A1x", "A01"}) {
        EXPECT_FALSE(xl::ParseCellRef(bad, row, col)) << bad;
    }
}

TEST_F(SpreadsheetTest, CloseSavesChangesUnderTheNameGivenOrDropsThem) {
    sheet_.GetRange("B2", "B2").PutValue2("v");
    EXPECT_TRUE(book_.Close(xl::Arg::I4(1), xl::Arg::Text(Path("closed.xlsx")), xl::Arg::I4(0)));
    WorkbookFile file;
    std::string error;
    ASSERT_TRUE(file.Load(Path("closed.xlsx"), error)) << error;
    EXPECT_EQ(file.Text("B2"), "v");
    // A closed workbook takes no more calls.
    EXPECT_FALSE(sheet_.GetRange("A1", "A1").PutValue2("late"));

    xl::Application other;
    ASSERT_TRUE(xl::Application::Create(other));
    xl::Workbook book = other.GetWorkbooks().Add();
    book.GetWorksheets().GetItem(xl::Arg::I2(1)).GetRange("A1", "A1").PutValue2("x");
    EXPECT_TRUE(book.Close(xl::Arg::I4(0), xl::Arg::Text(Path("dropped.xlsx")), xl::Arg::I4(0)));
    EXPECT_TRUE(other.Quit());
    EXPECT_FALSE(fs::exists(Path("dropped.xlsx")));
}

TEST_F(SpreadsheetTest, VisibleShowsTheSavedWorkbookOnce) {
    shell_.Associate(".xlsx", "prog");
    EXPECT_TRUE(app_.PutVisible(true));
    EXPECT_TRUE(shell_.Starts().empty());  // nothing saved yet
    sheet_.GetRange("A1", "A1").PutValue2("x");
    ASSERT_TRUE(Save(Path("shown.xlsx")));
    EXPECT_TRUE(app_.PutVisible(true));
    EXPECT_EQ(shell_.Starts(), std::vector<std::string>{"prog " + Path("shown.xlsx")});
}

TEST_F(SpreadsheetTest, TextsReachTheFileIntact) {
    const std::string odd = "a&b<c>\"d\" 'e'";
    const std::string hangul = "\xEA\xB0\x80\xEB\x82\x98";  // two syllables
    sheet_.GetRange("A1", "A1").PutValue2(odd);
    sheet_.GetRange("A2", "A2").PutValue2(hangul);
    sheet_.GetRange("A3", "A3").PutValue2("0123");  // text stays text
    sheet_.GetRange("A4", "A4").PutValue2("bad\xFF");
    xl::Range across = sheet_.GetRange("B1", "C2");
    across.Merge(xl::Arg::I2(1));
    ASSERT_TRUE(Save(Path("texts.xlsx")));
    WorkbookFile file;
    std::string error;
    ASSERT_TRUE(file.Load(Path("texts.xlsx"), error)) << error;
    EXPECT_EQ(file.Text("A1"), odd);
    EXPECT_EQ(file.Text("A2"), hangul);
    EXPECT_EQ(file.Text("A3"), "0123");
    EXPECT_EQ(file.Text("A4"), "bad\xEF\xBF\xBD");  // replacement character
    EXPECT_EQ(file.merges, (std::vector<std::string>{"B1:C1", "B2:C2"}));
}

}  // namespace
