// A notifier for tests: installs itself while it lives and records every notice.
#pragma once

#include <string>
#include <vector>

#include "platform/qt/Notification.h"

namespace platform {

class RecordingNotifier : public Notifier {
public:
    struct Notice {
        std::string tag;
        std::string summary;
        std::string body;
    };

    RecordingNotifier();
    ~RecordingNotifier() override;
    RecordingNotifier(const RecordingNotifier&) = delete;
    RecordingNotifier& operator=(const RecordingNotifier&) = delete;

    void Notify(const std::string& tag, const std::string& summary, const std::string& body) override;

    const std::vector<Notice>& Notices() const { return notices_; }
    void Clear() { notices_.clear(); }

private:
    std::vector<Notice> notices_;
    Notifier* previous_;
};

}  // namespace platform
