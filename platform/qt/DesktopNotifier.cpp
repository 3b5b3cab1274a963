#include "platform/qt/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace platform {

namespace {

// No answer within this time: the notice is given up, nothing waits for it.
constexpr int kCallTimeoutMs = 5000;

}  // namespace

DesktopNotifier::DesktopNotifier(QString appName) : m_appName(std::move(appName)) {}

void DesktopNotifier::Notify(const std::string& tag, const std::string& summary, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QString appName = m_appName;
    if (appName.isEmpty() && QCoreApplication::instance() != nullptr) appName = QCoreApplication::applicationName();

    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));  // normal
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    call << appName << static_cast<uint>(NoticeId(tag)) << QString::fromLatin1(kIconName)
         << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList() << hints
         << static_cast<int>(-1);

    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, tag](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<uint> reply = *done;
        if (reply.isValid()) m_ids[tag] = reply.value();
        done->deleteLater();
    });
}

uint32_t DesktopNotifier::NoticeId(const std::string& tag) const {
    auto it = m_ids.find(tag);
    return it != m_ids.end() ? it->second : 0;
}

}  // namespace platform
