// The desktop's shell service: file types and their default applications through
// xdg-mime, documents opened through xdg-open, programs started detached.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "platform/qt/Shell.h"

namespace platform {

class DesktopShell : public ShellService {
public:
    // The launcher (xdg-open) when the file's type has a default application whose desktop
    // entry is installed; empty otherwise, and when the desktop tools are missing.
    std::string FindExecutable(const std::string& file) override;
    // The same program with the same arguments started again within a few seconds is not
    // started twice: the export shows its workbook and a view may then open the same file.
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override;
    bool OpenDocument(const std::string& file) override;

private:
    std::mutex mutex_;
    std::string lastCommand_;
    std::chrono::steady_clock::time_point lastStart_{};
};

}  // namespace platform
