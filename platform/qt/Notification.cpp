#include "platform/qt/Notification.h"

#include <atomic>

#include "platform/qt/DesktopNotifier.h"

namespace platform {

namespace {

std::atomic<Notifier*> g_notifier{nullptr};

}  // namespace

void ShowNotification(const std::string& tag, const std::string& summary, const std::string& body) {
    Notifier* notifier = g_notifier.load();
    if (notifier != nullptr) {
        notifier->Notify(tag, summary, body);
        return;
    }
    static DesktopNotifier desktop;
    desktop.Notify(tag, summary, body);
}

Notifier* SetNotifier(Notifier* notifier) { return g_notifier.exchange(notifier); }

}  // namespace platform
