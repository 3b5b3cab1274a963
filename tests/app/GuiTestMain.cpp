// Entry point of the widget tests: an offscreen application object of the program's own
// class, with its document templates and a profile folder of its own.
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
    COrvantaApp::SetupProfile();
    app.RegisterDocTemplates();
    return RUN_ALL_TESTS();
}
