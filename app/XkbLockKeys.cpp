#include "XkbLockKeys.h"

#include <X11/XKBlib.h>

namespace {
// Indicator indexes, looked up by name once per display: servers number them differently.
struct IndicatorIndexes {
    Display* display = nullptr;
    int caps = -1;
    int num = -1;
    int scroll = -1;
};

int IndexOf(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    int index = -1;
    if (atom == 0 || !XkbGetNamedIndicator(display, atom, &index, nullptr, nullptr, nullptr)) {
        return -1;
    }
    return index;
}

bool IsOn(unsigned int state, int index) {
    return index >= 0 && index < 32 && (state & (1u << index)) != 0;
}
} // namespace

bool QueryXkbLockKeys(void* display, LockKeyStates& states) {
    auto* dpy = static_cast<Display*>(display);
    if (dpy == nullptr) {
        return false;
    }
    static IndicatorIndexes indexes;
    if (indexes.display != dpy) {
        int opcode = 0;
        int event = 0;
        int error = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        if (!XkbQueryExtension(dpy, &opcode, &event, &error, &major, &minor)) {
            return false;
        }
        indexes.display = dpy;
        indexes.caps = IndexOf(dpy, "Caps Lock");
        indexes.num = IndexOf(dpy, "Num Lock");
        indexes.scroll = IndexOf(dpy, "Scroll Lock");
    }
    unsigned int state = 0;
    if (XkbGetIndicatorState(dpy, XkbUseCoreKbd, &state) != Success) {
        return false;
    }
    states.caps = IsOn(state, indexes.caps);
    states.num = IsOn(state, indexes.num);
    states.scroll = IsOn(state, indexes.scroll);
    return true;
}
