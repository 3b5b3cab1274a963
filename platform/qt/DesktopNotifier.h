// The desktop's notification service, over the session bus. The call is sent without
// waiting for the answer; the number the service gives each notice is kept per tag, so the
// next notice of that tag replaces it.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <string>

#include "platform/qt/Notification.h"

namespace platform {

class DesktopNotifier : public QObject, public Notifier {
    Q_OBJECT
public:
    static constexpr char kService[] = "org.freedesktop.Notifications";
    static constexpr char kPath[] = "/org/freedesktop/Notifications";
    static constexpr char kInterface[] = "org.freedesktop.Notifications";
    // The icon and the desktop entry the installed program brings.
    static constexpr char kIconName[] = "orvanta";
    static constexpr char kDesktopEntry[] = "orvanta";

    // appName empty: the application's name.
    explicit DesktopNotifier(QString appName = {});

    void Notify(const std::string& tag, const std::string& summary, const std::string& body) override;

    // The number the service gave the last notice of tag (0 before it answered).
    uint32_t NoticeId(const std::string& tag) const;

private:
    QString m_appName;
    std::map<std::string, uint32_t> m_ids;
};

}  // namespace platform
