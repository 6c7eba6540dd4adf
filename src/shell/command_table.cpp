#include "shell/command_table.h"

namespace {

using L = CommandLevel;

// The status texts of the standard commands are the framework's own prompts. Alt+F4 is
// shown in the menu but belongs to the window manager.
const std::vector<CCommandEntry> kCommands = {
    {kCmdFileNew, "&New\t<Ctrl+N>", "Ctrl+N", "Create a new document\nNew", 0, false, L::App},
    {kCmdFileOpen, "&Open...\t<Ctrl+O>", "Ctrl+O", "Open an existing document\nOpen", 1, false,
     L::Document},
    {kCmdFileClose, "&Close\t<Ctrl+F4>", "Ctrl+F4", "Close the active document\nClose", -1, false,
     L::Document},
    {kCmdFileSave, "&Save\t<Ctrl+S>", "Ctrl+S", "Save the active document\nSave", 2, false,
     L::Document},
    {kCmdFileSaveAs, "Save &As...", "", "Save the active document with a new name\nSave As", 3,
     false, L::Document},
    {kCmdFilePrint, "&Print...\t<Ctrl+P>", "Ctrl+P", "Print the active document\nPrint", 6, false,
     L::View},
    {kCmdFilePrintPreview, "Print Pre&view", "", "Display full pages\nPrint Preview", -1, false,
     L::View},
    {kCmdFilePrintSetup, "P&rint Setup...", "",
     "Change the printer and printing options\nPrint Setup", -1, false, L::App},
    {kCmdFileMru1, "Recent File", "", "Open this document", -1, false, L::App},
    {kCmdAppExit, "E&xit\t<Alt+F4>", "", "Quit the application; prompts to save documents\nExit",
     -1, false, L::App},
    {kCmdEditCopy, "&Copy\t<Ctrl+C>", "Ctrl+C;Ctrl+Ins",
     "Copy the selection and put it on the Clipboard\nCopy", 4, false, L::View},
    {kCmdEditPaste, "&Paste\t<Ctrl+V>", "Ctrl+V;Shift+Ins", "Insert Clipboard contents\nPaste", 5,
     false, L::View},
    {kCmdCopyToResult, "Copy To Result\t<Ctrl+D>", "Ctrl+D", "", -1, false, L::View},
    {kCmdEditUndo, nullptr, "Alt+Backspace", "Undo the last action\nUndo", -1, false, L::NotBuilt},
    {kCmdEditCut, nullptr, "Shift+Del", "Cut the selection and put it on the Clipboard\nCut", -1,
     false, L::NotBuilt},
    {kCmdNextPane, nullptr, "F6", "Switch to the next window pane\nNext Pane", -1, false,
     L::NotBuilt},
    {kCmdPrevPane, nullptr, "Shift+F6", "Switch back to the previous window pane\nPrevious Pane",
     -1, false, L::NotBuilt},
    {kCmdFourierModifications, "&Fourier Modifications\t<Enter>", "Return;Enter",
     "Fourier Operation Menu", 7, false, L::View},
    {kCmdFourierQueue, "Fourier Queue ...", "", "", -1, false, L::Document},
    {kCmdExecuteAllQueues, "Execute All Queues", "", "", -1, false, L::Document},
    {kCmdSaveFourier, "Save Fourier Transform ...", "", "", -1, false, L::Document},
    {kCmdAskDeleteFourier, "Ask Before Delete Saved Fourier Transform", "", "", -1, true,
     L::Document},
    {kCmdUndoColor, "Undo Color\t<Ctrl+Z>", "Ctrl+Z", "", -1, false, L::View},
    {kCmdColorChange, "&Color Change, Result/Original\t<Space>", "Space",
     "Color Change, Result/Original", 8, false, L::View},
    {kCmdSetOneFrequency, "Set One Frequency", "", "Set One Frequency", -1, false, L::Document},
    {kCmdFastTransform, "Fast Transform (FFT)", "",
     "Transform with the fast Fourier transform instead of the exact projection\nFast "
     "Transform",
     -1, true, L::Frame},
    {kCmdRatioFrequency, "Ratio Frequency", "", "", -1, false, L::Document},
    {kCmdCompareResult, "Compare Result", "", "", -1, false, L::Document},
    {kCmdBlur, "Blur ...", "", "", -1, false, L::Document},
    {kCmdZelvantoFiles, "Zelvanto Files ...", "", "", -1, false, L::Document},
    {kCmdRestore, "Restore ...", "",
     "Restore the picture with a blur kernel: learnt from the example pair, a stamp file or a "
     "known blur\nRestore",
     -1, false, L::Document},
    {kCmdViewToolbar, "&Toolbar", "", "Show or hide the toolbar\nToggle ToolBar", -1, true,
     L::Frame},
    {kCmdViewStatusBar, "&Status Bar", "", "Show or hide the status bar\nToggle StatusBar", -1,
     true, L::Frame},
    {kCmdPrevMagn, "Prev Magn. \t<Ctrl+Pg Up>", "Ctrl+PgUp", "", -1, false, L::View},
    {kCmdViewFit, "&Fit to Window", "", "", -1, true, L::View},
    {kCmdView100, "&100%", "", "", -1, true, L::View},
    {kCmdView200, "&200%", "", "", -1, true, L::View},
    {kCmdView400, "&400%", "", "", -1, true, L::View},
    {kCmdNextMagn, "Next Magn. \t<Ctrl+Pg Down>", "Ctrl+PgDown", "", -1, false, L::View},
    {kCmdWindowNew, "&New Window", "", "Open another window for the active document\nNew Window",
     -1, false, L::Frame},
    {kCmdWindowCascade, "&Cascade", "", "Arrange windows so they overlap\nCascade Windows", -1,
     false, L::Frame},
    {kCmdWindowTile, "&Tile", "", "Arrange windows as non-overlapping tiles\nTile Windows", -1,
     false, L::Frame},
    {kCmdWindowArrange, "&Arrange Icons", "",
     "Arrange icons at the bottom of the window\nArrange "
     "Icons",
     -1, false, L::Frame},
    {kCmdAppAbout, "&About Zelvanto...", "",
     "Display program information, version number and copyright\nAbout", -1, false, L::App},
};

const std::vector<CMenuLayout> kFrameMenu = {
    {"&File",
     {{kCmdFileNew, "&New\tCtrl+N"},
      {kCmdFileOpen, "&Open...\tCtrl+O"},
      {0},
      {kCmdFilePrintSetup},
      {0},
      {kCmdFileMru1},
      {0},
      {kCmdAppExit, "E&xit"}}},
    {"&View", {{kCmdViewToolbar}, {kCmdViewStatusBar}}},
    {"&Help", {{kCmdAppAbout}}},
};

const std::vector<CMenuLayout> kDocumentMenu = {
    {"&File",
     {{kCmdFileNew},
      {kCmdFileOpen},
      {kCmdFileClose},
      {kCmdFileSave},
      {kCmdFileSaveAs},
      {0},
      {kCmdFilePrint},
      {kCmdFilePrintPreview},
      {kCmdFilePrintSetup},
      {0},
      {kCmdFileMru1},
      {0},
      {kCmdAppExit}}},
    {"&Edit ", {{kCmdEditCopy}, {kCmdEditPaste}, {kCmdCopyToResult}}},
    {"Fourier && &Colors",
     {{kCmdFourierModifications},
      {kCmdFastTransform},
      {0},
      {kCmdFourierQueue},
      {kCmdExecuteAllQueues},
      {0},
      {kCmdSaveFourier},
      {kCmdAskDeleteFourier},
      {0},
      {kCmdUndoColor},
      {kCmdColorChange},
      {0},
      {kCmdSetOneFrequency}}},
    {"Blur && &Zelvanto",
     {{kCmdRatioFrequency},
      {kCmdCompareResult},
      {0},
      {kCmdBlur},
      {0},
      {kCmdZelvantoFiles},
      {kCmdRestore}}},
    {"&View",
     {{kCmdViewToolbar},
      {kCmdViewStatusBar},
      {0},
      {kCmdPrevMagn},
      {kCmdViewFit},
      {kCmdView100},
      {kCmdView200},
      {kCmdView400},
      {kCmdNextMagn}}},
    {"&Window", {{kCmdWindowNew}, {kCmdWindowCascade}, {kCmdWindowTile}, {kCmdWindowArrange}}},
    {"&Help", {{kCmdAppAbout}}},
};

const std::vector<int> kToolbar = {kCmdFileNew,
                                   kCmdFileOpen,
                                   kCmdFileSave,
                                   kCmdFileSaveAs,
                                   0,
                                   kCmdEditCopy,
                                   kCmdEditPaste,
                                   0,
                                   kCmdFilePrint,
                                   0,
                                   kCmdFourierModifications,
                                   kCmdColorChange};

}  // namespace

const std::vector<CCommandEntry>& CommandTable() {
    return kCommands;
}

const CCommandEntry* FindCommand(int id) {
    for (const CCommandEntry& entry : kCommands)
        if (entry.id == id) return &entry;
    return nullptr;
}

const std::vector<CMenuLayout>& FrameMenuLayout() {
    return kFrameMenu;
}
const std::vector<CMenuLayout>& DocumentMenuLayout() {
    return kDocumentMenu;
}
const std::vector<int>& ToolbarButtons() {
    return kToolbar;
}

std::string StatusText(int id) {
    const CCommandEntry* entry = FindCommand(id);
    if (!entry) return {};
    const std::string prompt = entry->prompt;
    return prompt.substr(0, prompt.find('\n'));
}

std::string ToolTipText(int id) {
    const CCommandEntry* entry = FindCommand(id);
    if (!entry) return {};
    const std::string prompt = entry->prompt;
    const size_t newline = prompt.find('\n');
    return newline == std::string::npos ? prompt : prompt.substr(newline + 1);
}
