#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "output/Ticket.h"
#include "platform/qt/PrintDevice.h"
#include "platform/qt/QtPrintDevice.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Fixture.h"

using platform::QtPrintDevice;

namespace {

constexpr char kDocumentName[] = "오르반타";

std::vector<std::string> PdfFiles(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".pdf") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Standard output of a command, its complaints left out; ok is false when it failed.
std::string RunCommand(const std::vector<std::string>& command, bool* ok) {
    const ChildResult result = RunChild(command, {.errPath = "/dev/null"});
    *ok = result.exitCode == 0;
    return result.out;
}

// One job of one page with one line of text.
bool PrintOneLine(platform::PrintDevice& device, const std::string& text) {
    return device.StartDoc(kDocumentName) && device.StartPage() && device.TextOut(10, 10, text) &&
           device.EndPage() && device.EndDoc();
}

}  // namespace

TEST(QtPrintDeviceTest, NamesThatAreNeitherAPrinterNorAFolderDoNotOpen) {
    TempDir dir;
    std::ofstream(dir.File("plain")) << "x";
    EXPECT_EQ(platform::OpenPrintDevice(""), nullptr);
    EXPECT_EQ(platform::OpenPrintDevice("No Such Receipt Printer 8907"), nullptr);
    EXPECT_EQ(platform::OpenPrintDevice("pdf:"), nullptr);
    EXPECT_EQ(platform::OpenPrintDevice("pdf:" + dir.File("plain")), nullptr);  // a file, not a folder
}

TEST(QtPrintDeviceTest, PdfPrinterIsAnEightyMillimetreReceipt) {
    TempDir dir;
    auto device = QtPrintDevice::Open("pdf:" + dir.File("new/tickets"));  // made on demand
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("new/tickets")));
    EXPECT_EQ(device->HorizontalResolution(), 203);
    EXPECT_EQ(device->VerticalResolution(), 203);
    // 72 mm printable of 80 mm paper, at 203 dpi about 575 dots.
    EXPECT_NEAR(device->PrintableWidth(), 575, 5);
    EXPECT_NEAR(device->PrintableHeight(), 1598, 5);
}

