#include "shell/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "document/zelvan_doc.h"
#include "shell/command_handlers.h"
#include "shell/command_table.h"
#include "shell/desktop_ui.h"
#include "shell/icons.h"
#include "shell/key_state.h"
#include "shell/zelvan_app.h"
#include "view/zelvan_view.h"

namespace {

CMainFrame*& TheMainFrame() {
    static CMainFrame* frame = nullptr;
    return frame;
}

CZelvanView* ViewOf(QMdiSubWindow* window) {
    return window ? qobject_cast<CZelvanView*>(window->widget()) : nullptr;
}

// Pixels a status pane adds around its text.
constexpr int kPanePadding = 12;

}  // namespace

CMainFrame::CMainFrame(CZelvanApp& app) : m_app(app) {
    TheMainFrame() = this;
    SetMainViewWindows(this);
    setWindowIcon(ApplicationIcon());
    setAcceptDrops(true);

    m_mdiArea = new QMdiArea;
    m_mdiArea->setBackground(QColor(128, 128, 128));
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    CreateActions();
    CreateToolBar();
    CreateStatusBar();
    BuildMenuBar(false);

    SetSizeTextListener([this] {
        if (m_sizePane) m_sizePane->setText(QString::fromStdString(SizeText()));
    });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &CMainFrame::UpdateCommandUi);
    qApp->installEventFilter(this);
    UpdateCommandUi();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    SetSizeTextListener({});
    // The document windows go first, while the frame they report to still exists.
    m_closingAll = true;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) delete window;
    if (TheMainFrame() == this) TheMainFrame() = nullptr;
    if (MainViewWindows() == this) SetMainViewWindows(nullptr);
}

CMainFrame* CMainFrame::Instance() {
    return TheMainFrame();
}

