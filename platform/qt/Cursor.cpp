#include "platform/qt/Cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {

void ShowAppStartingCursor() {
    if (QGuiApplication::instance() == nullptr) return;
    if (QGuiApplication::overrideCursor() != nullptr) {
        QGuiApplication::changeOverrideCursor(QCursor(Qt::BusyCursor));
    } else {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    }
}

void ShowArrowCursor() {
    if (QGuiApplication::instance() == nullptr) return;
    while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
}

}  // namespace platform
