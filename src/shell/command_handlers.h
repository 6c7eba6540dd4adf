#pragma once

#include "shell/cmd_target.h"

class CMainFrame;
class CZelvanApp;
class CZelvanDoc;
class CZelvanView;

// What a command acts on: the active view and its document (both null when no document
// window is active), the main frame and the application.
struct CCommandContext {
    CZelvanView* view;
    CZelvanDoc* document;
    CMainFrame& frame;
    CZelvanApp& app;
};

// The steps of the command route, tried in this order.
enum class CommandLevel { View, Document, Frame, App };

// One level's handler of a command: what it does and, when not null, the state it gives the
// command in the menus and on the toolbar (a command without one is enabled). A handler
// runs only when its level's target is there.
struct CCommandHandler {
    int id;
    CommandLevel level;
    void (*run)(CCommandContext& context);
    void (*update)(CCommandContext& context, CCmdUI& ui);
};

// Runs the command with the first handler along the route whose target is there; false
// when there is none.
bool RunCommand(int id, CCommandContext& context);
// Fills in the command's state from that same handler; false (the state untouched) when
// there is none.
bool UpdateCommand(CCommandContext& context, CCmdUI& ui);
// Whether some level has a handler for the command.
bool HasHandler(int id);
