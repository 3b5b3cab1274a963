// Shared pieces of the widget tests: the fixture database (made once per test binary), a
// start directory with a settings file, and waiting for a modal dialog.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/Fixture.h"

// "file:" address of the fixture database of this test binary.
const std::string& FixtureAddress();

// The first agent of the fixture's demo user whose password is password (read from the
// database, so the test does not spell names out).
std::string FixtureAgent(const std::string& password);

// Makes a fresh folder the current directory for the test's lifetime; Env/Orvanta.INI holds
// the given settings text when it is not empty.
class StartDir {
public:
    explicit StartDir(const std::string& iniText);
    ~StartDir();
    StartDir(const StartDir&) = delete;
    StartDir& operator=(const StartDir&) = delete;
    const std::string& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
    std::filesystem::path previous_;
};

// The settings text naming the fixture database.
std::string FixtureIni();

// Runs action on the next modal dialog of type T as soon as it is shown (polling the event
// loop), so that a test can drive a dialog that blocks in exec().
template <class T>
void WhenModal(std::function<void(T*)> action, int attempts = 200) {
    QTimer::singleShot(10, [action, attempts] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            action(dialog);
        } else if (attempts > 0) {
            WhenModal<T>(action, attempts - 1);
        }
    });
}
