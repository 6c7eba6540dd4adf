#pragma once

// The state a command shows in the menus and on the toolbar.
struct CCmdUI {
    int id = 0;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;

    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on) {
        checkable = true;
        checked = on;
    }
};
