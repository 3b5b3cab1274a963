// Desktop notifications: a short message in the desktop's notification area, for a desk
// nobody is looking at. Each notice has a tag; a later notice with the same tag replaces the
// earlier one on screen instead of piling up beside it. Showing one never blocks the
// caller and never fails loudly: a desktop without a notification service shows nothing.
//
// Notices go to the installed notifier: the desktop's notification service unless a test
// installs a recorder (RecordingNotifier installs itself while it lives).
#pragma once

#include <string>

namespace platform {

class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void Notify(const std::string& tag, const std::string& summary, const std::string& body) = 0;
};

void ShowNotification(const std::string& tag, const std::string& summary, const std::string& body);

// Installs a notifier (not owned); null restores the desktop one. Returns the previous one
// (null for the desktop notifier).
Notifier* SetNotifier(Notifier* notifier);

}  // namespace platform
