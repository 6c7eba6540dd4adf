#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>

#include "shell/cmd_target.h"
#include "view/view_windows.h"

class CZelvanApp;
class CZelvanDoc;
class CZelvanView;
class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

// The main window: the document windows in an MDI area, the menus (one set without a
// document, one with), the toolbar and the status bar with the message pane, the size
// pane and the three key indicators. Menus, toolbar and keys are built from the command
// table; a command is routed to the active view, its document, this frame, then the
// application, and is disabled when none of them handles it.
class CMainFrame : public QMainWindow, public CViewWindows {
    Q_OBJECT

public:
    explicit CMainFrame(CZelvanApp& app);
    ~CMainFrame() override;

    // The main window of the process; nullptr when there is none.
    static CMainFrame* Instance();

    // A new document window showing the document.
    CZelvanView* CreateView(const std::shared_ptr<CZelvanDoc>& document);
    CZelvanView* ActiveView() const override;
    bool HasActiveWindow() const override;
    // The views showing a document, in the order of their windows.
    std::vector<CZelvanView*> ViewsOf(const CZelvanDoc& document) const;
    std::vector<CZelvanView*> Views() const;
    void ActivateView(CZelvanView* view);
    void ActivateNextView() override;
    // Lines the minimised windows up along the bottom of the area, left to right.
    void ArrangeIcons();
    // Closes every window of a document, its last window asking first to save it when it is
    // modified; false when the person cancelled.
    bool CloseDocument(const CZelvanDoc& document);

    // Runs a command along the route; false when nothing handles it.
    bool RouteCommand(int id);
    // The state of a command along the route (disabled when nothing handles it).
    CCmdUI QueryCommand(int id);
    // Brings the actions, the window titles and the size pane up to date.
    void UpdateCommandUi();
    // Rebuilds the recent-file entries of the File menu.
    void RebuildMenus();

    QAction* Action(int id) const;
    QMdiArea* MdiArea() const { return m_mdiArea; }
    QToolBar* ToolBar() const { return m_wndToolBar; }
    QLabel* SizePane() const { return m_sizePane; }
    // The engine of the active document ("Engine: fft engine, by picture size").
    QLabel* EnginePane() const { return m_enginePane; }
    QLabel* MessagePane() const { return m_messagePane; }
    // The menu currently in the menu bar with this title ("&File" ...); nullptr if none.
    QMenu* Menu(const QString& title) const;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateToolBar();
    void CreateStatusBar();
    void BuildMenuBar(bool withDocument);
    void UpdateTitles();
    void UpdateIndicators();
    void OnSubWindowActivated(QMdiSubWindow* window);

    CZelvanApp& m_app;
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_messagePane = nullptr;
    QLabel* m_sizePane = nullptr;
    QLabel* m_enginePane = nullptr;
    QLabel* m_indicators[3] = {};
    std::map<int, QAction*> m_actions;
    bool m_documentMenu = false;
    bool m_closingAll = false;
};
