#pragma once

#include <string>
#include <vector>

#include "document/command_ids.h"

// One command: its menu text (mnemonic, and the accelerator shown after a tab, as the
// document window's menu writes it), the keys that run it (Qt key sequences separated by
// ';'), the status text with the tool tip after a '\n', and whether it carries a check
// mark. What runs it is in the handler table (command_handlers.h).
struct CCommandEntry {
    int id;
    const char* text;
    const char* keys;
    const char* prompt;
    bool checkable;
};

const std::vector<CCommandEntry>& CommandTable();
// The entry of an id; nullptr when the table has none.
const CCommandEntry* FindCommand(int id);

// One item of a menu layout: a command, a separator (id 0), or the recent-file list
// (kCmdFileMru1). text overrides the command's text when not null.
struct CMenuItem {
    int id;
    const char* text = nullptr;
};
struct CMenuLayout {
    const char* title;
    std::vector<CMenuItem> items;
};

// The menus of the main frame without a document, and of a document window.
const std::vector<CMenuLayout>& FrameMenuLayout();
const std::vector<CMenuLayout>& DocumentMenuLayout();

// The toolbar buttons in order; 0 is a separator.
const std::vector<int>& ToolbarButtons();

// The status text of a command (before any '\n'), and its tool tip (after it, or the
// status text when there is none).
std::string StatusText(int id);
std::string ToolTipText(int id);

// Title of the main frame.
inline constexpr const char* kFrameTitle = "Zavovo Zovozoz Ividarudedav";
// Idle status text.
inline constexpr const char* kIdleStatus = "Ready";
// Initial text of the size pane, which later shows the picture's size.
inline constexpr const char* kSizePaneInitial = "_______________";
// Name of a new document before it has a file ("Fourier1", "Fourier2" ...).
inline constexpr const char* kDocumentName = "Fourier";
