#include "shell/zelvan_app.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>

#include "document/zelvan_doc.h"
#include "fourier/fourier.h"
#include "shell/command_table.h"
#include "shell/desktop_ui.h"
#include "shell/dialogs/about_dlg.h"
#include "shell/main_frame.h"
#include "view/zelvan_view.h"

namespace {

// The filter of the document template, the other files a document opens, and "All Files".
constexpr const char* kTemplateFilter =
    "BMP Files (*.bmp)|*.bmp|Jpeg files (*.jpg *.jpeg)|*.jpg;*.jpeg|PNG files (*.png)|*.png|"
    "CFourier files (*.ft)|*.ft|Stamp files (*.stp)|*.stp|All Files (*.*)|*.*||";

const QString kRecentGroup = QStringLiteral("Recent File List");
const QString kEngineKey = QStringLiteral("Settings/Engine");
// What earlier versions kept: true when the fast engine was switched on.
const QString kFastTransformKey = QStringLiteral("Settings/FastTransform");

QString CanonicalPath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

}  // namespace

CZelvanApp::CZelvanApp(CDesktopUi& ui) : m_ui(ui) {
    m_previousUi = InstallUi(&m_ui);
}

CZelvanApp::~CZelvanApp() {
    m_mainFrame.reset();
    m_ui.SetParentWindow(nullptr);
    m_ui.SetRecentFileSink({});
    InstallUi(m_previousUi);
}

void CZelvanApp::LoadSettings() {
    QSettings settings;
    m_recentFiles.clear();
    settings.beginGroup(kRecentGroup);
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty()) m_recentFiles << path;
    }
    settings.endGroup();
    const QString engine = settings.value(kEngineKey).toString();
    if (engine == QStringLiteral("fft") ||
        (engine.isEmpty() && settings.value(kFastTransformKey, false).toBool()))
        CFourier::SetEngineChoice(EngineChoice::Fft);
    else if (engine == QStringLiteral("projection"))
        CFourier::SetEngineChoice(EngineChoice::Projection);
    else
        CFourier::SetEngineChoice(EngineChoice::Automatic);
}

void CZelvanApp::SaveRecentFiles() const {
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    settings.remove(QString());
    for (int i = 0; i < m_recentFiles.size(); ++i)
        settings.setValue(QStringLiteral("File%1").arg(i + 1), m_recentFiles[i]);
    settings.endGroup();
}

bool CZelvanApp::InitInstance(const QStringList& arguments) {
    LoadSettings();
    m_mainFrame = std::make_unique<CMainFrame>(*this);
    m_ui.SetParentWindow(m_mainFrame.get());
    m_ui.SetRecentFileSink([this](const std::string& path) { AddToRecentFileList(path); });
    m_mainFrame->RebuildMenus();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_mainFrame->resize(area.width() * 3 / 4, area.height() * 3 / 4);
    }
    m_mainFrame->show();

    // The raw command line is where a path with blanks in it is found whole.
    SetApplicationCommandLine(arguments.join(QLatin1Char(' ')).toStdString());
    QString file;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            file = argument;
            break;
        }
    }
    if (file.isEmpty()) return OnFileNew() != nullptr;
    // A path with blanks that reached us in pieces is found whole on the raw command line.
    const QString whole = QString::fromStdString(ApplicationCommandLine());
    if (!QFileInfo::exists(file) && QFileInfo(whole).isFile()) file = whole;
    // A file that cannot be opened has said why; the program stays, without a document.
    OpenDocumentFile(file.toStdString());
    return true;
}

CZelvanView* CZelvanApp::OnFileNew() {
    auto document = std::make_shared<CZelvanDoc>();
    if (!document->OnNewDocument()) return nullptr;
    document->SetTitle(kDocumentName + std::to_string(++m_untitledCount));
    return m_mainFrame->CreateView(document);
}

CZelvanView* CZelvanApp::OpenDocumentFile(const std::string& path) {
    const QString wanted = CanonicalPath(QString::fromStdString(path));
    for (CZelvanView* view : m_mainFrame->Views()) {
        const std::string& open = view->GetDocument().GetPathName();
        if (!open.empty() && CanonicalPath(QString::fromStdString(open)) == wanted) {
            m_mainFrame->ActivateView(view);
            return view;
        }
    }
    auto document = std::make_shared<CZelvanDoc>();
    if (!document->OnOpenDocument(path)) return nullptr;
    return m_mainFrame->CreateView(document);
}

void CZelvanApp::OnFileOpen() {
    CFileDialogRequest request;
    request.open = true;
    request.defaultExtension = ".bmp";
    request.filter = kTemplateFilter;
    if (const std::optional<std::string> path = Ui().FileDialog(request)) OpenDocumentFile(*path);
}

void CZelvanApp::AddToRecentFileList(const std::string& path) {
    const QString absolute = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    m_recentFiles.removeAll(absolute);
    m_recentFiles.prepend(absolute);
    while (m_recentFiles.size() > kRecentFiles) m_recentFiles.removeLast();
    SaveRecentFiles();
    if (m_mainFrame) m_mainFrame->RebuildMenus();
}

void CZelvanApp::RemoveFromRecentFileList(int index) {
    if (index < 0 || index >= m_recentFiles.size()) return;
    m_recentFiles.removeAt(index);
    SaveRecentFiles();
    if (m_mainFrame) m_mainFrame->RebuildMenus();
}

void CZelvanApp::OpenRecentFile(int index) {
    if (index < 0 || index >= m_recentFiles.size()) return;
    if (!OpenDocumentFile(m_recentFiles[index].toStdString())) RemoveFromRecentFileList(index);
}

EngineChoice CZelvanApp::Engine() const {
    return CFourier::ChosenEngine();
}

void CZelvanApp::SetEngine(EngineChoice choice) {
    CFourier::SetEngineChoice(choice);
    const char* names[] = {"auto", "projection", "fft"};
    QSettings settings;
    settings.setValue(kEngineKey, QString::fromUtf8(names[static_cast<int>(choice)]));
    settings.remove(kFastTransformKey);
}

bool CZelvanApp::FastTransformShown(const CZelvanDoc* active) {
    if (active != nullptr && !active->m_hDIB.IsNull())
        return active->m_fourier.ActiveEngine() == FourierEngine::Fft;
    return CFourier::ChosenEngine() == EngineChoice::Fft;
}

std::string CZelvanApp::EngineStatusText(const CZelvanDoc* active) {
    if (active == nullptr || active->m_hDIB.IsNull() || active->m_fourier.PlaneSize() == 0)
        return {};
    return "Engine: " + active->m_fourier.EngineDescription();
}

void CZelvanApp::OnAppAbout() {
    CAboutDlg dialog(m_mainFrame.get());
    dialog.exec();
}
