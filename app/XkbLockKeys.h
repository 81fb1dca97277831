// Caps Lock, Num Lock and Scroll Lock as the X server's keyboard indicators report them.
// Kept apart from Qt code because the X11 headers define macros (KeyPress, Bool, None, ...)
// that clash with Qt's names.
#pragma once

struct LockKeyStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// Reads the indicator states from `display` (an X11 Display*). False when XKB cannot tell.
bool QueryXkbLockKeys(void* display, LockKeyStates& states);
