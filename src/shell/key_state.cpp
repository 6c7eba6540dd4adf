#include "shell/key_state.h"

#include <QGuiApplication>

#if defined(ZELVANTO_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>

namespace {

bool IndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) return false;
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return false;
    return on != False;
}

}  // namespace

LockKeys ReadLockKeys() {
    LockKeys keys;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return keys;
    keys.caps = IndicatorOn(display, "Caps Lock");
    keys.num = IndicatorOn(display, "Num Lock");
    keys.scroll = IndicatorOn(display, "Scroll Lock");
    return keys;
}

#else

LockKeys ReadLockKeys() {
    return {};
}

#endif
