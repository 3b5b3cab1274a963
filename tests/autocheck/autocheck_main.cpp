// A QGuiApplication for the whole run: the tickets printed to PDF need fonts and a painter.
// Replaces gtest_main's main.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Test discovery runs at build time, outside scripts/test: never reach for a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
