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

// One level of the command route: active view, its document, the main frame, the
// application. Each level answers only for the commands it handles.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // Runs the command; false when this level does not handle it.
    virtual bool OnCommand(int id) = 0;
    // Fills in the command's state; false when this level does not handle it.
    virtual bool OnUpdateCommand(CCmdUI& ui) = 0;
};
