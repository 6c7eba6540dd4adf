#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <functional>

#include "platform/user_interface.h"
class QWidget;

// The desktop's port: message boxes with the application title as caption, the system's
// dialogs, Qt file dialogs, the wait cursor and a progress dialog with Cancel for long
// work. Modal dialogs lift the wait cursor while they are open, so the person sees an
// arrow wherever an answer is wanted.
class CDesktopUi : public CUserInterface {
public:
    CDesktopUi();
    ~CDesktopUi() override;

    // The window that owns the dialogs (the main frame).
    void SetParentWindow(QWidget* parent) { m_parent = parent; }
    // Called with each path added to the recently used files.
    void SetRecentFileSink(std::function<void(const std::string&)> sink) {
        m_recentSink = std::move(sink);
    }

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    bool FourierOperations(FourierSettings& settings) override;
    bool NumberDialog(CNumberData& data) override;
    bool BlurDialog(BlurSettings& settings) override;
    bool RestoreDialog(CRestoreRequest& request, const DibHandle& picture) override;
    int ZelvantoDialog(CZelvantoData& data) override;
    int StampCutDialog(CStampCutData& data) override;
    std::optional<std::string> FileDialog(const CFileDialogRequest& request) override;
    void AddToRecentFiles(const std::string& path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool ReportProgress(double fraction) override;
    void SetProgressCaption(const std::string& caption) override;
    // Every view of the main frame repaints (at the next event loop, that of the question).
    void ShowChangedPicture() override;

    // "Save changes to <title>?" with Yes, No and Cancel, before a modified document closes.
    using SaveAnswer = ::SaveAnswer;
    virtual SaveAnswer AskSaveChanges(const std::string& title);

    // Closes the progress dialog of the work that has just ended.
    void EndProgress();
    QProgressDialog* Progress() const { return m_progress; }
    int WaitDepth() const { return m_waitDepth; }

    // "Bitmap files (*.bmp)|*.bmp|...||" as Qt name filters ("Bitmap files (*.bmp)" ...).
    static QStringList NameFilters(const std::string& filter);

protected:
    QWidget* ParentWindow() const;

    // Lifts the wait cursor for a modal dialog and puts it back afterwards.
    class CCursorPause {
    public:
        explicit CCursorPause(CDesktopUi& ui);
        ~CCursorPause();
        CCursorPause(const CCursorPause&) = delete;
        CCursorPause& operator=(const CCursorPause&) = delete;

    private:
        CDesktopUi& m_ui;
        int m_lifted = 0;
    };

private:
    QPointer<QWidget> m_parent;
    std::function<void(const std::string&)> m_recentSink;
    int m_waitDepth = 0;     // nested wait cursors asked for
    int m_cursorPushed = 0;  // override cursors actually pushed
    QPointer<QProgressDialog> m_progress;
    bool m_progressCancelled = false;
    std::string m_progressCaption;  // empty: the Fourier transform's
    QElapsedTimer m_sinceEvents;
};
