#pragma once

#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "fourier/fourier.h"

class CDesktopUi;
class CUserInterface;
class CMainFrame;
class CZelvanDoc;
class CZelvanView;

// The application: start-up, the open documents, the recently used files (four, kept in
// the settings) and the commands that need no document: New, Open, Print Setup, the
// recent files, Exit and About.
class CZelvanApp {
public:
    static constexpr int kRecentFiles = 4;

    // The port must outlive the application; it is installed for the application's life.
    explicit CZelvanApp(CDesktopUi& ui);
    ~CZelvanApp();
    CZelvanApp(const CZelvanApp&) = delete;
    CZelvanApp& operator=(const CZelvanApp&) = delete;

    // Reads the settings, creates and shows the main frame and processes the command line
    // (the arguments after the program's name): the file it names is opened (when it cannot
    // be, its message has been shown and the frame stays without a document), and without
    // one a new empty document is made. False when the main frame cannot be made.
    bool InitInstance(const QStringList& arguments);

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    CDesktopUi& DesktopUi() const { return m_ui; }

    // A new empty document in a new window ("Fourier1", "Fourier2" ...).
    CZelvanView* OnFileNew();
    // Opens a file into a new document window, or activates the window of the document
    // that already shows it; nullptr when it cannot be opened.
    CZelvanView* OpenDocumentFile(const std::string& path);
    // The file dialog of the frame without a document, then OpenDocumentFile.
    void OnFileOpen();

    const QStringList& RecentFiles() const { return m_recentFiles; }
    void AddToRecentFileList(const std::string& path);
    void RemoveFromRecentFileList(int index);
    void OpenRecentFile(int index);

    // The engine choice, remembered between runs: Automatic (by picture size, the
    // default), or the engine the person chose with "Fast Transform (FFT)".
    EngineChoice Engine() const;
    void SetEngine(EngineChoice choice);
    // Whether "Fast Transform (FFT)" shows its check: the FFT engine chosen, or chosen by
    // size for the active document (or the document's size needs it).
    static bool FastTransformShown(const CZelvanDoc* active);
    // The status bar's text of the engine of the active document (empty without one).
    static std::string EngineStatusText(const CZelvanDoc* active);

    void OnAppAbout();

private:
    void LoadSettings();
    void SaveRecentFiles() const;

    CDesktopUi& m_ui;
    CUserInterface* m_previousUi = nullptr;
    std::unique_ptr<CMainFrame> m_mainFrame;
    QStringList m_recentFiles;
    int m_untitledCount = 0;
};
