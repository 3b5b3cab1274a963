#include "output/MiniPrinter.h"

#include <algorithm>
#include <iterator>

namespace {

// The application title, used as the document name of every job.
constexpr char kDocumentName[] = "오르반타";

constexpr int kRegularWeight = 400;
constexpr int kBoldWeight = 700;

// Cuts at a character boundary so a long UTF-8 face name never ends in half a character.
std::string TruncateFaceName(const std::string& face) {
    if (face.size() <= static_cast<size_t>(CMiniPrinter::MAX_FACE_NAME)) return face;
    size_t end = CMiniPrinter::MAX_FACE_NAME;
    while (end > 0 && (static_cast<unsigned char>(face[end]) & 0xC0) == 0x80) --end;
    return face.substr(0, end);
}

}  // namespace

CMiniPrinter::CMiniPrinter() { std::fill(std::begin(m_nCurStyle), std::end(m_nCurStyle), -1); }

CMiniPrinter::~CMiniPrinter() {
    // Fonts first, then the device they were made for.
    if (m_dcPrinter) {
        for (auto& set : m_fonts) {
            for (platform::FontHandle& font : set) {
                if (font != 0) m_dcPrinter->DeleteFont(font);
                font = 0;
            }
        }
    }
    m_hPrinterDC = nullptr;
    m_dcPrinter.reset();
}

int CMiniPrinter::ToDeviceX(int points) const {
    return m_hPrinterDC ? platform::MulDiv(points, m_hPrinterDC->HorizontalResolution(), 72) : 0;
}

int CMiniPrinter::ToDeviceY(int points) const {
    return m_hPrinterDC ? platform::MulDiv(points, m_hPrinterDC->VerticalResolution(), 72) : 0;
}

int CMiniPrinter::OpenPrinter(const std::string& printerName) {
    if (m_dcPrinter) return -1;  // one printer per object
    m_dcPrinter = platform::OpenPrintDevice(printerName);
    if (!m_dcPrinter) return -1;
    m_hPrinterDC = m_dcPrinter.get();
    return 0;
}

int CMiniPrinter::StartJob() {
    if (!m_hPrinterDC || !m_hPrinterDC->StartDoc(kDocumentName)) return -1;
    m_nPageWidth = m_hPrinterDC->PrintableWidth();
    m_nPageHeight = m_hPrinterDC->PrintableHeight();
    return 0;
}

int CMiniPrinter::SetMargins(int top, int bottom, int left, int right) {
    if (top != -1) m_nMarginTop = top;
    if (bottom != -1) m_nMarginBottom = bottom;
    if (left != -1) m_nMarginLeft = left;
    if (right != -1) m_nMarginRight = right;
    m_nY = ToDeviceY(m_nMarginTop);
    return 0;
}

void CMiniPrinter::SetLineSpacing(int points) { m_nLineSpacing = points; }

int CMiniPrinter::CreateFontSet(const std::string& faceName, int size1, int size2) {
    if (m_nFontSetCount >= MAX_FONT_SETS || !m_hPrinterDC) return -1;
    const int index = m_nFontSetCount;
    platform::FontRequest request;
    request.face = TruncateFaceName(faceName);
    // A negative height asks for the character height rather than the cell height.
    request.height = -ToDeviceY(size1);
    request.weight = kRegularWeight;
    m_fonts[index][0] = m_hPrinterDC->CreateFont(request);
    request.weight = kBoldWeight;
    m_fonts[index][1] = m_hPrinterDC->CreateFont(request);
    request.weight = kRegularWeight;
    request.height = -ToDeviceY(size2);
    m_fonts[index][2] = m_hPrinterDC->CreateFont(request);
    request.weight = kBoldWeight;
    m_fonts[index][3] = m_hPrinterDC->CreateFont(request);
    ++m_nFontSetCount;
    SelectFontStyle(index, 0);
    SelectFontSet(index);
    return index;
}

void CMiniPrinter::SelectFontSet(int fontSet) {
    if (!m_hPrinterDC || fontSet < 0 || fontSet >= m_nFontSetCount) return;
    m_nCurFontSet = fontSet;
    const int style = m_nCurStyle[fontSet];
    if (style >= 0) m_hPrinterDC->SelectFont(m_fonts[fontSet][style]);
}

void CMiniPrinter::SelectFontStyle(int fontSet, int style) {
    if (!m_hPrinterDC || fontSet < 0 || fontSet >= m_nFontSetCount || style < 0 || style >= FONTS_PER_SET) return;
    m_hPrinterDC->SelectFont(m_fonts[fontSet][style]);
    m_nCurStyle[fontSet] = style;
}

int CMiniPrinter::BeginPage() {
    if (!m_hPrinterDC || !m_hPrinterDC->StartPage()) return -1;
    m_nY = ToDeviceY(m_nMarginTop);
    return 0;
}

void CMiniPrinter::PrintLine(const std::string& text, int flags, int offset) {
    if (!m_hPrinterDC) return;
    const int left = ToDeviceX(m_nMarginLeft);
    const int right = ToDeviceX(m_nMarginRight);
    int x = left;

    // An empty line still takes the height of a line of text.
    const platform::TextSize size = m_hPrinterDC->TextExtent(text.empty() ? std::string_view("A") : text);

    if (flags & PRINT_CENTER) x += m_nPageWidth / 2 - size.cx / 2;
    if (flags & PRINT_RIGHT) x += m_nPageWidth - left - right - size.cx;
    x += ToDeviceX(offset);

    const int spacing = ToDeviceY(m_nLineSpacing);
    if (m_nY + spacing + size.cy > m_nPageHeight - ToDeviceY(m_nMarginBottom)) BreakPage();

    m_hPrinterDC->TextOut(x, m_nY, text);

    if (!(flags & PRINT_NOLF)) m_nY += spacing + size.cy;
}

void CMiniPrinter::BreakPage() {
    if (!m_hPrinterDC) return;
    m_hPrinterDC->EndPage();
    m_hPrinterDC->StartPage();
    m_nY = ToDeviceY(m_nMarginTop);
}

void CMiniPrinter::FinishPage() {
    if (m_hPrinterDC) m_hPrinterDC->EndPage();
}

std::string CMiniPrinter::LastError() const { return m_dcPrinter ? m_dcPrinter->LastError() : std::string(); }

int CMiniPrinter::EndJob() {
    if (!m_hPrinterDC) return -1;
    const bool ended = m_hPrinterDC->EndDoc();
    m_hPrinterDC = nullptr;
    return ended ? 0 : -1;
}
