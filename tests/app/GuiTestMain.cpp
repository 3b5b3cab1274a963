// Entry point of the widget tests: an offscreen application object of the program's own
// class, with its document templates and a profile and data folder of its own.
#include <gtest/gtest.h>

#include <QSettings>
#include <QtGlobal>

#include "app/OrvantaApp.h"
#include "tests/support/Fixture.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    COrvantaApp app(argc, argv);
    // Tests close main windows; that must not end the application's event loops.
    app.setQuitOnLastWindowClosed(false);
    TempDir profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(profile.Path()));
    // A start without settings moves into the per-user folder: never the real one.
    TempDir dataHome;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.Path()));
    COrvantaApp::SetupProfile();
    app.RegisterDocTemplates();
    return RUN_ALL_TESTS();
}
