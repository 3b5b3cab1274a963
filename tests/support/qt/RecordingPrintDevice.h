// A printer device for tests: a fixed resolution, a deterministic text metric and a log
// of every call with its arguments, one line per call, so a drawing can be compared with a
// golden file. Devices made by Factory() write into a shared recording that outlives them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/PrintDevice.h"

namespace platform {

struct PrintRecording {
    // How devices bound to this recording behave.
    int resolution = 203;         // pixels per inch, both directions (a receipt printer)
    int printableWidth = 576;     // 72 mm at 203 dpi
    int printableHeight = 1600;
    bool failStartDoc = false;
    bool failStartPage = false;
    bool failEndDoc = false;  // the job cannot be finished (spooler or disk failure)

    // One line per call, e.g. `TextOut 56 56 "text"`; a failed call ends in " -> fail".
    std::vector<std::string> calls;
    // The texts drawn, with their positions, for tests that only care about output.
    struct Text {
        int x;
        int y;
        std::string text;
        int page;  // 1 for the first page of the job
    };
    std::vector<Text> texts;
};

class RecordingPrintDevice : public PrintDevice {
public:
    // Cell height of a text when no font is selected.
    static constexpr int kDefaultFontHeight = 16;

    RecordingPrintDevice(std::string printerName, std::shared_ptr<PrintRecording> recording);
    ~RecordingPrintDevice() override;
    RecordingPrintDevice(const RecordingPrintDevice&) = delete;
    RecordingPrintDevice& operator=(const RecordingPrintDevice&) = delete;

    // A factory that opens a recording device for every name except the empty one.
    static PrintDeviceFactory Factory(std::shared_ptr<PrintRecording> recording);

    int HorizontalResolution() const override { return recording_->resolution; }
    int VerticalResolution() const override { return recording_->resolution; }
    int PrintableWidth() const override { return recording_->printableWidth; }
    int PrintableHeight() const override { return recording_->printableHeight; }

    FontHandle CreateFont(const FontRequest& request) override;
    bool DeleteFont(FontHandle font) override;
    bool SelectFont(FontHandle font) override;

    // Cell height = the font's height in device units (the absolute value); width = half
    // of it per code-page byte, so a Hangul syllable is as wide as it is high and a Latin
    // letter half that.
    TextSize TextExtent(std::string_view text) override;
    bool TextOut(int x, int y, std::string_view text) override;

    bool StartDoc(const std::string& documentName) override;
    bool EndDoc() override;
    bool StartPage() override;
    bool EndPage() override;

private:
    bool Log(std::string call, bool ok);
    int SelectedHeight() const;

    std::shared_ptr<PrintRecording> recording_;
    std::vector<FontRequest> fonts_;  // handle = index + 1; a deleted font keeps its slot
    std::vector<bool> live_;
    FontHandle selected_ = 0;
    bool inDoc_ = false;
    bool pageOpen_ = false;
    int page_ = 0;
};

}  // namespace platform