void CMainFrame::CreateActions() {
    for (const CCommandEntry& entry : CommandTable()) {
        auto* action = new QAction(this);
        action->setText(QString::fromUtf8(entry.text ? entry.text : ""));
        QList<QKeySequence> keys;
        for (const QString& key :
             QString::fromUtf8(entry.keys).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            keys << QKeySequence(key);
        action->setShortcuts(keys);
        action->setStatusTip(QString::fromStdString(StatusText(entry.id)));
        action->setToolTip(QString::fromStdString(ToolTipText(entry.id)));
        action->setCheckable(entry.checkable);
        action->setData(entry.id);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        // Every action belongs to the window, so its keys work whichever menu is shown.
        addAction(action);
        m_actions[entry.id] = action;
    }
}

void CMainFrame::CreateToolBar() {
    m_wndToolBar = new QToolBar(QStringLiteral("Standard"));
    m_wndToolBar->setObjectName(QStringLiteral("toolbar"));
    m_wndToolBar->setMovable(false);
    m_wndToolBar->setFloatable(false);
    m_wndToolBar->setIconSize(QSize(16, 15));
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const std::vector<QIcon> icons = ToolbarIcons();
    int image = 0;
    for (int id : ToolbarButtons()) {
        if (id == 0) {
            m_wndToolBar->addSeparator();
            continue;
        }
        QAction* action = m_actions.at(id);
        action->setIcon(icons[static_cast<size_t>(image++)]);
        m_wndToolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    m_messagePane = new QLabel(QString::fromUtf8(kIdleStatus));
    m_messagePane->setObjectName(QStringLiteral("pane0"));
    bar->addWidget(m_messagePane, 1);

    // Pane 102 shows the string of that id at first and keeps, whatever it shows later,
    // the width of the size text as it was when the frame was made.
    m_sizePane = new QLabel(QString::fromUtf8(kSizePaneInitial));
    m_sizePane->setObjectName(QStringLiteral("pane102"));
    m_sizePane->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_sizePane->setFixedWidth(
        QFontMetrics(m_sizePane->font()).horizontalAdvance(QString::fromStdString(SizeText())) +
        kPanePadding);
    bar->addPermanentWidget(m_sizePane);

    // The engine of the active document and why it was taken.
    m_enginePane = new QLabel;
    m_enginePane->setObjectName(QStringLiteral("paneEngine"));
    m_enginePane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addPermanentWidget(m_enginePane);

    const char* indicators[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel;
        pane->setObjectName(QStringLiteral("pane%1").arg(kCmdIndicatorCaps + i));
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setFixedWidth(
            QFontMetrics(pane->font()).horizontalAdvance(QString::fromUtf8(indicators[i])) +
            kPanePadding);
        pane->setAlignment(Qt::AlignCenter);
        pane->setProperty("indicator", QString::fromUtf8(indicators[i]));
        bar->addPermanentWidget(pane);
        m_indicators[i] = pane;
    }
}

void CMainFrame::BuildMenuBar(bool withDocument) {
    m_documentMenu = withDocument;
    QMenuBar* bar = menuBar();
    bar->clear();
    for (const CMenuLayout& layout : withDocument ? DocumentMenuLayout() : FrameMenuLayout()) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(layout.title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
        for (const CMenuItem& item : layout.items) {
            if (item.id == 0) {
                menu->addSeparator();
            } else if (item.id == kCmdFileMru1) {
                const QStringList& recent = m_app.RecentFiles();
                if (recent.isEmpty()) {
                    QAction* placeholder = menu->addAction(QStringLiteral("Recent File"));
                    placeholder->setEnabled(false);
                }
                for (int i = 0; i < recent.size(); ++i) {
                    const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(
                        QFontMetrics(menu->font()).elidedText(recent[i], Qt::ElideMiddle, 360));
                    QAction* action = menu->addAction(text);
                    action->setStatusTip(QString::fromStdString(StatusText(kCmdFileMru1)));
                    action->setData(kCmdFileMru1 + i);
                    connect(action, &QAction::triggered, this, [this, i] {
                        m_app.OpenRecentFile(i);
                        UpdateCommandUi();
                    });
                }
            } else {
                QAction* action = m_actions.at(item.id);
                const CCommandEntry* entry = FindCommand(item.id);
                action->setText(QString::fromUtf8(item.text ? item.text : entry->text));
                menu->addAction(action);
            }
        }
    }
}

void CMainFrame::RebuildMenus() {
    BuildMenuBar(m_mdiArea->currentSubWindow() != nullptr);
}

QMenu* CMainFrame::Menu(const QString& title) const {
    for (QAction* action : menuBar()->actions())
        if (action->menu() && action->text() == title) return action->menu();
    return nullptr;
}

QAction* CMainFrame::Action(int id) const {
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

CZelvanView* CMainFrame::CreateView(const std::shared_ptr<CZelvanDoc>& document) {
    auto* view = new CZelvanView(document);
    connect(view, &CZelvanView::NextWindowRequested, this, &CMainFrame::ActivateNextView);
    view->SetSaveQuestion(
        [this](const std::string& title) { return m_app.DesktopUi().AskSaveChanges(title); });
    QMdiSubWindow* window = m_mdiArea->addSubWindow(view);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(DocumentIcon());
    // Ctrl+F4 is the frame's Close, wherever the focus is; the window's own menu gives it
    // up, or the two would cancel each other out.
    if (QMenu* menu = window->systemMenu()) {
        const QKeySequence close(QStringLiteral("Ctrl+F4"));
        for (QAction* action : menu->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(close) > 0) action->setShortcuts(keys);
        }
    }
    // A new window takes the size of its picture, within most of the free area.
    const QSize free = m_mdiArea->viewport()->size();
    QSize wanted = window->sizeHint();
    if (free.width() > 100 && free.height() > 100) {
        // A window without a picture gets room for the one that will be opened or pasted.
        if (document->m_hDIB.IsNull()) wanted = QSize(free.width() * 3 / 5, free.height() * 3 / 5);
        wanted = wanted.boundedTo(QSize(free.width() * 4 / 5, free.height() * 4 / 5));
    }
    window->resize(wanted);
    view->show();
    window->show();
    // The area places each new window a step further down and right; one that would reach
    // past the area's edge is moved back inside, so its title bar and buttons stay in reach.
    if (free.width() > 100 && free.height() > 100) {
        const QRect placed = window->geometry();
        const int x = std::max(0, std::min(placed.x(), free.width() - placed.width()));
        const int y = std::max(0, std::min(placed.y(), free.height() - placed.height()));
        if (x != placed.x() || y != placed.y()) window->move(x, y);
    }
    m_mdiArea->setActiveSubWindow(window);
    connect(window, &QObject::destroyed, this, [this] {
        if (!m_closingAll)
            QMetaObject::invokeMethod(
                this,
                [this] {
                    RebuildMenus();
                    UpdateCommandUi();
                },
                Qt::QueuedConnection);
    });
    RebuildMenus();
    UpdateCommandUi();
    return view;
}

CZelvanView* CMainFrame::ActiveView() const {
    return ViewOf(m_mdiArea->currentSubWindow());
}

bool CMainFrame::HasActiveWindow() const {
    return m_mdiArea->currentSubWindow() != nullptr;
}

std::vector<CZelvanView*> CMainFrame::Views() const {
    std::vector<CZelvanView*> views;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList())
        if (CZelvanView* view = ViewOf(window)) views.push_back(view);
    return views;
}

std::vector<CZelvanView*> CMainFrame::ViewsOf(const CZelvanDoc& document) const {
    std::vector<CZelvanView*> views;
    for (CZelvanView* view : Views())
        if (&view->GetDocument() == &document) views.push_back(view);
    return views;
}

void CMainFrame::ActivateView(CZelvanView* view) {
    for (QMdiSubWindow* window : m_mdiArea->subWindowList())
        if (window->widget() == view) m_mdiArea->setActiveSubWindow(window);
}

void CMainFrame::ActivateNextView() {
    m_mdiArea->activateNextSubWindow();
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow*) {
    if ((m_mdiArea->currentSubWindow() != nullptr) != m_documentMenu) RebuildMenus();
    UpdateCommandUi();
}

bool CMainFrame::RouteCommand(int id) {
    CZelvanView* view = ActiveView();
    // The view may close during the command; its document stays alive until the end.
    std::shared_ptr<CZelvanDoc> document = view ? view->DocumentPtr() : nullptr;
    CCommandContext context{view, document.get(), *this, m_app};
    const bool handled = RunCommand(id, context);
    if (CMainFrame::Instance() == this) UpdateCommandUi();
    return handled;
}

CCmdUI CMainFrame::QueryCommand(int id) {
    CCmdUI ui;
    ui.id = id;
    const CCommandEntry* entry = FindCommand(id);
    if (entry && entry->checkable) ui.SetCheck(false);
    CZelvanView* view = ActiveView();
    CCommandContext context{view, view ? &view->GetDocument() : nullptr, *this, m_app};
    if (!UpdateCommand(context, ui)) ui.Enable(false);
    return ui;
}

void CMainFrame::UpdateCommandUi() {
    for (const auto& [id, action] : m_actions) {
        const CCmdUI ui = QueryCommand(id);
        action->setEnabled(ui.enabled);
        if (action->isCheckable()) action->setChecked(ui.checked);
    }
    m_sizePane->setText(QString::fromStdString(SizeText()));
    {
        CZelvanView* view = ActiveView();
        const std::string engine =
            CZelvanApp::EngineStatusText(view ? &view->GetDocument() : nullptr);
        m_enginePane->setText(QString::fromStdString(engine));
        m_enginePane->setVisible(!engine.empty());
    }
    UpdateTitles();
    UpdateIndicators();
}

void CMainFrame::UpdateTitles() {
    std::map<const CZelvanDoc*, int> counts;
    for (CZelvanView* view : Views()) ++counts[&view->GetDocument()];
    std::map<const CZelvanDoc*, int> numbers;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        CZelvanView* view = ViewOf(window);
        if (!view) continue;
        const CZelvanDoc* document = &view->GetDocument();
        QString title = QString::fromStdString(document->GetTitle());
        if (counts[document] > 1) title += QStringLiteral(":%1").arg(++numbers[document]);
        if (window->windowTitle() != title) window->setWindowTitle(title);
    }
    const QString frameTitle = QString::fromUtf8(kFrameTitle);
    QMdiSubWindow* active = m_mdiArea->currentSubWindow();
    if (active && active->isMaximized()) {
        // A maximised window whose title bar goes into the menu bar adds its title to the
        // frame's itself ("<frame> - [<name>]"); the name is not added a second time.
        const QString managed =
            frameTitle + QStringLiteral(" - [") + active->windowTitle() + QLatin1Char(']');
        if (windowTitle() == managed) return;
        setWindowTitle(frameTitle);
        if (windowTitle().contains(active->windowTitle())) return;
    }
    const QString title =
        active ? frameTitle + QStringLiteral(" - ") + active->windowTitle() : frameTitle;
    if (windowTitle() != title) setWindowTitle(title);
}

