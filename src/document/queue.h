#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fourier/fourier_settings.h"

class CZelvanDoc;

// The Fourier queue of a document: up to ten Fourier operations, each with a short name
// suffix, run one after the other on the document's picture, each result written to its
// own picture file (base path + suffix + extension). The rules of the queue dialog live
// here so that the desktop dialog, the command line and the tests share them.

// ---------------------------------------------------------------------------------------
// "Dialog Fourier Queue" (CFourierQueueDlg)

inline constexpr int kIdFourierQueueDialog = 119;
inline constexpr const char* kFourierQueueTitle = "Dialog Fourier Queue";
inline constexpr int kIdQueueSuffixEdit = 101;
inline constexpr int kIdQueueList = 126;
inline constexpr int kIdQueueNew = 127;
inline constexpr int kIdQueueDelete = 128;
inline constexpr int kIdQueueModify = 129;
inline constexpr int kIdQueueExecute = 130;
inline constexpr int kIdQueueHelp = 131;
inline constexpr int kIdQueueJpg = 140;
inline constexpr int kIdQueueBmp = 141;
inline constexpr int kIdQueueOk = 1;
// How the dialog ends when the queue is to run.
inline constexpr int kQueueExecuteResult = 61446;

inline constexpr const char* kQueueNewSuffixLabel = "New Name Suffix";
inline constexpr const char* kQueueListLabel = "Name Suffix";
inline constexpr const char* kQueueNewText = "New";
inline constexpr const char* kQueueModifyText = "Modify";
inline constexpr const char* kQueueDeleteText = "Delete";
inline constexpr const char* kQueueOkText = "OK";
inline constexpr const char* kQueueHelpButtonText = "Help";
inline constexpr const char* kQueueExecuteText = "Execute Queued Tasks ";
inline constexpr const char* kQueueFormatLabel = "Output Format";
inline constexpr const char* kQueueJpgText = "Jpg";
inline constexpr const char* kQueueBmpText = "Bmp";

inline constexpr const char* kQueueNotUnique = "Sorry, string not unique.";
inline constexpr const char* kQueueFull = "Sorry, queue is full.";
inline constexpr const char* kQueueLengthyQuestion =
    "You do realize this is a lenghty task. Continue ?";
inline constexpr const char* kQueueHelpMessage =
    "With this dialog box you can make a queue of operations.\nThe results will be saved in "
    "bitmap files.\nThe filename under which each result is stored is: First part is the name "
    "\nof the original file, then the 'suffix' is added and then the standard '.bmp' "
    "extention.";

inline constexpr const char* kNoMainWindow = "Sorry Null, No Main Window ";
inline constexpr const char* kNoChildWindow = "Sorry Null, No Child Window ";
inline constexpr const char* kNoViewWindow = "Sorry Null, No View Window ";
inline constexpr const char* kNoDocument = "Sorry Null, No Doc";

inline constexpr int kQueueSuffixMaxChars = 5;
inline constexpr int32_t kQueueFormatJpg = 0;
inline constexpr int32_t kQueueFormatBmp = 1;

// The actions of QueueAction.
enum QueueActionCode : int { kQueueDelete = 0, kQueueNew = 1, kQueueModify = 2 };

// What the application finds when it looks for the active document: its main window, the
// active document window, that window's view and the view's document. `window` tells the
// document windows apart (a document may have several); null when there is none.
struct CActiveDocument {
    bool mainWindow = false;
    bool childWindow = false;
    bool view = false;
    CZelvanDoc* document = nullptr;
    const void* window = nullptr;
};
using DocumentLocator = std::function<CActiveDocument()>;

// The document found, or null after the message of the first link missing.
CZelvanDoc* LocatedDocument(const CActiveDocument& found);

// The number of characters (not bytes) of a UTF-8 text.
int32_t SuffixCharacters(const std::string& suffix);
// The first kQueueSuffixMaxChars characters of a text: what the suffix edit holds.
std::string LimitSuffix(const std::string& text);
// Equal without regard to the case of the letters A to Z, as the list box finds a string.
bool SameSuffixIgnoringCase(const std::string& a, const std::string& b);

// What "New" does with a suffix, given the suffixes listed.
// A suffix with a '/' would put its result file into another folder: it is refused.
enum class QueueNewCheck { Accept, Empty, TooLong, NotUnique, Full, Separator };
QueueNewCheck CheckNewSuffix(const std::vector<std::string>& listed, const std::string& suffix);
// The dialog's message of a refusal ("Sorry, string not unique." ...); empty for Accept
// and Empty (New does nothing then). TooLong cannot be typed in the dialog: the command line
// gets a message of its own.
std::string QueueNewMessage(QueueNewCheck check);

