#include "tests/support/qt/ScriptedShell.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

ScriptedShell::ScriptedShell() : previous_(SetShellService(this)) {}

ScriptedShell::~ScriptedShell() { SetShellService(previous_); }

void ScriptedShell::Associate(const std::string& extension, const std::string& program) {
    programs_[Lower(extension)] = program;
}

std::string ScriptedShell::FindExecutable(const std::string& file) {
    std::error_code error;
    if (file.empty() || !std::filesystem::exists(file, error)) return {};
    auto it = programs_.find(Lower(std::filesystem::path(file).extension().string()));
    return it == programs_.end() ? std::string() : it->second;
}

bool ScriptedShell::StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = program;
    for (const std::string& argument : arguments) line += " " + argument;
    starts_.push_back(line);
    return !failStarts_;
}

bool ScriptedShell::OpenDocument(const std::string& file) {
    const std::string program = FindExecutable(file);
    return !program.empty() && StartDetached(program, {file});
}

}  // namespace platform
