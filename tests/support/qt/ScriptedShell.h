// A shell service for tests: installs itself while it lives, associates programs with file
// name extensions as the test says, and records every start instead of starting anything.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/qt/Shell.h"

namespace platform {

class ScriptedShell : public ShellService {
public:
    ScriptedShell();
    ~ScriptedShell() override;
    ScriptedShell(const ScriptedShell&) = delete;
    ScriptedShell& operator=(const ScriptedShell&) = delete;

    // Files whose name ends in extension (".xls", compared without regard to case) open
    // with program.
    void Associate(const std::string& extension, const std::string& program);
    void FailStarts(bool fail) { failStarts_ = fail; }

    // Answers from the associations; like the desktop's, only for files that exist.
    std::string FindExecutable(const std::string& file) override;
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) override;
    bool OpenDocument(const std::string& file) override;

    // "PROGRAM ARG..." per start, in order, failed ones included.
    const std::vector<std::string>& Starts() const { return starts_; }
    void Clear() { starts_.clear(); }

private:
    std::map<std::string, std::string> programs_;
    std::vector<std::string> starts_;
    bool failStarts_ = false;
    ShellService* previous_;
};

}  // namespace platform