void CMainFrame::UpdateIndicators() {
    const LockKeys keys = ReadLockKeys();
    const bool on[3] = {keys.caps, keys.num, keys.scroll};
    for (int i = 0; i < 3; ++i) {
        const QString text = on[i] ? m_indicators[i]->property("indicator").toString() : QString();
        if (m_indicators[i]->text() != text) m_indicators[i]->setText(text);
    }
}

void CMainFrame::ArrangeIcons() {
    int x = 0;
    const int bottom = m_mdiArea->viewport()->height();
    for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
        if (!window->isMinimized()) continue;
        window->move(x, bottom - window->height());
        x += window->width();
    }
}

bool CMainFrame::CloseDocument(const CZelvanDoc& document) {
    std::vector<CZelvanView*> views = ViewsOf(document);
    if (views.empty()) return true;
    // The last window to close asks before any closes, so Cancel leaves them all open.
    if (!views.back()->MaybeSave()) return false;
    const bool wasClosing = m_closingAll;
    m_closingAll = true;
    for (CZelvanView* view : views)
        for (QMdiSubWindow* window : m_mdiArea->subWindowList())
            if (window->widget() == view) window->close();
    m_closingAll = wasClosing;
    QMetaObject::invokeMethod(
        this,
        [this] {
            RebuildMenus();
            UpdateCommandUi();
        },
        Qt::QueuedConnection);
    return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        UpdateIndicators();
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The message pane shows the command under the pointer, and "Ready" when none.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_messagePane->setText(tip.isEmpty() ? QString::fromUtf8(kIdleStatus) : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    std::vector<const CZelvanDoc*> documents;
    for (CZelvanView* view : Views())
        if (std::find(documents.begin(), documents.end(), &view->GetDocument()) == documents.end())
            documents.push_back(&view->GetDocument());
    for (const CZelvanDoc* document : documents) {
        if (!CloseDocument(*document)) {
            event->ignore();
            return;
        }
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    activateWindow();
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) m_app.OpenDocumentFile(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    UpdateCommandUi();
}
