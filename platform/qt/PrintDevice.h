// The printer device context: what the ticket printer draws on. Lengths are device units
// (pixels of the printer), the origin is the top-left corner of the printable area, and
// text positions name the top-left corner of the text cell. Texts are UTF-8.
//
// Production code asks OpenPrintDevice for the device of a printer name; tests install a
// factory that hands out recording devices instead.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// value × multiplier / divisor with the product at double width, rounded to the nearest
// integer with halves away from zero. -1 when the divisor is 0 or the result does not fit
// in 32 bits (so -1 is also a genuine result; callers that convert lengths never hit the
// overflow).
int MulDiv(int value, int multiplier, int divisor);

struct FontRequest {
    std::string face;
    int height = 0;    // device units; negative asks for the character height, positive for
                       // the cell height, 0 for a default size
    int weight = 400;  // 100..900, 400 regular, 700 bold; 0 means regular
};

struct TextSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const TextSize&) const = default;
};

using FontHandle = int;  // 0 is no font

class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    // Pixels per inch, horizontally and vertically.
    virtual int HorizontalResolution() const = 0;
    virtual int VerticalResolution() const = 0;
    // Size of the printable area in pixels.
    virtual int PrintableWidth() const = 0;
    virtual int PrintableHeight() const = 0;

    // The font lives until DeleteFont or the device's end; 0 when it cannot be made.
    virtual FontHandle CreateFont(const FontRequest& request) = 0;
    virtual bool DeleteFont(FontHandle font) = 0;
    // Later measuring and drawing use this font.
    virtual bool SelectFont(FontHandle font) = 0;

    // Advance width and cell height of the text in the selected font.
    virtual TextSize TextExtent(std::string_view text) = 0;
    // Draws one line of text, its cell's top-left corner at (x, y); there is no wrapping.
    virtual bool TextOut(int x, int y, std::string_view text) = 0;

    virtual bool StartDoc(const std::string& documentName) = 0;
    // True only when the job was handed over whole (for a print queue: the queue took it).
    virtual bool EndDoc() = 0;
    virtual bool StartPage() = 0;
    virtual bool EndPage() = 0;

    // Why the last call that failed did, in words for the diagnostics log; empty when the
    // device cannot tell.
    virtual std::string LastError() const { return {}; }
};

using PrintDeviceFactory = std::function<std::unique_ptr<PrintDevice>(const std::string& printerName)>;

// The device for a printer name, or null when there is none of that name. Without an
// installed factory: an installed printer of that name, or "pdf:DIR" for the virtual
// receipt printer writing one PDF per job into DIR.
std::unique_ptr<PrintDevice> OpenPrintDevice(const std::string& printerName);

// Replaces the factory; an empty function restores the default. Returns the previous one.
PrintDeviceFactory SetPrintDeviceFactory(PrintDeviceFactory factory);

}  // namespace platform
