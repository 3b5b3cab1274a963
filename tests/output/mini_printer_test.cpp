#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "output/MiniPrinter.h"
#include "platform/qt/PrintDevice.h"
#include "tests/output/RecordingPrinter.h"

using platform::MulDiv;

TEST(MulDivTest, RoundsToNearestWithHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(1, 180, 72), 3);  // 2.5
    EXPECT_EQ(MulDiv(-1, 180, 72), -3);
    EXPECT_EQ(MulDiv(1, -180, 72), -3);
    EXPECT_EQ(MulDiv(1, 180, -72), -3);
    EXPECT_EQ(MulDiv(-1, -180, 72), 3);
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(-7, 1, 2), -4);
    EXPECT_EQ(MulDiv(1, 1, 3), 0);
    EXPECT_EQ(MulDiv(2, 1, 3), 1);
    EXPECT_EQ(MulDiv(-2, 1, 3), -1);
    EXPECT_EQ(MulDiv(12, 203, 72), 34);   // 33.83
    EXPECT_EQ(MulDiv(16, 203, 72), 45);   // 45.11
    EXPECT_EQ(MulDiv(130, 203, 72), 367); // 366.53
}

TEST(MulDivTest, FormsTheProductAtDoubleWidth) {
    EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
    EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(MulDiv(INT_MIN, 2, 2), INT_MIN);
}

TEST(MulDivTest, ZeroDivisorAndOverflowGiveMinusOne) {
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
    EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(MulDiv(INT_MIN, 2, 1), -1);
}

// At 203 dpi: 20 pt = 56, 10 pt = 28, 2 pt = 6, 130 pt = 367, 12 pt = 34, 16 pt = 45 device
// units. The recording device's text is 34 high and 17 wide per byte in the 12-point font.
class MiniPrinterTest : public ::testing::Test {
protected:
    // Opens, starts the job, makes the 12/16 set, margins 20/130/20/10, spacing 2, page.
    void StartTicketPage() {
        ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
        ASSERT_EQ(printer.StartJob(), 0);
        ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), 0);
        printer.SetMargins(20, 130, 20, 10);
        printer.SetLineSpacing(2);
        ASSERT_EQ(printer.BeginPage(), 0);
        rec.recording->texts.clear();
    }
    const platform::PrintRecording::Text& Text(size_t i) const { return rec.recording->texts.at(i); }

    RecordingPrinter rec;
    CMiniPrinter printer;
};

TEST_F(MiniPrinterTest, FontSetsTakeIndexesUpToTenAndTheEleventhIsRefused) {
    ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), i);
    EXPECT_EQ(printer.CreateFontSet("Arial", 12, 16), 5);
    for (int i = 6; i < 10; ++i) ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), i);
    const size_t fontsBefore = rec.Calls("CreateFont").size();
    EXPECT_EQ(fontsBefore, 40u);

    EXPECT_EQ(printer.CreateFontSet("Arial", 12, 16), -1);
    EXPECT_EQ(rec.Calls("CreateFont").size(), fontsBefore);
}

TEST_F(MiniPrinterTest, FontSetHoldsRegularAndBoldAtBothSizesAndSelectsRegularFirst) {
    ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
    ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), 0);
    const std::vector<std::string> expected{
        "CreateFont 1 \"Arial\" -34 400", "CreateFont 2 \"Arial\" -34 700",
        "CreateFont 3 \"Arial\" -45 400", "CreateFont 4 \"Arial\" -45 700"};
    EXPECT_EQ(rec.Calls("CreateFont"), expected);
    ASSERT_FALSE(rec.Calls("SelectFont").empty());
    EXPECT_EQ(rec.Calls("SelectFont").back(), "SelectFont 1");
}

TEST_F(MiniPrinterTest, EachSetRemembersItsStyle) {
    ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
    ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), 0);  // fonts 1-4
    ASSERT_EQ(printer.CreateFontSet("Arial", 8, 10), 1);   // fonts 5-8
    printer.SelectFontStyle(0, 3);
    printer.SelectFontSet(1);
    printer.SelectFontSet(0);
    EXPECT_EQ(rec.Calls("SelectFont").back(), "SelectFont 4");
    printer.SelectFontSet(1);
    EXPECT_EQ(rec.Calls("SelectFont").back(), "SelectFont 5");

    // Sets and styles that do not exist change nothing.
    const size_t selects = rec.Calls("SelectFont").size();
    printer.SelectFontSet(2);
    printer.SelectFontStyle(0, 4);
    printer.SelectFontStyle(-1, 0);
    EXPECT_EQ(rec.Calls("SelectFont").size(), selects);
}

