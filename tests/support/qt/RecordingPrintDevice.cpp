#include "tests/support/qt/RecordingPrintDevice.h"

#include <cstdlib>
#include <utility>

#include "platform/CodePage.h"

namespace platform {

namespace {

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

RecordingPrintDevice::RecordingPrintDevice(std::string printerName, std::shared_ptr<PrintRecording> recording)
    : recording_(std::move(recording)) {
    Log("CreateDC " + Quoted(printerName), true);
}

RecordingPrintDevice::~RecordingPrintDevice() { Log("DeleteDC", true); }

PrintDeviceFactory RecordingPrintDevice::Factory(std::shared_ptr<PrintRecording> recording) {
    return [recording](const std::string& printerName) -> std::unique_ptr<PrintDevice> {
        if (printerName.empty()) return nullptr;
        return std::make_unique<RecordingPrintDevice>(printerName, recording);
    };
}

bool RecordingPrintDevice::Log(std::string call, bool ok) {
    if (!ok) call += " -> fail";
    recording_->calls.push_back(std::move(call));
    return ok;
}

FontHandle RecordingPrintDevice::CreateFont(const FontRequest& request) {
    fonts_.push_back(request);
    live_.push_back(true);
    const auto handle = static_cast<FontHandle>(fonts_.size());
    Log("CreateFont " + std::to_string(handle) + " " + Quoted(request.face) + " " + std::to_string(request.height) + " " +
            std::to_string(request.weight),
        true);
    return handle;
}

bool RecordingPrintDevice::DeleteFont(FontHandle font) {
    const bool ok = font >= 1 && static_cast<size_t>(font) <= fonts_.size() && live_[font - 1];
    if (ok) {
        live_[font - 1] = false;
        if (selected_ == font) selected_ = 0;
    }
    return Log("DeleteFont " + std::to_string(font), ok);
}

bool RecordingPrintDevice::SelectFont(FontHandle font) {
    const bool ok = font >= 1 && static_cast<size_t>(font) <= fonts_.size() && live_[font - 1];
    if (ok) selected_ = font;
    return Log("SelectFont " + std::to_string(font), ok);
}

int RecordingPrintDevice::SelectedHeight() const {
    if (selected_ == 0) return kDefaultFontHeight;
    const int height = std::abs(fonts_[selected_ - 1].height);
    return height == 0 ? kDefaultFontHeight : height;
}

TextSize RecordingPrintDevice::TextExtent(std::string_view text) {
    const int height = SelectedHeight();
    const TextSize size{static_cast<int>(Cp949ByteLength(text)) * height / 2, height};
    Log("TextExtent " + Quoted(text) + " " + std::to_string(size.cx) + "x" + std::to_string(size.cy), true);
    return size;
}

bool RecordingPrintDevice::TextOut(int x, int y, std::string_view text) {
    const bool ok = pageOpen_;
    if (ok) recording_->texts.push_back({x, y, std::string(text), page_});
    return Log("TextOut " + std::to_string(x) + " " + std::to_string(y) + " " + Quoted(text), ok);
}

bool RecordingPrintDevice::StartDoc(const std::string& documentName) {
    const bool ok = !inDoc_ && !recording_->failStartDoc;
    if (ok) {
        inDoc_ = true;
        page_ = 0;
    }
    return Log("StartDoc " + Quoted(documentName), ok);
}

bool RecordingPrintDevice::EndDoc() {
    const bool ok = inDoc_ && !recording_->failEndDoc;
    inDoc_ = false;
    pageOpen_ = false;
    return Log("EndDoc", ok);
}

bool RecordingPrintDevice::StartPage() {
    const bool ok = inDoc_ && !pageOpen_ && !recording_->failStartPage;
    if (ok) {
        pageOpen_ = true;
        ++page_;
    }
    return Log("StartPage", ok);
}

bool RecordingPrintDevice::EndPage() {
    const bool ok = pageOpen_;
    pageOpen_ = false;
    return Log("EndPage", ok);
}

}  // namespace platform