TEST(QtPrintDeviceTest, EveryJobIsItsOwnPdfAndAJobWithoutPagesWritesNothing) {
    TempDir dir;
    auto device = QtPrintDevice::Open("pdf:" + dir.Path());
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(PrintOneLine(*device, "first"));
    ASSERT_TRUE(PrintOneLine(*device, "second"));
    ASSERT_TRUE(device->StartDoc(kDocumentName));
    ASSERT_TRUE(device->EndDoc());
    // A job abandoned before it ended leaves no file either.
    ASSERT_TRUE(device->StartDoc(kDocumentName));
    ASSERT_TRUE(device->StartPage());
    device.reset();
    const std::vector<std::string> files = PdfFiles(dir.Path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_GT(std::filesystem::file_size(files[0]), 0u);
    EXPECT_GT(std::filesystem::file_size(files[1]), 0u);
}

TEST(QtPrintDeviceTest, DrawingNeedsAnOpenPage) {
    TempDir dir;
    auto device = QtPrintDevice::Open("pdf:" + dir.Path());
    ASSERT_NE(device, nullptr);
    EXPECT_FALSE(device->StartPage());  // no job yet
    EXPECT_FALSE(device->TextOut(0, 0, "x"));
    ASSERT_TRUE(device->StartDoc(kDocumentName));
    EXPECT_FALSE(device->StartDoc(kDocumentName));
    EXPECT_FALSE(device->TextOut(0, 0, "x"));
    ASSERT_TRUE(device->StartPage());
    EXPECT_FALSE(device->StartPage());
    EXPECT_TRUE(device->TextOut(0, 0, "x"));
    EXPECT_TRUE(device->EndPage());
    EXPECT_FALSE(device->TextOut(0, 0, "x"));
    EXPECT_TRUE(device->EndDoc());
    EXPECT_FALSE(device->EndDoc());
}

TEST(QtPrintDeviceTest, ArialResolvesToAMetricCompatibleFaceWithAKoreanFallback) {
    QFont font;
    font.setFamilies(QtPrintDevice::FontFamilies("Arial"));
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    EXPECT_TRUE(QtPrintDevice::FontFamilies("Arial").contains("NanumGothic"));
    EXPECT_TRUE(QtPrintDevice::FontFamilies("arial").contains("Liberation Sans"));
}

TEST(QtPrintDeviceTest, FontHeightsAreDeviceUnits) {
    TempDir dir;
    auto device = QtPrintDevice::Open("pdf:" + dir.Path());
    ASSERT_NE(device, nullptr);
    const platform::FontHandle small = device->CreateFont({"Arial", -34, 400});
    const platform::FontHandle large = device->CreateFont({"Arial", -68, 700});
    ASSERT_TRUE(device->SelectFont(small));
    const platform::TextSize a = device->TextExtent("ABCDEFGH");
    ASSERT_TRUE(device->SelectFont(large));
    const platform::TextSize b = device->TextExtent("ABCDEFGH");
    // A 34-pixel em: the cell is a little taller than the em, never much more.
    EXPECT_GE(a.cy, 34);
    EXPECT_LE(a.cy, 45);
    EXPECT_GT(b.cx, 2 * a.cx - 8);  // bold and twice the size
    EXPECT_GE(b.cy, 2 * a.cy - 2);
    // A positive height asks for the cell height.
    const platform::FontHandle cell = device->CreateFont({"Arial", 40, 400});
    ASSERT_TRUE(device->SelectFont(cell));
    EXPECT_NEAR(device->TextExtent("A").cy, 40, 1);
    EXPECT_FALSE(device->SelectFont(999));
    EXPECT_TRUE(device->DeleteFont(cell));
    EXPECT_FALSE(device->DeleteFont(cell));
}

// The whole road: the ticket helper on the virtual receipt printer, read back from the PDF.
TEST(QtPrintDeviceTest, TicketPrintedToPdfContainsItsKoreanLines) {
    TempDir dir;
    TicketFields fields;
    fields.recvPhone = "02-1234-5678";
    fields.callerId = "010-9876-5432";
    fields.dialDate = "2026-12-08";
    fields.dialTime = "14:03:27";
    fields.commTime = "35";
    fields.loanType = "신용";
    fields.amount = "3000";
    ASSERT_TRUE(PrintTicket("pdf:" + dir.Path(), fields, true));
    const std::vector<std::string> files = PdfFiles(dir.Path());
    ASSERT_EQ(files.size(), 1u);

    bool ok = false;
    const std::string text = RunCommand({"pdftotext", "-enc", "UTF-8", "-layout", files[0], "-"}, &ok);
    ASSERT_TRUE(ok) << "pdftotext failed or is missing (scripts/bootstrap installs poppler-utils)";
    for (std::string line : TicketLines(fields, true)) {
        while (!line.empty() && line.back() == ' ') line.pop_back();  // text extraction drops them
        EXPECT_NE(text.find(line), std::string::npos) << "missing \"" << line << "\" in:\n" << text;
    }

    const std::string info = RunCommand({"pdfinfo", "-enc", "UTF-8", files[0]}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_NE(info.find(std::string("Title:           ") + kDocumentName), std::string::npos) << info;
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;

    // Hangul needs a Korean face embedded next to the Latin one.
    const std::string fonts = RunCommand({"pdffonts", files[0]}, &ok);
    ASSERT_TRUE(ok);
    EXPECT_NE(fonts.find("NanumGothic"), std::string::npos) << fonts;
    EXPECT_TRUE(fonts.find("LiberationSans") != std::string::npos || fonts.find("Arial") != std::string::npos)
        << fonts;
}
