#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"

struct FourierSettings;
struct CNumberData;
struct BlurSettings;
struct CZelvantoData;
struct CStampCutData;
struct CRestoreRequest;
class DibHandle;

// The caption of every message box the system shows.
inline constexpr const char* kAppTitle = "Dedozi Rivarav Eviduruvere";

// The results a dialog ends with when it is closed by OK or by Cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

enum class MessageIcon { None, Exclamation, Information, Question, Stop };

// The answer to "Save changes to <title>?", asked before a modified document closes.
enum class SaveAnswer { Yes, No, Cancel };

// Answer of the size choice: Cancel, or OK with the selected index (-1 when nothing
// was selected, in which case the caller keeps its best size).
struct SizeChoice {
    bool accepted = true;
    int index = -1;
};

// A common file dialog: for opening or for saving, with the default extension added to a
// name typed without one, the initial file name, the filter string ("Bitmap files
// (*.bmp)|*.bmp|...||") and whether an existing file must be confirmed before it is chosen.
struct CFileDialogRequest {
    bool open = true;
    std::string defaultExtension;
    std::string initialName;
    std::string filter;
    bool overwritePrompt = false;
};

// The port through which the core talks to the person: message boxes, questions,
// modal dialogs, the wait cursor and progress of long work. The desktop program,
// the command line and the tests each install their own implementation.
//
// Message boxes, questions, file dialogs and the recent files must be given by every
// port. Each modal dialog has a default that cancels it (the data as it was), so a port
// overrides only the dialogs it shows and a new dialog is one more virtual here.
class CUserInterface {
public:
    virtual ~CUserInterface() = default;

    // A message box with an OK button.
    virtual void Message(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;

    // A Yes/No question; true for Yes. defaultNo makes No the default button.
    virtual bool AskYesNo(const std::string& text, bool defaultNo) = 0;

    // "Dialog Sizes New Picture": the allowed sizes, largest area first.
    virtual SizeChoice ChooseSize(const std::vector<CSize>& /*sizes*/) { return {false, -1}; }

    // "Fourier Operations": shows the settings (kind 0..6, the five parameters, the
    // spectrum-present flag and the elapsed-time texts) and lets the person change the kind
    // and the parameters. True for OK, with the settings as edited; OK is only possible
    // with settings that pass ValidateFourierOperations. False for Cancel.
    virtual bool FourierOperations(FourierSettings& /*settings*/) { return false; }

    // "Dialog Number": the choice and X, Y in and out; W/2 and H/2 are given. True for OK,
    // which is only possible when ValidateNumberDialog passes; false for Cancel.
    virtual bool NumberDialog(CNumberData& /*data*/) { return false; }

    // The blur dialog: kind, steps, attenuation and Within Size in and out. True for OK with
    // the values as edited, false for Cancel (the values as they were).
    virtual bool BlurDialog(BlurSettings& /*settings*/) { return false; }

    // "Restore": the kernel's source with its values and the restoration's settings in and
    // out, with a preview of the result on the picture's centre. True for OK with the request
    // as edited (a kernel it learnt for the preview kept in it), false for Cancel.
    virtual bool RestoreDialog(CRestoreRequest& /*request*/, const DibHandle& /*picture*/) {
        return false;
    }

    // "Dialog Zelvanto": the four names in; out, the names as the dialog last saved them
    // (OK saves the fields, each "Browse ..." saves them all before it chooses; "Make
    // Stamp", "Use Stamp" and "Show Stamp" end it without saving). The result is kIdOk,
    // kZelvantoMakeStamp, kZelvantoUseStamp, kZelvantoShowStamp or kIdCancel.
    virtual int ZelvantoDialog(CZelvantoData& /*data*/) { return kIdCancel; }

    // "Dialog Stamp Cut", one pass: the values in; out, Fraction and the peak position as
    // the person left them. The result is kIdOk ("Try Fraction"), IDEndDialogUseThisCut
    // ("Use This", 61447) or kIdCancel (the values as they were).
    virtual int StampCutDialog(CStampCutData& /*data*/) { return kIdCancel; }

    // A file dialog; the chosen path, or nothing when it was cancelled.
    virtual std::optional<std::string> FileDialog(const CFileDialogRequest& request) = 0;

    // Adds a path to the list of recently used files.
    virtual void AddToRecentFiles(const std::string& path) = 0;

    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}

    // Work still going on has changed the picture in place and is about to ask the person
    // about it (the stamp's convolution before "Save this stamp? "): the windows show it now.
    virtual void ShowChangedPicture() {}

    // What the long work about to report its progress is called ("Restoring ..."); empty
    // gives the port's own caption back.
    virtual void SetProgressCaption(const std::string& /*caption*/) {}

    // Progress of long work, fraction in [0, 1]. Returning false asks the work to stop;
    // a stopped operation leaves its data as it was.
    virtual bool ReportProgress(double /*fraction*/) { return true; }
};

// The installed port. Before anything is installed, a stream port (platform/stream_ui.h)
// writes the messages to stderr, answers with the default buttons and cancels the dialogs.
CUserInterface& Ui();

// Installs a port (nullptr restores the built-in one) and returns the previous one.
CUserInterface* InstallUi(CUserInterface* ui);

// Installs a port for the lifetime of the scope.
class CUiScope {
public:
    explicit CUiScope(CUserInterface& ui) : m_previous(InstallUi(&ui)) {}
    ~CUiScope() { InstallUi(m_previous); }
    CUiScope(const CUiScope&) = delete;
    CUiScope& operator=(const CUiScope&) = delete;

private:
    CUserInterface* m_previous;
};

// The wait cursor for the duration of a scope.
class CWaitCursor {
public:
    CWaitCursor() { Ui().BeginWaitCursor(); }
    ~CWaitCursor() { Ui().EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The caption of the progress of long work for the duration of a scope.
class CProgressCaption {
public:
    explicit CProgressCaption(const std::string& caption) { Ui().SetProgressCaption(caption); }
    ~CProgressCaption() { Ui().SetProgressCaption(std::string()); }
    CProgressCaption(const CProgressCaption&) = delete;
    CProgressCaption& operator=(const CProgressCaption&) = delete;
};

// Shorthand for a message box through the installed port.
inline void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None) {
    Ui().Message(text, icon);
}

// printf-style formatting into a std::string, for the system's message formats.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
