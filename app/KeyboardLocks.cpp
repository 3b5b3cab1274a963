#include "app/KeyboardLocks.h"

#include <QGuiApplication>

#ifdef ORVANTA_HAVE_X11
#include <X11/XKBlib.h>
#endif

KeyboardLocks QueryKeyboardLocks() {
    KeyboardLocks locks;
#ifdef ORVANTA_HAVE_X11
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr) return locks;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) return locks;
    Display* display = x11->display();
    auto lit = [display](const char* name, bool& on) {
        Bool state = False;
        Atom atom = XInternAtom(display, name, False);
        if (!XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr)) return false;
        on = state != False;
        return true;
    };
    bool caps = lit("Caps Lock", locks.caps);
    bool num = lit("Num Lock", locks.num);
    bool scroll = lit("Scroll Lock", locks.scroll);
    locks.known = caps || num || scroll;
#endif
    return locks;
}
