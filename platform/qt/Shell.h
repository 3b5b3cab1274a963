// The desktop shell: which program opens a file, and starting programs without waiting.
//
// On this desktop a file's program is found through its type's default application (the
// shared MIME database and the desktop entries); FindExecutable answers with the launcher
// that starts that application with the file, or with nothing when the type has none.
// Starts are detached: the caller never waits for the program, and a desk without a
// desktop simply starts nothing.
//
// The calls go to the installed service: the desktop's unless a test installs its own
// (ScriptedShell installs itself while it lives).
#pragma once

#include <string>
#include <vector>

namespace platform {

class ShellService {
public:
    virtual ~ShellService() = default;
    // The program that opens file (an absolute path), to be started with the file as its
    // argument; empty when the file does not exist or its type has no application.
    virtual std::string FindExecutable(const std::string& file) = 0;
    // True when the program was started; its outcome is not waited for.
    virtual bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) = 0;
    // Opens file in the application associated with its type, without waiting and without
    // any question to the user; false when nothing was started.
    virtual bool OpenDocument(const std::string& file) = 0;
};

std::string FindExecutable(const std::string& file);
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments);
bool OpenDocument(const std::string& file);

// Installs a service (not owned); null restores the desktop's. Returns the previous one
// (null for the desktop's).
ShellService* SetShellService(ShellService* service);

}  // namespace platform
