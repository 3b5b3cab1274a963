// Both views' exports opened by a real spreadsheet program: LibreOffice Calc converts each
// exported file to comma-separated text, which must show the title, the output time, the
// captions and exactly the selected rows, telephone numbers with their leading 0.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "output/ExportSelection.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "tests/export/TableList.h"
#include "tests/support/qt/ScriptedShell.h"
#include "tests/support/ScriptedMessages.h"

namespace fs = std::filesystem;

namespace {

using Table = std::vector<std::vector<std::string>>;

constexpr char kTime[] = "12:34:56:789";
constexpr char kSubTitle[] = "출력시간:12:34:56:789";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

// Comma-separated lines as the program writes them: quoted fields may hold commas, doubled
// quotes and line ends.
Table ParseCsv(const std::string& text) {
    Table table;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            row.push_back(field);
            field.clear();
            table.push_back(row);
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        table.push_back(row);
    }
    return table;
}

class SpreadsheetProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "calc-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "start");
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir_, error);
    }

    // The file as the program reads it, written back as UTF-8 comma-separated text. inFilter
    // names the import filter with its options, or is empty to let the program choose.
    Table OpenInProgram(const fs::path& file, const std::string& inFilter) {
        const fs::path out = dir_ / "out";
        std::string command = "LC_ALL=C.UTF-8 timeout 180 soffice -env:UserInstallation=file://" +
                              (dir_ / "profile").string() + " --headless";
        if (!inFilter.empty()) command += " '--infilter=" + inFilter + "'";
        command += " --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir '" + out.string() + "' '" +
                   file.string() + "' >'" + (dir_ / "soffice.log").string() + "' 2>&1";
        const int status = std::system(command.c_str());
        const fs::path converted = out / file.filename().replace_extension(".csv");
        EXPECT_EQ(status, 0) << ReadAll(dir_ / "soffice.log");
        EXPECT_TRUE(fs::exists(converted)) << ReadAll(dir_ / "soffice.log");
        return ParseCsv(ReadAll(converted));
    }

    // What the export of list's selected rows must show: title, output time, captions, rows.
    static Table Expected(const std::string& title, const TableList& list) {
        const size_t width = list.headings.size();
        Table table;
        table.push_back(std::vector<std::string>(width));
        table.back()[0] = title;
        table.push_back(std::vector<std::string>(width));
        table.back()[0] = kSubTitle;
        table.push_back(list.headings);
        for (int row : list.selected) table.push_back(list.rows.at(static_cast<size_t>(row)));
        return table;
    }

    bool Export(const TableList& list, const std::string& title, const std::string& fileName,
                std::vector<int> textColumns) {
        ExportRequest request;
        request.list = &list;
        request.title = title;
        request.fileName = fileName;
        request.startDir = (dir_ / "start").string();
        request.timeText = kTime;
        request.textColumns = std::move(textColumns);
        request.openAfter = true;
        return ExportSelection(request);
    }

    fs::path dir_;
    platform::ScriptedMessages messages_;
    platform::ScriptedShell shell_;
};

TEST_F(SpreadsheetProgramTest, OptOutCsvShowsItsSelectedRowsWithLeadingZeros) {
    TableList list;
    list.headings = {"NO.", "서비스", "전화번호", "발신번호", "통화일자", "통화시각"};
    list.rows = {
        {"1", "101.서울센터", "0212345678", "01012345678", "20240101", "093000"},
        {"2", "102.부산", "0511112222", "0102223333", "20240101", "101500"},
        // Texts a program would otherwise run as a formula, or split at the comma.
        {"3", "=2*3", "0", "=HYPERLINK(\"x\")", "20240102", "000001"},
        {"4", "103.센터 \"본점\", 2층", "", "-", "20240102", "235959"},
        // Signs a program reads as a number or a sum, outside the text columns as well.
        {"5", "+007", "-0101", "+1+1", "-0101", "-2*3"},
        {"6", "-2*3", "+007", "-2*3", "+1+1", "+007"},
    };
    list.selected = {0, 2, 3, 4, 5};
    const std::string name = platform::StrFormat(kDenyExportFile, "20240101", "20240102");
    ASSERT_TRUE(Export(list, kDenyExportTitle, name, {2, 3}));
    const fs::path file = dir_ / "start" / name;
    // The name promises comma-separated text and the content keeps that promise; the byte
    // order mark makes the program's text import choose UTF-8, as the import below does.
    const std::string content = ReadAll(file);
    ASSERT_EQ(content.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(content.find('\0'), std::string::npos);
    EXPECT_EQ(OpenInProgram(file, "Text - txt - csv (StarCalc):44,34,76"), Expected(kDenyExportTitle, list));
}

TEST_F(SpreadsheetProgramTest, CallbackXlsShowsItsSelectedRows) {
    TableList list;
    list.headings = {"NO.", "서비스", "고객번호", "통화일자", "메모"};
    list.rows = {
        {"1", "101.서울센터", "0212345678", "20240101", "다시 전화"},
        {"2", "102.부산", "01012345678", "20240101", "=1+1"},
        {"3", "103.대구", "0531234567", "20240102", "a, \"b\""},
        {"4", "+007", "-0101", "+1+1", "-2*3"},
    };
    list.selected = {1, 2, 3};
    const std::string name = platform::StrFormat(kCallbackExportFile, (dir_ / "start").string().c_str());
    ASSERT_TRUE(Export(list, kCallbackExportTitle, name, {}));
    EXPECT_EQ(OpenInProgram(dir_ / "start" / "콜백데이터목록.xls", ""), Expected(kCallbackExportTitle, list));
}

}  // namespace
