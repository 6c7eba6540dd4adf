#include "shell/command_table.h"

namespace {

// The status texts of the standard commands are the usual desktop prompts. Alt+F4 is
// shown in the menu but belongs to the window manager.
const std::vector<CCommandEntry> kCommands = {
    {kCmdFileNew, "&New\t<Ctrl+N>", "Ctrl+N", "Create a new document\nNew", false},
    {kCmdFileOpen, "&Open...\t<Ctrl+O>", "Ctrl+O", "Open an existing document\nOpen", false},
    {kCmdFileClose, "&Close\t<Ctrl+F4>", "Ctrl+F4", "Close the active document\nClose", false},
    {kCmdFileSave, "&Save\t<Ctrl+S>", "Ctrl+S", "Save the active document\nSave", false},
    {kCmdFileSaveAs, "Save &As...", "", "Save the active document with a new name\nSave As", false},
    {kCmdFilePrint, "&Print...\t<Ctrl+P>", "Ctrl+P", "Print the active document\nPrint", false},
    {kCmdFilePrintPreview, "Print Pre&view", "", "Display full pages\nPrint Preview", false},
    {kCmdFilePrintSetup, "P&rint Setup...", "",
     "Change the printer and printing options\nPrint Setup", false},
    {kCmdFileMru1, "Recent File", "", "Open this document", false},
    {kCmdAppExit, "E&xit\t<Alt+F4>", "", "Quit the application; prompts to save documents\nExit",
     false},
    {kCmdEditCopy, "&Copy\t<Ctrl+C>", "Ctrl+C;Ctrl+Ins",
     "Copy the selection and put it on the Clipboard\nCopy", false},
    {kCmdEditPaste, "&Paste\t<Ctrl+V>", "Ctrl+V;Shift+Ins", "Insert Clipboard contents\nPaste",
     false},
    {kCmdCopyToResult, "Copy To Result\t<Ctrl+D>", "Ctrl+D", "", false},
    {kCmdEditUndo, nullptr, "Alt+Backspace", "Undo the last action\nUndo", false},
    {kCmdEditCut, nullptr, "Shift+Del", "Cut the selection and put it on the Clipboard\nCut",
     false},
    {kCmdNextPane, nullptr, "F6", "Switch to the next window pane\nNext Pane", false},
    {kCmdPrevPane, nullptr, "Shift+F6", "Switch back to the previous window pane\nPrevious Pane",
     false},
    {kCmdFourierModifications, "&Fourier Modifications\t<Enter>", "Return;Enter",
     "Fourier Operation Menu", false},
    {kCmdFourierQueue, "Fourier Queue ...", "", "", false},
    {kCmdExecuteAllQueues, "Execute All Queues", "", "", false},
    {kCmdSaveFourier, "Save Fourier Transform ...", "", "", false},
    {kCmdAskDeleteFourier, "Ask Before Delete Saved Fourier Transform", "", "", true},
    {kCmdUndoColor, "Undo Color\t<Ctrl+Z>", "Ctrl+Z", "", false},
    {kCmdColorChange, "&Color Change, Result/Original\t<Space>", "Space",
     "Color Change, Result/Original", false},
    {kCmdSetOneFrequency, "Set One Frequency", "", "Set One Frequency", false},
    {kCmdEngineBySize, "Engine by Picture Size", "",
     "Transform pictures of up to 320 x 240 pixels exactly, larger ones with the FFT\nEngine "
     "by Picture Size",
     true},
    {kCmdFastTransform, "Fast Transform (FFT)", "",
     "Transform with the fast Fourier transform instead of the exact projection\nFast "
     "Transform",
     true},
    {kCmdRatioFrequency, "Ratio Frequency", "", "", false},
    {kCmdCompareResult, "Compare Result", "", "", false},
    {kCmdBlur, "Blur ...", "", "", false},
    {kCmdZelvantoFiles, "Zelvanto Files ...", "", "", false},
    {kCmdRestore, "Restore ...", "",
     "Restore the picture with a blur kernel: learnt from the example pair, a stamp file or a "
     "known blur\nRestore",
     false},
    {kCmdSpectrum, "S&pectrum ...", "",
     "Show the picture's spectrum and estimate its blur from the picture alone\nSpectrum", false},
    {kCmdViewToolbar, "&Toolbar", "", "Show or hide the toolbar\nToggle ToolBar", true},
    {kCmdViewStatusBar, "&Status Bar", "", "Show or hide the status bar\nToggle StatusBar", true},
    {kCmdPrevMagn, "Prev Magn. \t<Ctrl+Pg Up>", "Ctrl+PgUp", "", false},
    {kCmdViewFit, "&Fit to Window", "", "", true},
    {kCmdView100, "&100%", "", "", true},
    {kCmdView200, "&200%", "", "", true},
    {kCmdView400, "&400%", "", "", true},
    {kCmdNextMagn, "Next Magn. \t<Ctrl+Pg Down>", "Ctrl+PgDown", "", false},
    {kCmdWindowNew, "&New Window", "", "Open another window for the active document\nNew Window",
     false},
    {kCmdWindowCascade, "&Cascade", "", "Arrange windows so they overlap\nCascade Windows", false},
    {kCmdWindowTile, "&Tile", "", "Arrange windows as non-overlapping tiles\nTile Windows", false},
    {kCmdWindowArrange, "&Arrange Icons", "",
     "Arrange icons at the bottom of the window\nArrange "
     "Icons",
     false},
    {kCmdAppAbout, "&About Zelvanto...", "",
     "Display program information, version number and copyright\nAbout", false},
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
      {kCmdEngineBySize},
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
      {kCmdNextMagn},
      {0},
      {kCmdSpectrum}}},
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
