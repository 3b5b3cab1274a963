// The receipt ("mini") printer: one object per ticket. Lengths given by callers are points
// (1/72 inch) and are converted to the printer's device units when used; positions are
// device units from the top-left corner of the printable area.
#pragma once

#include <memory>
#include <string>

#include "platform/qt/PrintDevice.h"

// PrintLine flags
constexpr int PRINT_CENTER = 1;
constexpr int PRINT_LEFT = 2;  // the default position; the flag changes nothing
constexpr int PRINT_RIGHT = 4;
constexpr int PRINT_NOLF = 8;

class CMiniPrinter {
public:
    static constexpr int MAX_FONT_SETS = 10;
    static constexpr int FONTS_PER_SET = 4;
    static constexpr int MAX_FACE_NAME = 31;  // bytes of a face name that are kept

    CMiniPrinter();
    ~CMiniPrinter();
    CMiniPrinter(const CMiniPrinter&) = delete;
    CMiniPrinter& operator=(const CMiniPrinter&) = delete;

    // 0, or -1 when there is no printer of that name.
    int OpenPrinter(const std::string& printerName);
    // Starts the job under the application title and reads the printable size; 0 or -1.
    int StartJob();
    // -1 keeps a margin; y moves to the top margin. Always 0.
    int SetMargins(int top, int bottom, int left, int right);
    void SetLineSpacing(int points);
    // Slots: 0 regular size1, 1 bold size1, 2 regular size2, 3 bold size2. Selects slot 0
    // of the new set and makes it current. The set's index, or -1 when ten sets exist (or
    // no printer is open).
    int CreateFontSet(const std::string& faceName, int size1, int size2);
    void SelectFontSet(int fontSet);
    void SelectFontStyle(int fontSet, int style);
    // 0, or -1 when the page cannot be started (y is then left as it was).
    int BeginPage();
    // One line at y; flags PRINT_*; offset in points, added to x.
    void PrintLine(const std::string& text, int flags, int offset);
    void BreakPage();
    void FinishPage();
    // Ends the job and detaches from the printer; later calls do nothing.
    // 0 when the job was handed over whole; -1 without a job or when finishing it failed.
    int EndJob();
    // Why the printer's last failed call failed, for the diagnostics log; empty when no
    // printer was opened or it cannot tell.
    std::string LastError() const;

private:
    int ToDeviceX(int points) const;
    int ToDeviceY(int points) const;

    int m_nFontSetCount = 0;
    int m_nPageWidth = 0;
    int m_nPageHeight = 0;
    platform::FontHandle m_fonts[MAX_FONT_SETS][FONTS_PER_SET] = {};
    int m_nMarginLeft = 0;
    int m_nMarginTop = 0;
    int m_nMarginRight = 0;
    int m_nMarginBottom = 0;
    int m_nCurStyle[MAX_FONT_SETS];
    int m_nY = 0;
    int m_nLineSpacing = 0;
    platform::PrintDevice* m_hPrinterDC = nullptr;       // the attached device; null when none
    std::unique_ptr<platform::PrintDevice> m_dcPrinter;  // owns what OpenPrinter created
    int m_nCurFontSet = -1;
};