TEST_F(MiniPrinterTest, LongFaceNameIsCutToThirtyOneBytesOnACharacterBoundary) {
    ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
    const std::string face = std::string(30, 'x') + "\xea\xb0\x80";  // 30 + one 3-byte character
    ASSERT_EQ(printer.CreateFontSet(face, 12, 16), 0);
    EXPECT_EQ(rec.Calls("CreateFont").front(), "CreateFont 1 \"" + std::string(30, 'x') + "\" -34 400");
}

TEST_F(MiniPrinterTest, TicketLinesStartAtTheMarginsAndAdvanceByHeightPlusSpacing) {
    StartTicketPage();
    printer.PrintLine("AB", PRINT_LEFT, 0);
    printer.PrintLine("CD", PRINT_LEFT, 0);
    printer.PrintLine("EF", PRINT_LEFT, 10);
    ASSERT_EQ(rec.recording->texts.size(), 3u);
    EXPECT_EQ(Text(0).x, 56);
    EXPECT_EQ(Text(0).y, 56);
    EXPECT_EQ(Text(1).y, 56 + 40);
    EXPECT_EQ(Text(2).x, 56 + 28);
    EXPECT_EQ(Text(2).y, 56 + 80);
}

TEST_F(MiniPrinterTest, MarginsOfMinusOneAreKeptAndYAlwaysReturnsToTheTop) {
    StartTicketPage();
    printer.PrintLine("AB", PRINT_LEFT, 0);
    printer.SetMargins(-1, -1, 40, -1);  // only the left margin changes
    printer.PrintLine("AB", PRINT_LEFT, 0);
    printer.PrintLine("ABC", PRINT_RIGHT, 0);
    ASSERT_EQ(rec.recording->texts.size(), 3u);
    EXPECT_EQ(Text(1).x, 113);           // 40 pt
    EXPECT_EQ(Text(1).y, 56);            // top margin unchanged, and y back at it
    EXPECT_EQ(Text(2).x + 51, 576 - 28); // right margin unchanged

    printer.SetMargins(30, -1, -1, -1);
    printer.PrintLine("AB", PRINT_LEFT, 0);
    EXPECT_EQ(Text(3).y, 85);  // 30 pt
    EXPECT_EQ(Text(3).x, 113);
}

TEST_F(MiniPrinterTest, EmptyLineAdvancesByTheHeightOfA) {
    StartTicketPage();
    printer.PrintLine("", PRINT_LEFT, 0);
    printer.PrintLine("AB", PRINT_LEFT, 0);
    EXPECT_EQ(rec.Calls("TextExtent").front(), "TextExtent \"A\" 17x34");
    ASSERT_EQ(rec.recording->texts.size(), 2u);
    EXPECT_EQ(Text(0).text, "");
    EXPECT_EQ(Text(1).y, 56 + 6 + 34);
}

TEST_F(MiniPrinterTest, NoLineFeedKeepsTheLineForARightAlignedValue) {
    StartTicketPage();
    printer.PrintLine("Total", PRINT_LEFT | PRINT_NOLF, 0);
    printer.PrintLine("ABC", PRINT_RIGHT, 0);
    printer.PrintLine("next", PRINT_LEFT, 0);
    ASSERT_EQ(rec.recording->texts.size(), 3u);
    EXPECT_EQ(Text(1).y, Text(0).y);
    EXPECT_EQ(Text(1).x, 56 + (576 - 56 - 28 - 51));
    EXPECT_EQ(Text(2).y, Text(0).y + 40);
}

TEST_F(MiniPrinterTest, CentreUsesHalfThePageWidthMinusHalfTheTextWidth) {
    StartTicketPage();
    printer.PrintLine("ABC", PRINT_CENTER, 0);              // 51 wide: half is 25
    printer.PrintLine("ABC", PRINT_CENTER | PRINT_RIGHT, 0); // both adjustments add up
    ASSERT_EQ(rec.recording->texts.size(), 2u);
    EXPECT_EQ(Text(0).x, 56 + 288 - 25);
    EXPECT_EQ(Text(1).x, 56 + 288 - 25 + (576 - 56 - 28 - 51));
}

