// The desktop notifier over a real session bus: ctest runs this binary under its own
// dbus-run-session, and a listener in the test owns the notification service and records
// every Notify call it receives.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>
#include <QVariantMap>

#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/Notification.h"

namespace {

struct Call {
    QString appName;
    uint replacesId;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout;
};

class Listener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<Call> calls;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        calls.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout});
        return replacesId != 0 ? replacesId : static_cast<uint>(40 + calls.size());
    }
};

// The listener talks over a connection of its own, so every call really crosses the bus.
class NotifyOverBus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        ASSERT_TRUE(bus_.isConnected());
        ASSERT_TRUE(bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &listener_,
                                        QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus_.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void TearDown() override {
        bus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("listener"));
    Listener listener_;
};

TEST_F(NotifyOverBus, NoticeCarriesTheTextsAndTheDesktopEntryAndItsTagReplacesTheLastOne) {
    platform::DesktopNotifier notifier(QString::fromUtf8("\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB0\x98\xED\x83\x80"));
    const std::string summary = "\xEC\x83\x88 \xEC\xBD\x9C\xEB\xB0\xB1 \xEC\x9A\x94\xEC\xB2\xAD 3\xEA\xB1\xB4";
    notifier.Notify("new", summary, "\xEB\x8C\x80\xEC\xB6\x9C (1001)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.NoticeId("new") != 0; }, 5000));
    notifier.Notify("new", "second", "b");
    notifier.Notify("other", "third", "c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener_.calls.size() == 3; }, 5000));

    const Call& first = listener_.calls[0];
    EXPECT_EQ(first.appName.toStdString(), "\xEC\x98\xA4\xEB\xA5\xB4\xEB\xB0\x98\xED\x83\x80");
    EXPECT_EQ(first.replacesId, 0u);
    EXPECT_EQ(first.icon, QStringLiteral("orvanta"));
    EXPECT_EQ(first.summary.toStdString(), summary);
    EXPECT_EQ(first.body.toStdString(), "\xEB\x8C\x80\xEC\xB6\x9C (1001)");
    EXPECT_TRUE(first.actions.isEmpty());
    EXPECT_EQ(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("orvanta"));
    EXPECT_EQ(first.hints.value(QStringLiteral("urgency")).toInt(), 1);
    EXPECT_EQ(first.timeout, -1);
    EXPECT_EQ(listener_.calls[1].replacesId, notifier.NoticeId("new"));
    EXPECT_EQ(listener_.calls[2].replacesId, 0u);  // another tag is a notice of its own
}

TEST(NotifyWithoutService, NothingWaitsForAServiceThatIsNotThere) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.Notifications")));
    QElapsedTimer clock;
    clock.start();
    platform::ShowNotification("new", "a", "b");  // the process-wide desktop notifier
    EXPECT_LT(clock.elapsed(), 500);
    QTest::qWait(200);  // the error answer arrives and is dropped
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

#include "notify_dbus_test.moc"
