#pragma once

#include <string>
#include <vector>

// Command identifiers of the menus, accelerators, toolbar and status bar. The values are
// those of the system's resources, so the standard commands keep the framework's numbers.
enum CommandId : int {
    kCmdNone = 0,
    kCmdSizePane = 102,
    kCmdViewFit = 32770,
    kCmdView100 = 32771,
    kCmdView200 = 32772,
    kCmdView400 = 32773,
    kCmdFourierModifications = 32774,
    kCmdUndoColor = 32775,
    kCmdColorChange = 32776,
    kCmdNextMagn = 32777,
    kCmdPrevMagn = 32778,
    kCmdFourierQueue = 32796,
    kCmdExecuteAllQueues = 32798,
    kCmdCopyToResult = 32799,
    kCmdSaveFourier = 32800,
    kCmdAskDeleteFourier = 32801,
    kCmdSetOneFrequency = 32802,
    kCmdRatioFrequency = 32803,
    kCmdBlur = 32804,
    kCmdZelvantoFiles = 32805,
    kCmdCompareResult = 32806,
    kCmdFastTransform = 32807,
    kCmdRestore = 32820,
    kCmdFileNew = 57600,
    kCmdFileOpen = 57601,
    kCmdFileClose = 57602,
    kCmdFileSave = 57603,
    kCmdFileSaveAs = 57604,
    kCmdFilePrintSetup = 57606,
    kCmdFilePrint = 57607,
    kCmdFilePrintPreview = 57609,
    kCmdFileMru1 = 57616,
    kCmdEditCopy = 57634,
    kCmdEditCut = 57635,
    kCmdEditPaste = 57637,
    kCmdEditUndo = 57643,
    kCmdWindowNew = 57648,
    kCmdWindowArrange = 57649,
    kCmdWindowCascade = 57650,
    kCmdWindowTile = 57651,
    kCmdAppAbout = 57664,
    kCmdAppExit = 57665,
    kCmdNextPane = 57680,
    kCmdPrevPane = 57681,
    kCmdIndicatorCaps = 59137,
    kCmdIndicatorNum = 59138,
    kCmdIndicatorScroll = 59139,
    kCmdViewToolbar = 59392,
    kCmdViewStatusBar = 59393,
};

// Where a command is handled, tried in this order: the active view, its document, the main
// frame, the application. A command that no level handles is shown disabled.
enum class CommandLevel { View, Document, Frame, App, NotBuilt };

// One command: its menu text (mnemonic, and the accelerator shown after a tab, as the
// document window's menu writes it), the keys that run it (Qt key sequences separated by
// ';'), the status text with the tool tip after a '\n', its toolbar image (-1 for none),
// whether it carries a check mark, and the level that handles it.
struct CCommandEntry {
    int id;
    const char* text;
    const char* keys;
    const char* prompt;
    int toolbarImage;
    bool checkable;
    CommandLevel level;
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

// Menu 2: the main frame without a document. Menu 3: a document window.
const std::vector<CMenuLayout>& FrameMenuLayout();
const std::vector<CMenuLayout>& DocumentMenuLayout();

// The toolbar buttons in order; 0 is a separator.
const std::vector<int>& ToolbarButtons();

// The status text of a command (before any '\n'), and its tool tip (after it, or the
// status text when there is none).
std::string StatusText(int id);
std::string ToolTipText(int id);

// The application title: caption of every message box.
inline constexpr const char* kAppTitleText = "Dedozi Rivarav Eviduruvere";
// Title of the main frame (string 2).
inline constexpr const char* kFrameTitle = "Zavovo Zovozoz Ividarudedav";
// Idle status text.
inline constexpr const char* kIdleStatus = "Ready";
// Initial text of the size pane (string 102).
inline constexpr const char* kSizePaneInitial = "_______________";
// Name of a new document before it has a file ("Fourier1", "Fourier2" ...).
inline constexpr const char* kDocumentName = "Fourier";