TEST_F(MiniPrinterTest, LineThatWouldReachTheBottomMarginGoesToTheTopOfANewPage) {
    // Page height chosen so that the third line ends exactly at the bottom margin.
    rec.recording->printableHeight = 367 + 56 + 3 * 40;
    StartTicketPage();
    for (const char* text : {"L1", "L2", "L3", "L4", "L5"}) printer.PrintLine(text, PRINT_LEFT, 0);
    ASSERT_EQ(rec.recording->texts.size(), 5u);
    EXPECT_EQ(Text(2).page, 1);
    EXPECT_EQ(Text(2).y, 56 + 80);
    EXPECT_EQ(Text(3).page, 2);
    EXPECT_EQ(Text(3).y, 56);
    EXPECT_EQ(Text(4).page, 2);
    EXPECT_EQ(Text(4).y, 96);
    EXPECT_EQ(rec.Calls("EndPage").size(), 1u);
    EXPECT_EQ(rec.Calls("StartPage").size(), 2u);
}

TEST_F(MiniPrinterTest, OneUnitLessPrintableHeightMovesTheThirdLineToTheNextPage) {
    // The third line's text alone (y 136 + 34) still fits; only with the spacing (6) does it
    // reach one unit into the bottom margin.
    rec.recording->printableHeight = 367 + 56 + 3 * 40 - 1;
    StartTicketPage();
    for (const char* text : {"L1", "L2", "L3"}) printer.PrintLine(text, PRINT_LEFT, 0);
    ASSERT_EQ(rec.recording->texts.size(), 3u);
    EXPECT_EQ(Text(1).page, 1);
    EXPECT_EQ(Text(2).page, 2);
    EXPECT_EQ(Text(2).y, 56);
}

TEST_F(MiniPrinterTest, TextWiderThanThePageIsOneLineWithoutWrapping) {
    StartTicketPage();
    const std::string wide(100, 'W');  // 1700 wide on a 576-wide page
    printer.PrintLine(wide, PRINT_LEFT, 0);
    printer.PrintLine("next", PRINT_LEFT, 0);
    ASSERT_EQ(rec.recording->texts.size(), 2u);
    EXPECT_EQ(Text(0).text, wide);
    EXPECT_EQ(Text(0).x, 56);
    EXPECT_EQ(Text(1).y, 96);
}

TEST_F(MiniPrinterTest, FailedPageStartLeavesYAndReportsMinusOne) {
    StartTicketPage();
    printer.PrintLine("AB", PRINT_LEFT, 0);
    printer.FinishPage();
    rec.recording->failStartPage = true;
    EXPECT_EQ(printer.BeginPage(), -1);
    rec.recording->failStartPage = false;
    printer.PrintLine("CD", PRINT_LEFT, 0);  // no page is open: drawn nowhere, at y 96
    EXPECT_EQ(rec.recording->calls.back(), "TextOut 56 96 \"CD\" -> fail");
}

TEST_F(MiniPrinterTest, RefusedJobReportsMinusOne) {
    rec.recording->failStartDoc = true;
    ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
    EXPECT_EQ(printer.StartJob(), -1);
    EXPECT_EQ(printer.BeginPage(), -1);
}

TEST_F(MiniPrinterTest, WithoutAPrinterNothingReachesAnyDevice) {
    EXPECT_EQ(printer.OpenPrinter(""), -1);
    EXPECT_EQ(printer.StartJob(), -1);
    EXPECT_EQ(printer.CreateFontSet("Arial", 12, 16), -1);
    EXPECT_EQ(printer.SetMargins(20, 130, 20, 10), 0);
    EXPECT_EQ(printer.BeginPage(), -1);
    printer.PrintLine("AB", PRINT_LEFT, 0);
    printer.BreakPage();
    printer.FinishPage();
    printer.EndJob();
    EXPECT_TRUE(rec.recording->calls.empty());
}

TEST(MiniPrinterLifetimeTest, EndJobDetachesAndDestructionDeletesFontsBeforeTheDevice) {
    RecordingPrinter rec;
    {
        CMiniPrinter printer;
        ASSERT_EQ(printer.OpenPrinter("receipt"), 0);
        ASSERT_EQ(printer.StartJob(), 0);
        ASSERT_EQ(printer.CreateFontSet("Arial", 12, 16), 0);
        ASSERT_EQ(printer.BeginPage(), 0);
        printer.FinishPage();
        printer.EndJob();
        const size_t calls = rec.recording->calls.size();
        printer.PrintLine("late", PRINT_LEFT, 0);
        EXPECT_EQ(printer.BeginPage(), -1);
        EXPECT_EQ(rec.recording->calls.size(), calls);
    }
    const std::vector<std::string> tail(rec.recording->calls.end() - 6, rec.recording->calls.end());
    const std::vector<std::string> expected{"EndDoc", "DeleteFont 1", "DeleteFont 2",
                                            "DeleteFont 3", "DeleteFont 4", "DeleteDC"};
    EXPECT_EQ(tail, expected);
}
