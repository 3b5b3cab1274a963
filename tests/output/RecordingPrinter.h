// Installs a recording printer factory for one test: every printer name except the empty
// one opens a device that writes into recording.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/qt/PrintDevice.h"
#include "tests/support/qt/RecordingPrintDevice.h"

class RecordingPrinter {
public:
    RecordingPrinter()
        : recording(std::make_shared<platform::PrintRecording>()),
          previous_(platform::SetPrintDeviceFactory(platform::RecordingPrintDevice::Factory(recording))) {}
    ~RecordingPrinter() { platform::SetPrintDeviceFactory(std::move(previous_)); }
    RecordingPrinter(const RecordingPrinter&) = delete;
    RecordingPrinter& operator=(const RecordingPrinter&) = delete;

    // The recorded calls whose text starts with prefix.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& call : recording->calls)
            if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
        return found;
    }

    std::shared_ptr<platform::PrintRecording> recording;

private:
    platform::PrintDeviceFactory previous_;
};