// Edits a queue entry as the "Fourier Operations" dialog does: true for OK with the choice
// in the settings, false for Cancel.
using QueueEntryEditor = std::function<bool(FourierSettings&)>;

// The dialog without its windows. The controls are what the person sees and types; the
// data members are what the last data exchange took from them, as the rules read them.
class CFourierQueueDlgModel {
public:
    explicit CFourierQueueDlgModel(DocumentLocator locator);

    // Controls.
    std::string m_editText;                // the suffix edit, at most five characters
    std::vector<std::string> m_listItems;  // the list box, not sorted
    int m_nSelection = -1;                 // the selected list item, -1 for none
    int m_nRadio = 0;                      // the checked format button: 0 Jpg, 1 Bmp
    // Data members.
    std::string m_strNewSuffix;
    int32_t m_nFormat = kQueueFormatJpg;
    // States, refreshed by every data exchange.
    bool m_bNewEnabled = false;
    bool m_bDeleteEnabled = false;
    bool m_bModifyEnabled = false;
    int m_nDefaultButton = kIdQueueOk;
    // How New and Modify edit an entry; unset: the "Fourier Operations" dialog of the port.
    QueueEntryEditor m_editor;

    // Lists the suffixes of the queue up to its first free slot, then shows the members.
    void OnInitDialog();
    // save: the controls into the members; else the members into the controls. Then the
    // enabling states.
    void UpdateData(bool save);
    // The person types: the edit takes at most five characters, then EN_UPDATE.
    void TypeSuffix(const std::string& text);
    // EN_UPDATE: "New" follows the edit and becomes the default button.
    void OnSuffixUpdate();
    void SelectFormat(int index) { m_nRadio = index; }
    void OnNew();
    void OnDelete();
    // "Modify" and a double click on an item.
    void OnModify();
    void OnSelChange(int index);
    // "Execute Queued Tasks ": true when the dialog ends with kQueueExecuteResult.
    bool OnExecute();
    void OnHelp();

    // Deletes (0), adds (1) or modifies (2) the entry of a suffix in the located document's
    // queue; then the document takes the dialog's format. 0 on success, -1 otherwise.
    int QueueAction(const std::string& suffix, int action);

private:
    void RefreshStates();
    bool EditEntry(FourierSettings& settings);

    DocumentLocator m_locator;
};

// "Fourier Queue ..." on a document: the dialog starts with Bmp when the document saves as
// ".bmp", else Jpg; doModal shows it and returns how it ended. When it ended with
// kQueueExecuteResult, the document's queue runs in the document's format.
void OnFourierQueue(CZelvanDoc& doc, CFourierQueueDlgModel& dialog,
                    const std::function<int(CFourierQueueDlgModel&)>& doModal);

// ---------------------------------------------------------------------------------------
// Running a queue

// The file of a queue entry: base path + suffix + extension.
std::string QueueResultPath(const CZelvanDoc& doc, const std::string& suffix);

// Sorts the queue in place: entries with a suffix first, in ascending byte order of their
// suffixes, free slots last.
void SortQueue(CZelvanDoc& doc);

// What a queue run did: the files written and the suffixes of the entries that failed, in
// the order they ran.
struct CQueueOutcome {
    std::vector<std::string> written;
    std::vector<std::string> failed;
};

// Sorts the queue, sets the document's extension by the format (1 ".bmp", else ".jpg") and
// runs every entry: the entry's operation on the picture, then the picture into the entry's
// file, written beside it and renamed. An entry that fails (its run or its file) leaves its
// file as it was and the queue goes on; at the end the person is told which entries
// failed. 1 when every entry was done, 0 otherwise.
int ExecuteQueue(CZelvanDoc& doc, int32_t format, CQueueOutcome* outcome = nullptr);

// The application's document windows as "Execute All Queues" walks them.
class CDocumentWindows {
public:
    virtual ~CDocumentWindows() = default;
    virtual CActiveDocument Active() = 0;
    // Activates the next document window (after the last, the first).
    virtual void ActivateNext() = 0;
};

// "Execute All Queues": the queue of the active document, then of the next window's, and
// so on until the first window is active again. A document seen in an earlier window runs
// only once. Stops with the message when a link to the active document is missing.
void ExecuteAllQueues(CDocumentWindows& windows);
