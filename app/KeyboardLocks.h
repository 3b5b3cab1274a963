// The state of the keyboard's lock keys, for the status bar's CAP, NUM and SCRL panes.
#pragma once

struct KeyboardLocks {
    bool known = false;  // false where the window system does not tell
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

KeyboardLocks QueryKeyboardLocks();
