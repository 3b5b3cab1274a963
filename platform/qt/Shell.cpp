#include "platform/qt/Shell.h"

#include <atomic>

#include "platform/qt/DesktopShell.h"

namespace platform {

namespace {

std::atomic<ShellService*> g_service{nullptr};

ShellService& Service() {
    ShellService* service = g_service.load();
    if (service != nullptr) return *service;
    static DesktopShell desktop;
    return desktop;
}

}  // namespace

std::string FindExecutable(const std::string& file) { return Service().FindExecutable(file); }

bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    return Service().StartDetached(program, arguments);
}

bool OpenDocument(const std::string& file) { return Service().OpenDocument(file); }

ShellService* SetShellService(ShellService* service) { return g_service.exchange(service); }

}  // namespace platform
