// The desktop program driven as a person would: the real main frame, views and dialogs on
// Qt's offscreen platform. Messages are recorded instead of shown, so each test can check
// the exact text; every dialog is the real one, answered by a timer inside its event loop.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "document/zelvan_doc.h"
#include "image/bmp_file.h"
#include "shell/command_handlers.h"
#include "shell/command_table.h"
#include "shell/desktop_ui.h"
#include "shell/dialogs/blur_dlg.h"
#include "shell/dialogs/color_dlg.h"
#include "shell/dialogs/fourier_ops_dlg.h"
#include "shell/dialogs/fourier_queue_dlg.h"
#include "shell/dialogs/number_dlg.h"
#include "shell/dialogs/restore_dlg.h"
#include "shell/dialogs/sizes_dlg.h"
#include "shell/dialogs/stamp_cut_dlg.h"
#include "shell/dialogs/zelvanto_dlg.h"
#include "shell/main_frame.h"
#include "shell/zelvan_app.h"
#include "stamp/kernel_sources.h"
#include "stamp/restore.h"
#include "stamp/rubber_stamp.h"
#include "support/scope_guard.h"
#include "support/temp_dir.h"
#include "view/dib_image.h"
#include "view/spectrum_window.h"
#include "view/zelvan_view.h"

namespace fs = std::filesystem;

namespace {

// The desktop port with message boxes and questions recorded instead of shown.
class CRecordingUi : public CDesktopUi {
public:
    void Message(const std::string& text, MessageIcon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    bool AskYesNo(const std::string& text, bool defaultNo) override {
        if (onQuestion) onQuestion(text);
        messages.push_back(text);
        return !defaultNo;
    }
    SaveAnswer AskSaveChanges(const std::string& title) override {
        saveQuestions.push_back(title);
        return saveAnswer;
    }
    // File dialogs answered from the list while it lasts, then the real dialog.
    std::optional<std::string> FileDialog(const CFileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (files.empty()) return CDesktopUi::FileDialog(request);
        const std::optional<std::string> path = files.front();
        files.erase(files.begin());
        return path;
    }
    bool ReportProgress(double fraction) override {
        ++progressReports;
        if (cancelProgress && Progress()) Progress()->cancel();
        const bool goOn = CDesktopUi::ReportProgress(fraction);
        if (Progress() &&
            (progressCaptions.empty() || progressCaptions.back() != Progress()->labelText()))
            progressCaptions.push_back(Progress()->labelText());
        return goOn;
    }

    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
    std::vector<std::string> saveQuestions;
    SaveAnswer saveAnswer = SaveAnswer::No;
    std::vector<std::optional<std::string>> files;
    std::vector<CFileDialogRequest> fileRequests;
    int progressReports = 0;
    QStringList progressCaptions;  // the progress dialog's captions, in order
    bool cancelProgress = false;
    // Runs when a question comes, as the event loop of its message box would start.
    std::function<void(const std::string&)> onQuestion;
};

// True when an edit shows all of its text: the room inside its frame, less the margin the
// edit keeps on each side, holds the text.
bool ShowsWholeText(const QLineEdit* edit) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents = edit->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                               .marginsRemoved(edit->textMargins());
    constexpr int kEditMargin = 2;
    return edit->fontMetrics().horizontalAdvance(edit->text()) <=
           contents.width() - 2 * kEditMargin;
}

// A 24-bit picture with a pattern that changes in both directions and in every channel.
DibHandle PatternPicture(int width, int height, int seed) {
    DibHandle dib;
    NewGreyPicture(width, height, dib);
    uint8_t* pixels = dib.Data() + kInfoHeaderBytes;
    const int stride = RowBytes(width * 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                pixels[y * stride + 3 * x + c] =
                    static_cast<uint8_t>((x * (3 + c) + y * (5 + 2 * c) + seed * 40) % 256);
    return dib;
}

// Uniform noise (every frequency alike) blurred by a straight motion, its edges repeated
// beyond the borders as a camera's picture does not wrap around.
DibHandle MotionBlurredNoise(int width, int height, double length, double angle) {
    CPlanes noise, blurred;
    CKernel kernel;
    DibHandle dib;
    if (!noise.Allocate(width, height) || !MotionKernel(length, angle, kernel) ||
        !NewGreyPicture(width, height, dib))
        qFatal("no noise picture");
    uint32_t state = 12345;
    for (double& v : noise.values) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<double>(state >> 24);
    }
    if (!BlurPlanes(noise, kernel, false, blurred) || !PlanesToPicture(blurred, dib))
        qFatal("no noise picture");
    return dib;
}

// A packed bitmap with a colour table, made field by field (little-endian host).
DibHandle IndexedPicture(int width, int height, int bitCount, const std::vector<uint8_t>& rows,
                         const std::vector<uint32_t>& table) {
    const int stride = RowBytes(width * bitCount);
    const size_t bytes = 40 + 4 * table.size() + static_cast<size_t>(stride) * height;
    DibHandle dib(CMemoryBlock::Allocate(bytes));
    uint8_t* h = dib.Data();
    const int32_t fields[] = {40, width, height};
    std::memcpy(h, fields, sizeof fields);
    const uint16_t planes[] = {1, static_cast<uint16_t>(bitCount)};
    std::memcpy(h + 12, planes, sizeof planes);
    const uint32_t used = static_cast<uint32_t>(table.size());
    std::memcpy(h + 32, &used, 4);
    std::memcpy(h + 40, table.data(), 4 * table.size());
    std::memcpy(h + 40 + 4 * table.size(), rows.data(), rows.size());
    return dib;
}

std::string WritePicture(const fs::path& dir, const std::string& name, int width, int height,
                         int seed = 0) {
    DibHandle dib = PatternPicture(width, height, seed);
    const std::string path = (dir / name).string();
    if (WriteBmpFile(path, dib, 0) != 1) qFatal("cannot write %s", path.c_str());
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<uint8_t> Bytes(const DibHandle& dib) {
    return std::vector<uint8_t>(dib.Data(), dib.Data() + dib.Size());
}

// Runs `answer` on the first modal dialog of type T once it is open.
template <class T>
void WhenModal(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<CZelvanApp> m_app;
    fs::path m_dir;
    std::string m_picture;  // 64 x 48

    CMainFrame& Frame() { return *m_app->MainFrame(); }
    CZelvanView& View() { return *Frame().ActiveView(); }
    void Start(const QStringList& arguments, bool expected = true) {
        QCOMPARE(m_app->InitInstance(arguments), expected);
        Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Frame()));
    }
    bool Enabled(int id) {
        Frame().UpdateCommandUi();
        return Frame().Action(id)->isEnabled();
    }
    void Paint(CZelvanView& view) { view.viewport()->repaint(); }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        m_dir = TestTempDir("desktop");
        // Settings of this run alone: two runs at once (several build folders) would otherwise
        // share one settings file and see each other's recent files.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((m_dir / "settings").string()));
        m_picture = WritePicture(m_dir, "pattern.bmp", 64, 48);
    }

    void init() {
        QSettings().clear();
        QApplication::clipboard()->clear();
        CFourier::SetEngineChoice(EngineChoice::Automatic);
        m_ui = std::make_unique<CRecordingUi>();
        m_app = std::make_unique<CZelvanApp>(*m_ui);
    }

    void cleanup() {
        m_app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_ui.reset();
    }

    void startsWithTheCommandLineFile() {
        Start({QString::fromStdString(m_picture)});
        QCOMPARE(Frame().Views().size(), size_t{1});
        CZelvanDoc& doc = View().GetDocument();
        QCOMPARE(doc.m_sizeDoc, (CSize{64, 48}));
        QVERIFY(!doc.m_hOriginal.IsNull());
        QCOMPARE(Frame().windowTitle(),
                 QStringLiteral("Zavovo Zovozoz Ividarudedav - pattern.bmp"));
        // The document's menu set is in place, with the menus of a document window.
        QVERIFY(Frame().Menu(QStringLiteral("Fourier && &Colors")) != nullptr);
        QVERIFY(Frame().Menu(QStringLiteral("&Edit ")) != nullptr);
        // The path went to the recent files in the settings.
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(),
                 QString::fromStdString(fs::absolute(m_picture).string()));
        QVERIFY(m_ui->messages.empty());
    }

    void startsWithAnEmptyDocumentOrFailsOnABadFile() {
        Start({});
        QCOMPARE(Frame().Views().size(), size_t{1});
        QCOMPARE(View().GetDocument().GetTitle(), std::string("Fourier1"));
        QVERIFY(View().GetDocument().m_hDIB.IsNull());
        QVERIFY(!Enabled(kCmdEditCopy));
        cleanup();
        init();
        // A file that cannot be opened says why, and the program stays open without it.
        const std::string missing = (m_dir / "missing.bmp").string();
        Start({QString::fromStdString(missing)});
        QCOMPARE(m_ui->messages, std::vector<std::string>{"Failed to open: " + missing +
                                                          ": No such file or directory"});
        QVERIFY(Frame().Views().empty());
        QVERIFY(Frame().isVisible());
        QVERIFY(Frame().Menu(QStringLiteral("Fourier && &Colors")) == nullptr);
        cleanup();
        init();
        const std::string notes = (m_dir / "notes.txt").string();
        Start({QString::fromStdString(notes)});
        QCOMPARE(m_ui->messages,
                 std::vector<std::string>{
                     notes + " is not a file this program opens (.bmp, .jpg, .png, .ft or .stp)."});
        QVERIFY(Frame().Views().empty());
        // A path with blanks given in pieces is found whole.
        cleanup();
        init();
        const std::string blanks = WritePicture(m_dir, "with blanks.bmp", 8, 4);
        Start({QString::fromStdString((m_dir / "with").string()), QStringLiteral("blanks.bmp")});
        QCOMPARE(Frame().Views().size(), size_t{1});
        QCOMPARE(View().GetDocument().GetPathName(), blanks);
        QVERIFY(m_ui->messages.empty());
    }

    void closingAfterSaveAsSavesTheNewFile() {
        const std::string orig = WritePicture(m_dir, "orig.bmp", 16, 12, 1);
        const std::string before = ReadBytes(orig);
        Start({QString::fromStdString(orig)});
        CZelvanDoc& doc = View().GetDocument();
        const std::string result = (m_dir / "result.bmp").string();
        m_ui->files.push_back(result);
        QVERIFY(Frame().RouteCommand(kCmdFileSaveAs));
        QCOMPARE(doc.GetTitle(), std::string("result.bmp"));
        // A change after Save As; closing, the person answers Yes.
        doc.m_hDIB.Data()[kInfoHeaderBytes] ^= 0xFF;
        doc.SetModifiedFlag(true);
        m_ui->saveAnswer = CDesktopUi::SaveAnswer::Yes;
        QVERIFY(Frame().RouteCommand(kCmdFileClose));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m_ui->saveQuestions, std::vector<std::string>{"result.bmp"});
        QVERIFY(Frame().Views().empty());
        QVERIFY(ReadBytes(orig) == before);
        const std::string saved = ReadBytes(result);
        QCOMPARE(static_cast<uint8_t>(saved[54]), static_cast<uint8_t>(before[54] ^ 0xFF));

        // A document saved by Save is not modified: closing asks nothing.
        QVERIFY(m_app->OpenDocumentFile(result) != nullptr);
        View().GetDocument().SetModifiedFlag(true);
        QVERIFY(Frame().RouteCommand(kCmdFileSave));
        QVERIFY(!View().GetDocument().IsModified());
        QVERIFY(Frame().RouteCommand(kCmdFileClose));
        QCOMPARE(m_ui->saveQuestions.size(), size_t{1});
    }

    void aModifiedDocumentAsksOnceBeforeItsLastWindowCloses() {
        const std::string before = ReadBytes(m_picture);
        Start({QString::fromStdString(m_picture)});
        QVERIFY(Frame().RouteCommand(kCmdWindowNew));
        QCOMPARE(Frame().Views().size(), size_t{2});
        View().GetDocument().SetModifiedFlag(true);
        // Close asks before any window goes: Cancel keeps both.
        m_ui->saveAnswer = CDesktopUi::SaveAnswer::Cancel;
        QVERIFY(Frame().RouteCommand(kCmdFileClose));
        QCOMPARE(m_ui->saveQuestions, std::vector<std::string>{"pattern.bmp"});
        QCOMPARE(Frame().Views().size(), size_t{2});
        // A window that is not the document's last closes without asking.
        QVERIFY(Frame().MdiArea()->currentSubWindow()->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m_ui->saveQuestions.size(), size_t{1});
        QCOMPARE(Frame().Views().size(), size_t{1});
        // The last one asks, and stays on Cancel.
        QVERIFY(!Frame().MdiArea()->subWindowList().front()->close());
        QCOMPARE(m_ui->saveQuestions.size(), size_t{2});
        QCOMPARE(Frame().Views().size(), size_t{1});
        // Closing the main window asks once more; No lets everything close unsaved.
        m_ui->saveAnswer = CDesktopUi::SaveAnswer::No;
        QVERIFY(Frame().close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(m_ui->saveQuestions.size(), size_t{3});
        QVERIFY(Frame().Views().empty());
        QVERIFY(ReadBytes(m_picture) == before);
    }

    void windowsStayInsideTheWorkspaceAndTitlesNameThePictureOnce() {
        Start({QString::fromStdString(m_picture)});
        const std::string second = WritePicture(m_dir, "second.bmp", 64, 48, 2);
        QVERIFY(m_app->OpenDocumentFile(second) != nullptr);
        QVERIFY(m_app->OnFileNew() != nullptr);
        const QRect area = Frame().MdiArea()->viewport()->rect();
        const QList<QMdiSubWindow*> windows = Frame().MdiArea()->subWindowList();
        QCOMPARE(windows.size(), 3);
        for (QMdiSubWindow* window : windows)
            QVERIFY2(area.contains(window->geometry()),
                     qPrintable(window->windowTitle() + QStringLiteral(" lies outside")));

        // Maximised, the frame's title names the picture once.
        QMdiSubWindow* active = Frame().MdiArea()->currentSubWindow();
        QCOMPARE(active->windowTitle(), QStringLiteral("Fourier1"));
        Frame().MdiArea()->setActiveSubWindow(windows[1]);
        windows[1]->showMaximized();
        Frame().UpdateCommandUi();
        QCoreApplication::processEvents();
        QCOMPARE(Frame().windowTitle().count(QStringLiteral("second.bmp")), 1);
        Frame().UpdateCommandUi();
        QCOMPARE(Frame().windowTitle().count(QStringLiteral("second.bmp")), 1);
        Frame().MdiArea()->setActiveSubWindow(windows[0]);
        Frame().UpdateCommandUi();
        QCoreApplication::processEvents();
        QCOMPARE(Frame().windowTitle().count(QStringLiteral("pattern.bmp")), 1);
        QVERIFY(!Frame().windowTitle().contains(QStringLiteral("second.bmp")));
    }

    void ctrlF4ClosesTheActiveWindowWhereverTheFocusIs() {
        Start({QString::fromStdString(m_picture)});
        QVERIFY(m_app->OnFileNew() != nullptr);
        QCOMPARE(Frame().Views().size(), size_t{2});
        Frame().ToolBar()->setFocus();
        QTest::keyClick(Frame().ToolBar(), Qt::Key_F4, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Frame().Views().size(), size_t{1});
        QTest::keyClick(View().viewport(), Qt::Key_F4, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(Frame().Views().empty());
    }

    void sizePaneShowsTheLastPaintedSize() {
        Start({QString::fromStdString(m_picture)});
        QLabel* pane = Frame().SizePane();
        const int width = pane->width();
        Paint(View());
        QCOMPARE(QString::fromStdString(SizeText()), QStringLiteral("Size :     X: 64     Y: 48"));
        QCOMPARE(pane->text(), QString::fromStdString(SizeText()));
        QCOMPARE(pane->width(), width);
        // A new empty document paints only the background but still its size, 1 x 1.
        CZelvanView* empty = m_app->OnFileNew();
        Paint(*empty);
        QCOMPARE(pane->text(), QStringLiteral("Size :     X: 1     Y: 1"));
        QCOMPARE(empty->viewport()->grab().toImage().pixelColor(5, 5), QColor(200, 200, 200));
    }

    void zoomCyclesAndScrollSizes() {
        Start({QString::fromStdString(m_picture)});
        CZelvanView& view = View();
        view.parentWidget()->resize(120, 100);
        QCOMPARE(view.Zoom(), 1);
        const int next[] = {2, 4, 0, 1};
        for (int zoom : next) {
            QVERIFY(Frame().RouteCommand(kCmdNextMagn));
            QCOMPARE(view.Zoom(), zoom);
        }
        const int previous[] = {0, 4, 2, 1};
        for (int zoom : previous) {
            QVERIFY(Frame().RouteCommand(kCmdPrevMagn));
            QCOMPARE(view.Zoom(), zoom);
        }
        QVERIFY(Frame().RouteCommand(kCmdView200));
        QCOMPARE(view.ScrollSizes(), (CSize{128, 96}));
        QVERIFY(Frame().Action(kCmdView200)->isChecked());
        QVERIFY(!Frame().Action(kCmdView100)->isChecked());
        QCOMPARE(view.horizontalScrollBar()->maximum(), 128 - view.viewport()->width());
        QCOMPARE(view.verticalScrollBar()->maximum(), 96 - view.viewport()->height());
        // At 200 % each picture pixel covers two screen pixels.
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
        const QImage shown = view.viewport()->grab().toImage();
        const QImage picture = DibToImage(view.GetDocument().m_hDIB);
        QCOMPARE(shown.pixelColor(3, 5), picture.pixelColor(1, 2));
        // Fitting to the window scrolls over the client area itself: no scroll bars.
        QVERIFY(Frame().RouteCommand(kCmdViewFit));
        QCOMPARE(view.ScrollSizes(), (CSize{view.viewport()->width(), view.viewport()->height()}));
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(view.verticalScrollBar()->maximum(), 0);
    }

    void enterRunsTheFourierOperationsDialog() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        const std::vector<uint8_t> before = Bytes(doc.m_hDIB);
        bool seen = false;
        WhenModal<CFourierOpsDlg>([&](CFourierOpsDlg* dialog) {
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Fourier Operations"));
            QCOMPARE(dialog->PresentLabel()->text(), QStringLiteral("Not Present"));
            QVERIFY(dialog->Radio(0)->isChecked());
            dialog->Radio(1)->click();
            dialog->ParameterEdit(1)->setText(QStringLiteral("0.5"));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button1")),
                              Qt::LeftButton);
        });
        QTest::keyClick(View().viewport(), Qt::Key_Return);
        QVERIFY(seen);
        QCOMPARE(doc.m_settings.m_nKind, 1);
        QCOMPARE(doc.m_settings.m_dParamR1, 0.5);
        QVERIFY(doc.m_settings.m_bPresent);
        QVERIFY(!doc.m_settings.m_strTimeR1.empty());
        QVERIFY(fs::exists(m_dir / "pattern.ft"));
        QVERIFY(Bytes(doc.m_hDIB) != before);
        QCOMPARE(m_ui->WaitDepth(), 0);
        QVERIFY(m_ui->Progress() == nullptr);

        // The next time the dialog shows what was chosen and that a spectrum is present.
        WhenModal<CFourierOpsDlg>([&](CFourierOpsDlg* dialog) {
            QVERIFY(dialog->Radio(1)->isChecked());
            QCOMPARE(dialog->PresentLabel()->text(), QStringLiteral("Present"));
            QCOMPARE(dialog->TimeLabel(1)->text(),
                     QString::fromStdString(doc.m_settings.m_strTimeR1));
            dialog->reject();
        });
        QVERIFY(Frame().RouteCommand(kCmdFourierModifications));
        fs::remove(m_dir / "pattern.ft");
    }

    void cancelledTransformLeavesTheDocument() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        const std::vector<uint8_t> before = Bytes(doc.m_hDIB);
        m_ui->cancelProgress = true;
        WhenModal<CFourierOpsDlg>([](CFourierOpsDlg* dialog) {
            dialog->Radio(2)->click();
            dialog->accept();
        });
        QVERIFY(Frame().RouteCommand(kCmdFourierModifications));
        QVERIFY(m_ui->progressReports > 0);
        QCOMPARE(Bytes(doc.m_hDIB), before);
        QVERIFY(!doc.m_settings.m_bPresent);
        QVERIFY(m_ui->Progress() == nullptr);
        QCOMPARE(m_ui->WaitDepth(), 0);
    }

    void progressDialogCancels() {
        Start({});
        CDesktopUi& ui = *m_ui;
        ui.BeginWaitCursor();
        QVERIFY(ui.ReportProgress(0.1));
        QVERIFY(ui.Progress() != nullptr);
        QCOMPARE(ui.Progress()->windowTitle(), QStringLiteral("Dedozi Rivarav Eviduruvere"));
        QTest::mouseClick(ui.Progress()->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(!ui.ReportProgress(0.2));
        ui.EndWaitCursor();
        QVERIFY(ui.Progress() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void fourierOperationsDialogRules() {
        FourierSettings settings;
        settings.m_nKind = 4;
        settings.m_bPresent = true;
        settings.m_strSource = "00 : 00 : 03";
        CFourierOpsDlg dialog(settings);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.Radio(2)->text(), QString::fromUtf8("1/R²  Distribution"));
        QCOMPARE(dialog.PresentLabel()->text(), QStringLiteral("Present"));
        QCOMPARE(dialog.TimeLabel(0)->text(), QStringLiteral("00 : 00 : 03"));
        QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("button1"))->text(),
                 QStringLiteral("Okay"));
        // Exactly the edit of the chosen kind is enabled; kinds 0 and 5 enable none.
        const int kinds[] = {0, 1, 2, 3, 4, 5, 6};
        for (int kind : kinds) {
            dialog.Radio(kind)->click();
            for (int other : {1, 2, 3, 4, 6})
                QCOMPARE(dialog.ParameterEdit(other)->isEnabled(), other == kind);
        }
        // Range and number messages; the dialog stays open and the bad edit gets the focus.
        struct Case {
            int kind;
            const char* text;
            const char* message;
        };
        const Case cases[] = {
            {1, "1000.5", "Please enter a number between 0 and 1000."},
            {3, "-1", "Please enter a number between 0 and 1000."},
            {4, "0.001", "Please enter a number between 0.01 and 100000000."},
            {6, "abc", "Please enter a number."},
        };
        for (const Case& c : cases) {
            m_ui->messages.clear();
            dialog.Radio(c.kind)->click();
            QLineEdit* edit = dialog.ParameterEdit(c.kind);
            const QString good = edit->text();
            edit->setText(QString::fromUtf8(c.text));
            dialog.accept();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(dialog.isVisible());
            QCOMPARE(m_ui->messages, std::vector<std::string>{c.message});
            QCOMPARE(QApplication::focusWidget(), edit);
            edit->setText(good);
        }
        // A radio click exchanges the data too: a refused edit is reported at once.
        m_ui->messages.clear();
        dialog.ParameterEdit(2)->setText(QStringLiteral("5000"));
        dialog.Radio(1)->click();
        QCOMPARE(m_ui->messages.size(), size_t{1});
        dialog.ParameterEdit(2)->setText(QStringLiteral("7.25"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Settings().m_nKind, 1);
        QCOMPARE(dialog.Settings().m_dParamR2, 7.25);
    }

    void numberDialogRules() {
        CNumberData data;
        data.m_nChoice = 1;
        data.m_nX = 3;
        data.m_nY = -2;
        data.m_nHalfWidth = 32;
        data.m_nHalfHeight = 24;
        CNumberDlg dialog(data);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog Number"));
        QVERIFY(dialog.Radio(1)->isChecked());
        for (int choice = 0; choice <= 5; ++choice) {
            dialog.Radio(choice)->click();
            QCOMPARE(dialog.EditX()->isEnabled(), choice == 0 || choice == 3);
            QCOMPARE(dialog.EditY()->isEnabled(), choice == 0 || choice == 3);
        }
        // X = W/2 is refused for every choice, Half Frequency included.
        dialog.Radio(1)->click();
        dialog.EditX()->setText(QStringLiteral("32"));
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_ui->messages,
                 std::vector<std::string>{"Freq X must be between or equal to -32 and 31\n"
                                          "Freq Y must be between or equal to -24 and 23"});
        m_ui->messages.clear();
        dialog.EditX()->setText(QStringLiteral("x1"));
        dialog.accept();
        QCOMPARE(m_ui->messages, std::vector<std::string>{"Please enter an integer."});
        dialog.EditX()->setText(QStringLiteral("-32"));
        dialog.EditY()->setText(QStringLiteral("23"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Data().m_nChoice, 1);
        QCOMPARE(dialog.Data().m_nX, -32);
        QCOMPARE(dialog.Data().m_nY, 23);
    }

    void sizesDialogChoosesByDoubleClick() {
        Start({});
        // 70 x 50 does not fit: the person picks the second size with a double click.
        const std::string odd = WritePicture(m_dir, "odd.bmp", 70, 50);
        QStringList lines;
        WhenModal<CSizesDlg>([&](CSizesDlg* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog Sizes New Picture"));
            for (int i = 0; i < dialog->List()->count(); ++i)
                lines << dialog->List()->item(i)->text();
            QListWidgetItem* second = dialog->List()->item(1);
            const QRect rect = dialog->List()->visualItemRect(second);
            QTest::mouseClick(dialog->List()->viewport(), Qt::LeftButton, {}, rect.center());
            QTest::mouseDClick(dialog->List()->viewport(), Qt::LeftButton, {}, rect.center());
        });
        CZelvanView* view = m_app->OpenDocumentFile(odd);
        QVERIFY(view != nullptr);
        QVERIFY(lines.size() > 1);
        QCOMPARE(lines.front(), QStringLiteral("X, 64, Y= 50"));
        const QStringList size =
            lines[1].split(QRegularExpression(QStringLiteral("[^0-9]+")), Qt::SkipEmptyParts);
        QCOMPARE(view->GetDocument().m_sizeDoc, (CSize{size[0].toInt(), size[1].toInt()}));

        // Twelve whole rows show, none cut; the rest scroll.
        std::vector<CSize> many;
        for (int i = 0; i < 20; ++i) many.push_back({4000 - 4 * i, 2000 - 2 * i});
        // The dialog shows in its parent's font, here larger than the one it was made with.
        QWidget parent;
        QFont large = parent.font();
        large.setPointSizeF(large.pointSizeF() * 1.8);
        parent.setFont(large);
        CSizesDlg tall(many, &parent);
        tall.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tall));
        QListWidget* list = tall.List();
        const int shown = list->viewport()->height();
        QVERIFY2(list->visualItemRect(list->item(11)).bottom() < shown,
                 qPrintable(QStringLiteral("row 12 ends at %1 of %2")
                                .arg(list->visualItemRect(list->item(11)).bottom())
                                .arg(shown)));
        QCOMPARE(list->visualItemRect(list->item(12)).top(), shown);
        tall.close();

        // OK without a selection keeps the best size; Cancel opens nothing.
        CSizesDlg plain({{64, 50}, {60, 50}});
        plain.accept();
        QCOMPARE(plain.Selection(), -1);
        WhenModal<CSizesDlg>([](CSizesDlg* dialog) { dialog->reject(); });
        QVERIFY(m_app->OpenDocumentFile(WritePicture(m_dir, "odd2.bmp", 70, 50)) != nullptr);
        QVERIFY(Frame().ActiveView()->GetDocument().m_hDIB.IsNull());
    }

    void largePicturesOpenWholeWithoutTheSizesDialog() {
        Start({});
        // 402 x 301 is more than 320 x 240 pixels and no size of the exact engine: the FFT
        // engine takes it whole, no sizes dialog is asked, and the status bar says why.
        bool asked = false;
        WhenModal<CSizesDlg>([&](CSizesDlg* dialog) {
            asked = true;
            dialog->reject();
        });
        CZelvanView* view = m_app->OpenDocumentFile(WritePicture(m_dir, "large.bmp", 402, 301));
        QVERIFY(view != nullptr);
        QCoreApplication::processEvents();
        QVERIFY(!asked);
        QCOMPARE(view->GetDocument().m_sizeDoc, (CSize{402, 301}));
        Frame().UpdateCommandUi();
        QCOMPARE(Frame().EnginePane()->text(),
                 QStringLiteral("Engine: fft engine, the exact engine takes no 402 x 301 picture"));
        QVERIFY(Frame().Action(kCmdFastTransform)->isChecked());
        // With the exact engine chosen, 410 x 301 does not fit: the sizes dialog is asked.
        CFourier::SetEngine(FourierEngine::Projection);
        QVERIFY(m_app->OpenDocumentFile(WritePicture(m_dir, "large2.bmp", 410, 301)) != nullptr);
        QVERIFY(asked);
    }

    void copyAndPasteThroughTheClipboard() {
        Start({QString::fromStdString(m_picture)});
        CZelvanView& source = View();
        QVERIFY(Enabled(kCmdEditCopy));
        QVERIFY(!Enabled(kCmdEditPaste));
        QVERIFY(Frame().RouteCommand(kCmdEditCopy));
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QCOMPARE(data->data(QString::fromUtf8(kDibMimeType)),
                 DibBytes(source.GetDocument().m_hDIB));
        QVERIFY(data->hasImage());
        QVERIFY(Enabled(kCmdEditPaste));

        // Paste into an empty document: picture, original and Fourier file name are new.
        CZelvanView* empty = m_app->OnFileNew();
        QVERIFY(!Enabled(kCmdEditCopy));
        QVERIFY(Frame().RouteCommand(kCmdEditPaste));
        CZelvanDoc& doc = empty->GetDocument();
        QCOMPARE(doc.m_sizeDoc, (CSize{64, 48}));
        QCOMPARE(Bytes(doc.m_hDIB), Bytes(source.GetDocument().m_hDIB));
        QCOMPARE(Bytes(doc.m_hOriginal), Bytes(doc.m_hDIB));
        QCOMPARE(doc.m_strFourierPath, std::string("Fourier1.ft"));
        QVERIFY(doc.IsModified());
        QVERIFY(Enabled(kCmdEditCopy));

        // A plain image from another program pastes as well.
        QImage image(8, 6, QImage::Format_RGB888);
        image.fill(QColor(10, 20, 30));
        QApplication::clipboard()->setImage(image);
        QVERIFY(Enabled(kCmdEditPaste));
        QVERIFY(Frame().RouteCommand(kCmdEditPaste));
        QCOMPARE(doc.m_sizeDoc, (CSize{8, 6}));
        QCOMPARE(DibToImage(doc.m_hDIB).pixelColor(0, 0), QColor(10, 20, 30));
    }

    void copyToResultNeedsTheSameSize() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        const std::vector<uint8_t> picture = Bytes(doc.m_hDIB);
        const std::vector<uint8_t> original = Bytes(doc.m_hOriginal);

        DibHandle small = PatternPicture(32, 24, 1);
        auto* mime = new QMimeData;
        mime->setData(QString::fromUtf8(kDibMimeType), DibBytes(small));
        QApplication::clipboard()->setMimeData(mime);
        QVERIFY(Enabled(kCmdCopyToResult));
        QVERIFY(Frame().RouteCommand(kCmdCopyToResult));
        QCOMPARE(Bytes(doc.m_hDIB), picture);
        QCOMPARE(Bytes(doc.m_hOriginal), original);
        QCOMPARE(m_ui->messages.size(), size_t{1});
        QVERIFY(m_ui->messages[0] != "Clipboard picture copied to Result.");

        // The same size replaces the Result and keeps the Original.
        m_ui->messages.clear();
        DibHandle same = PatternPicture(64, 48, 2);
        mime = new QMimeData;
        mime->setData(QString::fromUtf8(kDibMimeType), DibBytes(same));
        QApplication::clipboard()->setMimeData(mime);
        QVERIFY(Frame().RouteCommand(kCmdCopyToResult));
        QCOMPARE(Bytes(doc.m_hDIB), Bytes(same));
        QCOMPARE(Bytes(doc.m_hOriginal), original);
        QCOMPARE(m_ui->messages, std::vector<std::string>{"Clipboard picture copied to Result."});
    }

    void characterKeys() {
        Start({QString::fromStdString(m_picture)});
        CZelvanView* first = &View();
        CZelvanView* second = m_app->OpenDocumentFile(WritePicture(m_dir, "b.bmp", 32, 24, 3));
        QCOMPARE(Frame().ActiveView(), second);
        QTest::keyClick(second->viewport(), 'n');
        QCOMPARE(Frame().ActiveView(), first);
        QTest::keyClick(first->viewport(), 'S');
        QTest::keyClick(first->viewport(), 'N');
        QVERIFY(m_ui->messages.empty());
        QCOMPARE(Frame().ActiveView(), first);
        QTest::keyClick(first->viewport(), 's');
        QCOMPARE(m_ui->messages.size(), size_t{3});
        QVERIFY(m_ui->messages[0].starts_with("Red, Aver Var:     "));
        QVERIFY(m_ui->messages[1].starts_with("Green, Aver Var:   "));
        QVERIFY(m_ui->messages[2].starts_with("Blue, Aver, Var:   "));
        QCOMPARE(m_ui->icons[0], MessageIcon::Exclamation);
        const CFourier& fourier = first->GetDocument().m_fourier;
        QCOMPARE(m_ui->messages[2],
                 "Blue, Aver, Var:   " + std::to_string(static_cast<int>(fourier.Mean(0))) + "  " +
                     std::to_string(static_cast<int>(fourier.Deviation(0))));
        // '+' puts the kept Original back into the Result.
        CZelvanDoc& doc = first->GetDocument();
        std::memset(doc.m_hDIB.Data() + kInfoHeaderBytes, 0, 64 * 3);
        QTest::keyClick(first->viewport(), '+');
        QCOMPARE(Bytes(doc.m_hDIB), Bytes(doc.m_hOriginal));
    }

    void colourDialogAppliesEachMoveAtOnceAndCancelRestores() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        const std::vector<uint8_t> before = Bytes(doc.m_hDIB);
        QVERIFY(!Enabled(kCmdUndoColor));
        bool answered = false;
        WhenModal<CColorDlg>([&](CColorDlg* dialog) {
            answered = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog Color"));
            QSlider* light = dialog->Slider(kIdLight);
            QCOMPARE(light->minimum(), -100);
            QCOMPARE(light->maximum(), 100);
            QCOMPARE(light->tickInterval(), 10);
            QCOMPARE(dialog->Slider(kIdContrast)->maximum(), 200);
            QCOMPARE(dialog->Slider(kIdGamma)->value(), 50);
            QCOMPARE(dialog->Slider(kIdResultOriginal)->value(), 0);
            QCOMPARE(dialog->Edit(kIdRedVariation)->text(), QStringLiteral("100"));
            QVERIFY(dialog->Applied());
            // A move shows at once, in the document and on the screen.
            light->setValue(40);
            QCOMPARE(doc.m_colorCurrent.m_nLight, 40);
            const std::vector<uint8_t> lighter = Bytes(doc.m_hDIB);
            QVERIFY(lighter != before);
            QCOMPARE(doc.m_hDIB.Data()[kInfoHeaderBytes + 5],
                     ByteFromReal(before[kInfoHeaderBytes + 5] + 40 * 2.55));
            Paint(View());
            QCOMPARE(View().viewport()->grab().toImage().pixelColor(0, 47),
                     DibToImage(doc.m_hDIB).pixelColor(0, 47));
            // While the thumb is dragged, the positions passed meanwhile are skipped: the
            // latest is shown once the waiting events are handled.
            QSlider* gamma = dialog->Slider(kIdGamma);
            gamma->setSliderDown(true);
            for (int position : {45, 40, 35}) gamma->setValue(position);
            QCOMPARE(doc.m_colorCurrent.m_nGamma, 50);
            QCoreApplication::processEvents();
            QCOMPARE(doc.m_colorCurrent.m_nGamma, 35);
            gamma->setSliderDown(false);
            gamma->setValue(50);
            QCOMPARE(Bytes(doc.m_hDIB), lighter);
            // An edit that is not an integer keeps the dialog open and applies nothing.
            dialog->Edit(kIdGreenAverage)->setText(QStringLiteral("1.5"));
            dialog->ApplyColor();
            QCOMPARE(m_ui->messages, std::vector<std::string>{"Please enter an integer."});
            QCOMPARE(Bytes(doc.m_hDIB), lighter);
            dialog->accept();
            QVERIFY(dialog->isVisible());
            dialog->Edit(kIdGreenAverage)->setText(QStringLiteral("0"));
            dialog->Slider(kIdResultOriginal)->setValue(100);
            QCOMPARE(doc.m_colorCurrent.m_nResultShare, 0);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button2")),
                              Qt::LeftButton);
        });
        QTest::keyClick(View().viewport(), Qt::Key_Space);
        QVERIFY(answered);
        QCOMPARE(doc.m_colorCurrent, ColorSettings{});
        QCOMPARE(Bytes(doc.m_hDIB), before);
        QVERIFY(!Enabled(kCmdUndoColor));
    }

    void colourDialogOkThenUndoColorOnce() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        const std::vector<uint8_t> before = Bytes(doc.m_hDIB);
        WhenModal<CColorDlg>([&](CColorDlg* dialog) {
            dialog->Slider(kIdGamma)->setValue(75);
            dialog->Edit(kIdBlueVariation)->setText(QStringLiteral("50"));
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button1")),
                              Qt::LeftButton);
        });
        QVERIFY(Frame().RouteCommand(kCmdColorChange));
        QCOMPARE(doc.m_colorCurrent.m_nGamma, 75);
        QCOMPARE(doc.m_colorCurrent.m_nBlueVariation, 50);
        const std::vector<uint8_t> brighter = Bytes(doc.m_hDIB);
        QVERIFY(brighter != before);
        QVERIFY(Enabled(kCmdUndoColor));
        QCOMPARE(Frame().Action(kCmdUndoColor)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QVERIFY(Frame().RouteCommand(kCmdUndoColor));
        QCOMPARE(doc.m_colorCurrent, ColorSettings{});
        QCOMPARE(Bytes(doc.m_hDIB), before);
        QVERIFY(!Enabled(kCmdUndoColor));

        // "Set Original" puts every control back and shows the Result.
        WhenModal<CColorDlg>([&](CColorDlg* dialog) {
            dialog->Slider(kIdContrast)->setValue(0);
            QVERIFY(Bytes(doc.m_hDIB) != before);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button134")),
                              Qt::LeftButton);
            QCOMPARE(dialog->Slider(kIdContrast)->value(), 100);
            QCOMPARE(Bytes(doc.m_hDIB), before);
            dialog->accept();
        });
        QVERIFY(Frame().RouteCommand(kCmdColorChange));
        QVERIFY(Enabled(kCmdUndoColor));
        QVERIFY(m_ui->messages.empty());
    }

    void ratioAndCompareFromTheMenu() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        QVERIFY(Enabled(kCmdRatioFrequency));
        QVERIFY(Frame().RouteCommand(kCmdRatioFrequency));
        QCOMPARE(m_ui->messages,
                 std::vector<std::string>{"Read CFourier error, or CFourier not made yet."});
        m_ui->messages.clear();
        QVERIFY(Frame().RouteCommand(kCmdCompareResult));
        QCOMPARE(m_ui->messages, std::vector<std::string>{
                                     "The Compare filename is still empty. Use the 'Zelvanto... "
                                     "' menu item to give it the right value."});
        m_ui->messages.clear();
        doc.m_strCompareFile = m_picture;
        QVERIFY(Frame().RouteCommand(kCmdCompareResult));
        QVERIFY(m_ui->messages.empty());
        QCOMPARE(doc.m_hDIB.Data()[kInfoHeaderBytes + 100], 127);
    }

    void commandsWithoutHandlersAreDisabled() {
        Start({QString::fromStdString(m_picture)});
        for (const CCommandEntry& entry : CommandTable()) {
            if (!HasHandler(entry.id))
                QVERIFY2(!Enabled(entry.id), entry.text ? entry.text : entry.keys);
        }
        QVERIFY(Enabled(kCmdFourierModifications));
        QCOMPARE(Frame().Action(kCmdFourierModifications)->statusTip(),
                 QStringLiteral("Fourier Operation Menu"));
        QCOMPARE(Frame().Action(kCmdEditCopy)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+C")),
                                      QKeySequence(QStringLiteral("Ctrl+Ins"))}));
        // Nine buttons with three separators, in the order of the toolbar resource.
        QList<QAction*> buttons = Frame().ToolBar()->actions();
        QCOMPARE(buttons.size(), 12);
        QCOMPARE(buttons[10], Frame().Action(kCmdFourierModifications));
        QVERIFY(buttons[4]->isSeparator());
        // The engine goes by the picture's size at first (64 x 48: the exact one), and the
        // status bar says so; the fast engine is then an explicit choice kept in the
        // settings, and "Engine by Picture Size" goes back.
        QVERIFY(Frame().Action(kCmdEngineBySize)->isChecked());
        QVERIFY(!Frame().Action(kCmdFastTransform)->isChecked());
        QCOMPARE(Frame().EnginePane()->text(),
                 QStringLiteral("Engine: projection engine, by picture size"));
        QVERIFY(Frame().RouteCommand(kCmdFastTransform));
        QCOMPARE(CFourier::ChosenEngine(), EngineChoice::Fft);
        QVERIFY(Frame().Action(kCmdFastTransform)->isChecked());
        QVERIFY(!Frame().Action(kCmdEngineBySize)->isChecked());
        QCOMPARE(Frame().EnginePane()->text(), QStringLiteral("Engine: fft engine, chosen"));
        QCOMPARE(QSettings().value(QStringLiteral("Settings/Engine")).toString(),
                 QStringLiteral("fft"));
        QVERIFY(Frame().RouteCommand(kCmdFastTransform));
        QCOMPARE(CFourier::ChosenEngine(), EngineChoice::Projection);
        QVERIFY(Frame().RouteCommand(kCmdEngineBySize));
        QCOMPARE(CFourier::ChosenEngine(), EngineChoice::Automatic);
        QCOMPARE(QSettings().value(QStringLiteral("Settings/Engine")).toString(),
                 QStringLiteral("auto"));
        // Closing the last window brings back the menus without a document.
        QTest::keyClick(View().viewport(), Qt::Key_F4, Qt::ControlModifier);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QVERIFY(Frame().Views().empty());
        QVERIFY(Frame().Menu(QStringLiteral("&Edit ")) == nullptr);
        QVERIFY(!Enabled(kCmdEditCopy));
        QVERIFY(Enabled(kCmdFileOpen));
    }

    void droppedFilesOpen() {
        Start({});
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(m_picture))});
        // The drop goes where the drag entered, as the window system delivers it.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &drop);
        QCOMPARE(Frame().Views().size(), size_t{2});
        QCOMPARE(View().GetDocument().m_sizeDoc, (CSize{64, 48}));
        delete mime;

        // A dropped stamp opens as its grey picture, the peak white.
        std::vector<double> values(8 * 4, 0.0);
        values[1 * 8 + 2] = 1.0;
        const std::string stamp = (m_dir / "dropped.stp").string();
        QCOMPARE(WriteRubberStamp(stamp, values.data(), 8, 4, 2, 1), 1);
        auto* stampMime = new QMimeData;
        stampMime->setUrls({QUrl::fromLocalFile(QString::fromStdString(stamp))});
        QDragEnterEvent stampEnter(QPoint(10, 10), Qt::CopyAction, stampMime, Qt::LeftButton,
                                   Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &stampEnter);
        QDropEvent stampDrop(QPointF(10, 10), Qt::CopyAction, stampMime, Qt::LeftButton,
                             Qt::NoModifier);
        QApplication::sendEvent(&Frame(), &stampDrop);
        QCOMPARE(Frame().Views().size(), size_t{3});
        const CZelvanDoc& shown = View().GetDocument();
        QCOMPARE(shown.m_sizeDoc, (CSize{8, 4}));
        QCOMPARE(shown.GetTitle(), std::string("dropped.stp"));
        QCOMPARE(int(PicturePixels(shown.m_hDIB.Data(), 0)[1 * RowBytes(8 * 24) + 3 * 2]), 255);
        delete stampMime;
    }

    void packedBitmapsAsImages() {
        // Stored rows run bottom-up in blue, green, red; the image is top-down RGB.
        DibHandle dib = PatternPicture(4, 2, 0);
        uint8_t* bottom = dib.Data() + kInfoHeaderBytes;
        bottom[0] = 1, bottom[1] = 2, bottom[2] = 3;
        const QImage image = DibToImage(dib);
        QCOMPARE(image.size(), QSize(4, 2));
        QCOMPARE(image.pixelColor(0, 1), QColor(3, 2, 1));
        QCOMPARE(Bytes(DibFromImage(image)), Bytes(dib));

        // 8 and 1 bits per pixel go through the colour table (entries blue, green, red, 0).
        const std::vector<uint32_t> table = {0x00102030, 0x00A0B0C0};
        DibHandle eight = IndexedPicture(3, 1, 8, {1, 0, 1, 0}, table);
        QCOMPARE(DibToImage(eight).pixelColor(0, 0), QColor(0xA0, 0xB0, 0xC0));
        QCOMPARE(DibToImage(eight).pixelColor(1, 0), QColor(0x10, 0x20, 0x30));
        DibHandle one = IndexedPicture(10, 1, 1, {0b01000000, 0b01000000, 0, 0}, table);
        const QImage bits = DibToImage(one);
        QCOMPARE(bits.pixelColor(1, 0), QColor(0xA0, 0xB0, 0xC0));
        QCOMPARE(bits.pixelColor(9, 0), QColor(0xA0, 0xB0, 0xC0));
        QCOMPARE(bits.pixelColor(8, 0), QColor(0x10, 0x20, 0x30));

        // Clipboard bytes that stop inside the rows are no picture.
        QByteArray bytes = DibBytes(dib);
        QVERIFY(!DibFromBytes(bytes).IsNull());
        bytes.chop(4);
        QVERIFY(DibFromBytes(bytes).IsNull());
        QVERIFY(DibToImage(DibHandle()).isNull());
    }

    void fileFiltersAndRecentFiles() {
        QCOMPARE(
            CDesktopUi::NameFilters(kOpenFilter),
            (QStringList{
                QStringLiteral("Bitmap files (*.bmp)"), QStringLiteral("Jpeg files (*.jpg *.jpeg)"),
                QStringLiteral("PNG files (*.png)"), QStringLiteral("CFourier files (*.ft)"),
                QStringLiteral("Stamp files (*.stp)"), QStringLiteral("All files(*.*)")}));
        QCOMPARE(CDesktopUi::NameFilters("Pictures|*.bmp;*.jpg||"),
                 QStringList{QStringLiteral("Pictures (*.bmp *.jpg)")});

        // Four recent files, the latest first; opening one moves it to the front.
        Start({});
        std::vector<std::string> paths;
        for (int i = 0; i < 5; ++i) {
            paths.push_back(WritePicture(m_dir, "recent" + std::to_string(i) + ".bmp", 8, 4));
            QVERIFY(m_app->OpenDocumentFile(paths.back()) != nullptr);
        }
        QCOMPARE(m_app->RecentFiles().size(), 4);
        QCOMPARE(m_app->RecentFiles().front(), QString::fromStdString(paths[4]));
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File4")).toString(),
                 QString::fromStdString(paths[1]));
        QStringList entries;
        for (QAction* action : Frame().Menu(QStringLiteral("&File"))->actions())
            if (action->text().startsWith(QLatin1Char('&')) && action->text().at(1).isDigit())
                entries << action->text();
        QCOMPARE(entries.size(), 4);
        QVERIFY(entries[0].startsWith(QStringLiteral("&1 ")));
        // A recent file that has gone is dropped from the list when it fails to open.
        Frame().MdiArea()->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        fs::remove(paths[3]);
        m_app->OpenRecentFile(1);
        QCOMPARE(m_ui->messages.back(),
                 "Failed to open: " + paths[3] + ": No such file or directory");
        QCOMPARE(m_app->RecentFiles().size(), 3);
        QVERIFY(!m_app->RecentFiles().contains(QString::fromStdString(paths[3])));
    }

    void printRectKeepsThePhysicalAspect() {
        // A landscape picture on a portrait page fills the width ...
        QCOMPARE(PrintRect(640, 480, 4800, 6600, 600, 600), QRect(0, 0, 4800, 3600));
        // ... a portrait one the height; unequal resolutions keep physical proportions.
        QCOMPARE(PrintRect(100, 400, 4800, 6600, 600, 600), QRect(0, 0, 1650, 6600));
        QCOMPARE(PrintRect(640, 480, 4800, 3300, 600, 300), QRect(0, 0, 4800, 1800));

        // The page as printing draws it: the picture across the page width, the rest blank.
        Start({QString::fromStdString(m_picture)});
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString((m_dir / "page.pdf").string()));
        printer.setPageSize(QPageSize(QPageSize::A4));
        View().PrintPage(printer);
        QVERIFY(fs::file_size(m_dir / "page.pdf") > 1000);
    }

    void fourierQueueDialog() {
        CFourier::SetEngine(FourierEngine::Fft);
        const std::string picture = WritePicture(m_dir, "queue.bmp", 64, 48, 3);
        Start({QString::fromStdString(picture)});
        CZelvanDoc& doc = View().GetDocument();
        // Adds an entry as a person does: types the suffix, presses New, picks a kind.
        const auto add = [](CFourierQueueDlg* dialog, const char* suffix, int kind) {
            dialog->SuffixEdit()->clear();
            QTest::keyClicks(dialog->SuffixEdit(), QString::fromUtf8(suffix));
            WhenModal<CFourierOpsDlg>([kind](CFourierOpsDlg* ops) {
                ops->Radio(kind)->click();
                ops->accept();
            });
            dialog->Button(kIdQueueNew)->click();
        };
        bool seen = false;
        WhenModal<CFourierQueueDlg>([&](CFourierQueueDlg* dialog) {
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog Fourier Queue"));
            QCOMPARE(dialog->Button(kIdQueueExecute)->text(),
                     QStringLiteral("Execute Queued Tasks "));
            QVERIFY(dialog->FormatRadio(1)->isChecked());  // a .bmp picture
            QVERIFY(!dialog->Button(kIdQueueNew)->isEnabled());
            QVERIFY(dialog->Button(kIdQueueOk)->isDefault());
            // Six characters cannot be typed; typing makes New the default button.
            QTest::keyClicks(dialog->SuffixEdit(), QStringLiteral("abcdef"));
            QCOMPARE(dialog->SuffixEdit()->text(), QStringLiteral("abcde"));
            QVERIFY(dialog->Button(kIdQueueNew)->isEnabled());
            QVERIFY(dialog->Button(kIdQueueNew)->isDefault());
            add(dialog, "z", 1);
            add(dialog, "a", 2);
            add(dialog, "m", 4);
            QCOMPARE(dialog->List()->count(), 3);
            QCOMPARE(dialog->List()->item(0)->text(), QStringLiteral("z"));
            QCOMPARE(dialog->SuffixEdit()->text(), QString());
            QVERIFY(dialog->Button(kIdQueueOk)->isDefault());
            // A suffix that differs only in case is refused.
            QTest::keyClicks(dialog->SuffixEdit(), QStringLiteral("Z"));
            dialog->Button(kIdQueueNew)->click();
            QCOMPARE(m_ui->messages.back(), std::string("Sorry, string not unique."));
            QCOMPARE(dialog->List()->count(), 3);
            // Delete and Modify follow the selection.
            QVERIFY(!dialog->Button(kIdQueueDelete)->isEnabled());
            dialog->List()->setCurrentRow(1);
            QVERIFY(dialog->Button(kIdQueueDelete)->isEnabled());
            QVERIFY(dialog->Button(kIdQueueModify)->isEnabled());
            dialog->Button(kIdQueueHelp)->click();
            QCOMPARE(m_ui->messages.back(), std::string(kQueueHelpMessage));
            // Three entries: the question first (the recording port answers Yes).
            dialog->Button(kIdQueueExecute)->click();
        });
        QVERIFY(Frame().RouteCommand(kCmdFourierQueue));
        QVERIFY(seen);
        QCOMPARE(m_ui->messages.back(),
                 std::string("You do realize this is a lenghty task. Continue ?"));
        for (const char* name : {"queuea.bmp", "queuem.bmp", "queuez.bmp"})
            QVERIFY2(fs::exists(m_dir / name), name);
        QCOMPARE(doc.m_queue[0].m_strSpare, std::string("a"));
        QCOMPARE(doc.m_queue[0].m_nKind, 2);

        // Reopened, the dialog lists the entries in the order they ran; OK runs nothing.
        seen = false;
        WhenModal<CFourierQueueDlg>([&](CFourierQueueDlg* dialog) {
            seen = true;
            QCOMPARE(dialog->List()->count(), 3);
            QCOMPARE(dialog->List()->item(0)->text(), QStringLiteral("a"));
            QCOMPARE(dialog->List()->item(2)->text(), QStringLiteral("z"));
            dialog->Button(kIdQueueOk)->click();
        });
        fs::remove(m_dir / "queuea.bmp");
        QVERIFY(Frame().RouteCommand(kCmdFourierQueue));
        QVERIFY(seen);
        QVERIFY(!fs::exists(m_dir / "queuea.bmp"));

        // Execute All Queues: the active document's queue, then the other's, then it stops.
        CZelvanView* second = m_app->OpenDocumentFile(WritePicture(m_dir, "other.bmp", 64, 48, 5));
        QVERIFY(second);
        CZelvanDoc& other = second->GetDocument();
        other.m_queue[0].m_strSpare = "q";
        other.m_queue[0].m_nKind = 1;
        other.m_nQueueFormat = 0;
        Frame().ActivateView(second);
        QVERIFY(Enabled(kCmdExecuteAllQueues));
        QVERIFY(Frame().RouteCommand(kCmdExecuteAllQueues));
        QVERIFY(fs::exists(m_dir / "otherq.jpg"));
        QVERIFY(fs::exists(m_dir / "queuea.bmp"));  // in the format its dialog stored
        QCOMPARE(Frame().ActiveView(), second);
        for (const char* name : {"queuea.bmp", "queuem.bmp", "queuez.bmp", "queuea.jpg",
                                 "queuem.jpg", "queuez.jpg", "otherq.jpg", "queue.ft", "other.ft"})
            fs::remove(m_dir / name);
    }
    void restoreDialog() {
        // A sharp picture and the same blurred by the program's horizontal path, cyclic.
        DibHandle sharp = PatternPicture(64, 48, 2);
        CPlanes sharpPlanes, blurredPlanes;
        CKernel blur;
        QVERIFY(PlanesFromPicture(sharp, sharpPlanes));
        QVERIFY(BlurPathKernel(0, 10, 0.6, blur));
        QVERIFY(BlurPlanes(sharpPlanes, blur, true, blurredPlanes));
        DibHandle blurred = CopyHandle(sharp);
        QVERIFY(PlanesToPicture(blurredPlanes, blurred));
        const std::string sharpPath = (m_dir / "rsharp.bmp").string();
        const std::string blurredPath = (m_dir / "rblurred.bmp").string();
        QCOMPARE(WriteBmpFile(sharpPath, sharp, 0), 1);
        QCOMPARE(WriteBmpFile(blurredPath, blurred, 0), 1);
        Start({QString::fromStdString(blurredPath)});
        CZelvanDoc& doc = View().GetDocument();
        QVERIFY(Frame().Action(kCmdRestore)->text().startsWith(QStringLiteral("Restore ...")));
        QVERIFY(Frame()
                    .Menu(QStringLiteral("Blur && &Zelvanto"))
                    ->actions()
                    .contains(Frame().Action(kCmdRestore)));
        QVERIFY(Enabled(kCmdRestore));
        CPlanes before;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, before));

        // A known blur: the preview follows the controls within 100 ms; OK restores.
        bool seen = false;
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            QVERIFY(dialog->SourceRadio(KernelSource::BlurPath)->isChecked());
            QCOMPARE(dialog->KnownCombo()->currentText(), QStringLiteral("Blur Horizontal"));
            dialog->RefreshPreview();
            QVERIFY(!dialog->Preview()->pixmap().isNull());
            QVERIFY2(dialog->PreviewInfo()->text().contains(QStringLiteral("kernel 10 x 1")),
                     qPrintable(dialog->PreviewInfo()->text()));
            QVERIFY(dialog->PreviewMilliseconds() < 100.0);
            // The kernel beside it, each value a square of 12 pixels.
            QCOMPARE(dialog->KernelView()->pixmap().size(), QSize(120, 12));
            const int count = dialog->PreviewCount();
            dialog->KnownCombo()->setCurrentIndex(CRestoreDlg::kPathFirst + 3);  // random
            QTRY_VERIFY(dialog->PreviewCount() > count);
            QVERIFY(dialog->PreviewInfo()->text().contains(QStringLiteral("kernel")));
            dialog->KnownCombo()->setCurrentIndex(CRestoreDlg::kPathFirst);
            dialog->TaperCheck()->setChecked(false);
            QVERIFY(!dialog->StrengthSpin()->isEnabled());
            dialog->MethodCombo()->setCurrentIndex(1);
            QVERIFY(dialog->IterationsSpin()->isEnabled());
            dialog->MethodCombo()->setCurrentIndex(0);
            dialog->accept();
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);
        CPlanes after;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, after));
        QVERIFY(PlanesPsnr(after, sharpPlanes) > PlanesPsnr(before, sharpPlanes) + 15.0);
        QVERIFY(doc.IsModified());
        QCOMPARE(m_ui->progressCaptions, QStringList{QStringLiteral("Restoring ...")});

        // A colour change starts from the restored picture: lighter, then back, and OK
        // leaves the restoration as it was.
        WhenModal<CColorDlg>([&](CColorDlg* dialog) {
            dialog->Slider(kIdLight)->setValue(20);
            dialog->Slider(kIdLight)->setValue(0);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("button1")),
                              Qt::LeftButton);
        });
        QVERIFY(Frame().RouteCommand(kCmdColorChange));
        CPlanes coloured;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, coloured));
        QVERIFY(coloured.values == after.values);

        // The dialog opens again on the restoration it was left with.
        seen = false;
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            QVERIFY(dialog->SourceRadio(KernelSource::BlurPath)->isChecked());
            QVERIFY(!dialog->TaperCheck()->isChecked());
            QCOMPARE(dialog->FirstParameter()->value(), 10.0);
            dialog->reject();
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);

        // The example pair: "Learn Kernel" writes the blur beside the Blurred picture; a
        // missing stamp file is told under the preview, not in a message box; Cancel keeps
        // the picture.
        seen = false;
        const size_t messages = m_ui->messages.size();
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            dialog->GoodEdit()->setText(QString::fromStdString(sharpPath));
            dialog->BlurredEdit()->setText(QString::fromStdString(blurredPath));
            dialog->KernelFileEdit()->setText(
                QString::fromStdString((m_dir / "rblurred_blur.stp").string()));
            dialog->SizeSpin()->setValue(11);
            dialog->LearnButton()->click();
            QVERIFY(dialog->SourceRadio(KernelSource::ExamplePair)->isChecked());
            QVERIFY2(dialog->PreviewInfo()->text().contains(QStringLiteral("kernel 11 x 11")),
                     qPrintable(dialog->PreviewInfo()->text()));
            dialog->StampEdit()->setText(QString::fromStdString((m_dir / "none.stp").string()));
            dialog->SourceRadio(KernelSource::StampFile)->click();
            dialog->RefreshPreview();
            QVERIFY2(
                dialog->PreviewInfo()->text().contains(QStringLiteral("Read Stamp File error aa")),
                qPrintable(dialog->PreviewInfo()->text()));
            QVERIFY(dialog->KernelView()->pixmap().isNull());
            dialog->reject();
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);
        QCOMPARE(m_ui->messages.size(), messages);
        QVERIFY(fs::exists(m_dir / "rblurred_blur.stp"));
        CPlanes unchanged;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, unchanged));
        QVERIFY(unchanged.values == after.values);
        for (const char* name : {"rsharp.bmp", "rblurred.bmp", "rblurred_blur.stp"})
            fs::remove(m_dir / name);
    }
    // View > Spectrum opens a window of its own on the active picture with a caption naming
    // it; once is enough. "Estimate Blur" runs under the progress dialog and draws the
    // motion's zero lines across its direction; a change of the picture takes the marks
    // away, Cancel leaves none, and the window closes with its document.
    void spectrumWindowShowsThePictureAndTheEstimatesMarks() {
        const std::string path = (m_dir / "smotion.bmp").string();
        {
            DibHandle blurred = MotionBlurredNoise(128, 96, 9.0, 30.0);
            QCOMPARE(WriteBmpFile(path, blurred, 0), 1);
        }
        Start({QString::fromStdString(path)});
        CZelvanDoc& doc = View().GetDocument();
        QVERIFY(Enabled(kCmdSpectrum));
        QVERIFY(Frame()
                    .Menu(QStringLiteral("&View"))
                    ->actions()
                    .contains(Frame().Action(kCmdSpectrum)));
        QVERIFY(Frame().RouteCommand(kCmdSpectrum));
        QPointer<CSpectrumWindow> window = CSpectrumWindow::Of(doc);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Image().width, 128);
        QCOMPARE(window->Image().height, 96);
        QCOMPARE(window->windowTitle(), QStringLiteral("Spectrum - smotion.bmp"));
        QVERIFY2(window->Caption()->text().startsWith(
                     QStringLiteral("Spectrum of smotion.bmp, 128 x 96: log magnitude")),
                 qPrintable(window->Caption()->text()));
        QVERIFY(Frame().RouteCommand(kCmdSpectrum));
        QCOMPARE(Frame().findChildren<CSpectrumWindow*>().size(), 1);
        QVERIFY(window->Canvas()->Marks().IsEmpty());

        window->ModelCombo()->setCurrentText(QStringLiteral("motion"));
        window->SizeSpin()->setValue(21);  // a picture of four times the size on each side
        window->EstimateButton()->click();
        QVERIFY(m_ui->messages.empty());
        QVERIFY(window->HasEstimate());
        QCOMPARE(m_ui->progressCaptions, QStringList{QStringLiteral("Estimating the blur ...")});
        const CBlurEstimate& estimate = window->Estimate();
        QVERIFY(estimate.model == BlurModel::Motion);
        QVERIFY2(std::abs(estimate.angle - 30.0) < 5.0,
                 qPrintable(QString::number(estimate.angle)));
        const CMarkGeometry& marks = window->Canvas()->Marks();
        QVERIFY(!marks.lines.empty());
        // Across the motion on screen, y downwards: at right angles to (cos A, -sin A) of the
        // estimate where the canvas draws them, the image shown square.
        const double a = estimate.angle * 3.14159265358979 / 180.0;
        const QRectF square = window->Canvas()->ImageRect();
        QCOMPARE(square.width(), square.height());
        for (const CMarkSegment& s : marks.lines) {
            const double dx = (s.x1 - s.x0) * square.width() / 128.0;
            const double dy = (s.y1 - s.y0) * square.height() / 96.0;
            QVERIFY(std::abs(dx * std::cos(a) - dy * std::sin(a)) < 1e-6 * std::hypot(dx, dy));
        }
        QVERIFY2(
            window->EstimateText()->text().contains(QString::fromStdString(estimate.description)),
            qPrintable(window->EstimateText()->text()));
        // The marks are drawn in their colour over the grey spectrum.
        const QImage shown = window->Canvas()->grab().toImage();
        int marked = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                if (c.red() > c.green() + 80) ++marked;
            }
        QVERIFY2(marked > 100, qPrintable(QString::number(marked)));

        // The picture changes: the window shows the new one, without the old marks.
        doc.m_hDIB.Data()[kInfoHeaderBytes + 7] ^= 0xFF;
        doc.UpdateAllViews();
        QTRY_VERIFY(!window->HasEstimate());
        QVERIFY(window->Canvas()->Marks().IsEmpty());

        // Cancelled in the progress dialog: no estimate.
        m_ui->cancelProgress = true;
        QCOMPARE(window->EstimateBlurNow(), kRestoreCancelled);
        QVERIFY(!window->HasEstimate());
        QVERIFY(window->Canvas()->Marks().IsEmpty());
        m_ui->cancelProgress = false;

        QVERIFY(Frame().RouteCommand(kCmdFileClose));
        QTRY_VERIFY(window.isNull());
        fs::remove(path);
    }

    // "Estimate from this picture": the blur estimated under a progress dialog, its kernel
    // beside the preview; the motion found fills the known blur's fields, to be adjusted, and
    // OK restores with them. A free-form kernel stays the estimate's.
    void restoreDialogEstimatesTheBlurFromThePicture() {
        const std::string path = (m_dir / "emotion.bmp").string();
        {
            DibHandle blurred = MotionBlurredNoise(128, 96, 9.0, 120.0);
            QCOMPARE(WriteBmpFile(path, blurred, 0), 1);
        }
        Start({QString::fromStdString(path)});
        CZelvanDoc& doc = View().GetDocument();
        CPlanes before;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, before));
        bool seen = false;
        double length = 0.0, angle = 0.0;
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            bool accepted = false;  // rejected after a failure
            const CScopeGuard close([dialog, &accepted] {
                if (!accepted) dialog->reject();
            });
            QRadioButton* estimate = dialog->SourceRadio(KernelSource::Estimate);
            QCOMPARE(estimate->text(), QStringLiteral("Estimate from this picture"));
            QVERIFY(!estimate->isChecked());
            // The known blurs do not list the estimate.
            for (int i = 0; i < dialog->KnownCombo()->count(); ++i)
                QVERIFY(dialog->KnownCombo()->itemText(i) != estimate->text());
            dialog->EstimateModelCombo()->setCurrentText(QStringLiteral("motion"));
            QVERIFY(estimate->isChecked());
            dialog->EstimateSizeSpin()->setValue(21);
            dialog->RefreshPreview();
            QVERIFY2(dialog->PreviewInfo()->text().contains(QStringLiteral("Estimate")),
                     qPrintable(dialog->PreviewInfo()->text()));
            dialog->EstimateButton()->click();
            const CBlurEstimate& found = dialog->Estimated();
            QVERIFY(found.model == BlurModel::Motion);
            QVERIFY2(std::abs(found.angle - 120.0) < 5.0, qPrintable(QString::number(found.angle)));
            QVERIFY2(
                dialog->EstimateInfo()->text().contains(QString::fromStdString(found.description)),
                qPrintable(dialog->EstimateInfo()->text()));
            // The fields of the known motion hold what was found, and it is the source now.
            QVERIFY(dialog->SourceRadio(KernelSource::Motion)->isChecked());
            QCOMPARE(dialog->KnownCombo()->currentText(), QStringLiteral("Motion"));
            QCOMPARE(dialog->FirstParameter()->value(), std::round(found.length * 10.0) / 10.0);
            QCOMPARE(dialog->SecondParameter()->value(), std::round(found.angle * 10.0) / 10.0);
            QVERIFY(!dialog->KernelView()->pixmap().isNull());
            QVERIFY(!dialog->Preview()->pixmap().isNull());
            // Adjusted by hand, the known blur restores with it.
            dialog->SecondParameter()->setValue(dialog->SecondParameter()->value() + 1.0);
            length = dialog->FirstParameter()->value();
            angle = dialog->SecondParameter()->value();
            accepted = true;
            dialog->accept();
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);
        QVERIFY(doc.m_restore.kernel.source == KernelSource::Motion);
        QCOMPARE(doc.m_restore.kernel.length, length);
        QCOMPARE(doc.m_restore.kernel.angle, angle);
        QCOMPARE(doc.m_restoreOutcome.restoreResult, 1);
        CPlanes after;
        QVERIFY(PlanesFromPicture(doc.m_hDIB, after));
        QVERIFY(after.values != before.values);

        // A free-form kernel: shown, the estimate stays the source, and OK restores by it
        // without estimating again.
        seen = false;
        CKernel estimated;
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            bool accepted = false;
            const CScopeGuard close([dialog, &accepted] {
                if (!accepted) dialog->reject();
            });
            dialog->EstimateModelCombo()->setCurrentText(QStringLiteral("free"));
            dialog->EstimateSizeSpin()->setValue(15);
            // Cancel in its progress dialog: nothing estimated, nothing to preview.
            QTimer cancel;
            cancel.setInterval(1);
            QObject::connect(&cancel, &QTimer::timeout, [dialog] {
                if (auto* progress = dialog->findChild<QProgressDialog*>()) progress->cancel();
            });
            cancel.start();
            dialog->EstimateButton()->click();
            cancel.stop();
            QCOMPARE(dialog->EstimateInfo()->text(), QStringLiteral("The estimate was cancelled."));
            QVERIFY(dialog->Estimated().model == BlurModel::None);
            dialog->RefreshPreview();
            QVERIFY(dialog->KernelView()->pixmap().isNull());
            dialog->EstimateButton()->click();
            QVERIFY(dialog->Estimated().model == BlurModel::Free);
            estimated = dialog->Estimated().kernel;
            QVERIFY(dialog->SourceRadio(KernelSource::Estimate)->isChecked());
            QCOMPARE(dialog->KernelView()->pixmap().size(), QSize(120, 120));  // 15 x 15, x 8
            QVERIFY2(dialog->PreviewInfo()->text().contains(QStringLiteral("kernel 15 x 15")),
                     qPrintable(dialog->PreviewInfo()->text()));
            accepted = true;
            dialog->accept();
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);
        QVERIFY(doc.m_restore.kernel.source == KernelSource::Estimate);
        QVERIFY(doc.m_restore.kernel.estimateModel == BlurModel::Free);
        QCOMPARE(doc.m_restoreOutcome.restoreResult, 1);
        QVERIFY(!estimated.IsEmpty());
        QVERIFY(doc.m_restoreOutcome.kernel.values == estimated.values);
        QVERIFY(doc.m_restoreOutcome.estimate.model == BlurModel::None);  // not made again
        fs::remove(path);
    }

    void blurDialogFromTheMenu() {
        const BlurSettings saved = LastBlurSettings();
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        QVERIFY(Enabled(kCmdBlur));
        QVERIFY(Frame()
                    .Menu(QStringLiteral("Blur && &Zelvanto"))
                    ->actions()
                    .contains(Frame().Action(kCmdBlur)));
        QCOMPARE(Frame().Action(kCmdBlur)->text(), QStringLiteral("Blur ..."));
        doc.m_blur = BlurSettings{3, 12, 0.75, false};

        // A steps text that is no number keeps the dialog open; OK takes the rest as typed.
        bool seen = false;
        WhenModal<CBlurDlg>([&](CBlurDlg* dialog) {
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog"));
            QCOMPARE(dialog->objectName(), QStringLiteral("dialog129"));
            const char* captions[] = {"Blur Horizontal", "Blur Vertical", "Blur Right Down",
                                      "Blur Random", "Blur 5"};
            for (int kind = 0; kind < 5; ++kind) {
                QCOMPARE(dialog->Radio(kind)->text(), QString::fromUtf8(captions[kind]));
                QCOMPARE(dialog->Radio(kind)->objectName(),
                         QStringLiteral("radio%1").arg(143 + kind));
                QCOMPARE(dialog->Radio(kind)->isChecked(), kind == 3);
            }
            QCOMPARE(dialog->StepsEdit()->text(), QStringLiteral("12"));
            QCOMPARE(dialog->AttenuationEdit()->text(), QStringLiteral("0.75"));
            QVERIFY(!dialog->WithinSizeCheck()->isChecked());
            QCOMPARE(dialog->WithinSizeCheck()->text(), QStringLiteral("Within Size"));
            QStringList labels;
            for (QLabel* label : dialog->findChildren<QLabel*>()) labels << label->text();
            QVERIFY(labels.contains(QStringLiteral("Blur Steps ")));
            QVERIFY(labels.contains(QStringLiteral("Blur Attenuation ")));
            dialog->StepsEdit()->setText(QStringLiteral("1O"));
            dialog->accept();
            QVERIFY(dialog->isVisible());
            QCOMPARE(m_ui->messages, std::vector<std::string>{"Please enter an integer."});
            QVERIFY(dialog->StepsEdit()->hasFocus());
            // Fewer than 1 step, and an attenuation that is not finite or too large for the
            // sums to stay finite, are refused by the blur's rules; the dialog stays open.
            dialog->StepsEdit()->setText(QStringLiteral("-4"));
            dialog->accept();
            QVERIFY(dialog->isVisible());
            QCOMPARE(m_ui->messages.back(), std::string("Blur Steps must be at least 1, not -4."));
            QVERIFY(dialog->StepsEdit()->hasFocus());
            dialog->StepsEdit()->setText(QStringLiteral("4"));
            for (const char* text : {"1e308", "nan", "-1000.5"}) {
                dialog->AttenuationEdit()->setText(QString::fromUtf8(text));
                dialog->accept();
                QVERIFY(dialog->isVisible());
                QVERIFY(m_ui->messages.back().starts_with(
                    "Blur Attenuation must be a number from -1000 to 1000, not "));
                QVERIFY(dialog->AttenuationEdit()->hasFocus());
            }
            QCOMPARE(m_ui->messages.size(), size_t{5});
            dialog->AttenuationEdit()->setText(QStringLiteral("0.5"));
            dialog->Radio(2)->click();
            dialog->WithinSizeCheck()->setChecked(true);
            dialog->accept();
        });
        QVERIFY(Frame().RouteCommand(kCmdBlur));
        QVERIFY(seen);
        QCOMPARE(doc.m_blur, (BlurSettings{2, 4, 0.5, true}));
        QCOMPARE(LastBlurSettings(), (BlurSettings{2, 4, 0.5, true}));

        // Cancel keeps the document's values, whatever was typed.
        seen = false;
        WhenModal<CBlurDlg>([&](CBlurDlg* dialog) {
            seen = true;
            QVERIFY(dialog->Radio(2)->isChecked());
            QVERIFY(dialog->WithinSizeCheck()->isChecked());
            dialog->AttenuationEdit()->setText(QStringLiteral("0.1"));
            dialog->reject();
        });
        QVERIFY(Frame().RouteCommand(kCmdBlur));
        QVERIFY(seen);
        QCOMPARE(doc.m_blur, (BlurSettings{2, 4, 0.5, true}));
        LastBlurSettings() = saved;
    }

    void zelvantoDialogFromTheMenu() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        QVERIFY(Enabled(kCmdZelvantoFiles));
        QVERIFY(Frame()
                    .Menu(QStringLiteral("Blur && &Zelvanto"))
                    ->actions()
                    .contains(Frame().Action(kCmdZelvantoFiles)));
        const std::string good = (m_dir / "none_good.bmp").string();
        const std::string chosen = (m_dir / "pattern.bmp").string();
        doc.m_strGoodFile = good;
        doc.m_strCompareFile = "old compare";

        // The layout, then a name typed into a field and "Make Stamp": the name is not kept.
        bool seen = false;
        WhenModal<CZelvantoDlg>([&](CZelvantoDlg* dialog) {
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog Zelvanto"));
            QCOMPARE(dialog->ExampleGroup()->title(), QStringLiteral("Example Files"));
            QVERIFY(dialog->ExampleGroup()->isAncestorOf(dialog->GoodEdit()));
            QVERIFY(dialog->ExampleGroup()->isAncestorOf(dialog->BlurredEdit()));
            QVERIFY(!dialog->ExampleGroup()->isAncestorOf(dialog->InputEdit()));
            QVERIFY(!dialog->ExampleGroup()->isAncestorOf(dialog->CompareEdit()));
            QCOMPARE(dialog->GoodEdit()->objectName(), QStringLiteral("edit101"));
            QCOMPARE(dialog->CompareEdit()->objectName(), QStringLiteral("edit104"));
            QCOMPARE(dialog->GoodEdit()->text(), QString::fromStdString(good));
            QCOMPARE(dialog->BlurredEdit()->text(), QString());
            QCOMPARE(dialog->InputEdit()->text(), QString::fromStdString(doc.m_strFourierPath));
            QVERIFY(dialog->InputEdit()->isReadOnly());
            QCOMPARE(dialog->CompareEdit()->text(), QString());
            for (int id : {134, 135, 137}) {
                QVERIFY(dialog->Button(id)->isVisible());
                QCOMPARE(dialog->Button(id)->text(), QStringLiteral("Browse ..."));
            }
            QVERIFY(dialog->Button(136) != nullptr);
            QVERIFY(!dialog->Button(136)->isVisible());
            QCOMPARE(dialog->Button(151)->text(), QStringLiteral("Make Stamp"));
            QCOMPARE(dialog->Button(152)->text(), QStringLiteral("Use Stamp"));
            QCOMPARE(dialog->Button(153)->text(), QStringLiteral("Show Stamp"));
            QStringList labels;
            for (QLabel* label : dialog->findChildren<QLabel*>()) labels << label->text();
            for (const char* text : {"Good File", "Blurred File", "or Stamp File", "Input File",
                                     "Compare File\n(optional)"})
                QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
            dialog->BlurredEdit()->setText(QStringLiteral("typed.bmp"));
            dialog->Button(151)->click();
        });
        QVERIFY(Frame().RouteCommand(kCmdZelvantoFiles));
        QVERIFY(seen);
        QCOMPARE(doc.m_strBlurredFile, std::string());
        QCOMPARE(doc.m_strGoodFile, good);
        QCOMPARE(doc.m_strCompareFile, std::string());  // replaced by the empty field

        // "Browse ..." saves every field first, so a name typed before it is kept by "Use
        // Stamp"; the chosen file fills its own field.
        seen = false;
        bool browsed = false;
        WhenModal<CZelvantoDlg>([&](CZelvantoDlg* dialog) {
            seen = true;
            dialog->BlurredEdit()->setText(QString::fromStdString((m_dir / "none.bmp").string()));
            // The real file dialog, with the filter, cancelled: the field stays as it was.
            WhenModal<QFileDialog>([&](QFileDialog* files) {
                browsed = true;
                const QStringList filters = files->nameFilters();
                files->reject();
                QVERIFY(filters.contains(
                    QStringLiteral("Fourier files or Pictures (*.bmp *.jpg *.ft)")));
                QVERIFY(filters.contains(QStringLiteral("Stamp files (*.stp)")));
            });
            const QString compareBefore = dialog->CompareEdit()->text();
            dialog->Button(137)->click();
            QVERIFY(browsed);
            QCOMPARE(dialog->CompareEdit()->text(), compareBefore);
            // A file chosen in it fills the field.
            m_ui->files.push_back(chosen);
            dialog->Button(137)->click();
            QCOMPARE(dialog->CompareEdit()->text(), QString::fromStdString(chosen));
            QCOMPARE(dialog->BlurredEdit()->text(),
                     QString::fromStdString((m_dir / "none.bmp").string()));
            dialog->GoodEdit()->setText(QStringLiteral("typed after browse"));
            dialog->Button(152)->click();
        });
        QVERIFY(Frame().RouteCommand(kCmdZelvantoFiles));
        QVERIFY(seen);
        QCOMPARE(doc.m_strBlurredFile, (m_dir / "none.bmp").string());
        QCOMPARE(doc.m_strCompareFile, chosen);
        QCOMPARE(doc.m_strGoodFile, good);

        // Cancel keeps everything; OK saves what was typed.
        WhenModal<CZelvantoDlg>([&](CZelvantoDlg* dialog) {
            dialog->GoodEdit()->setText(QStringLiteral("x"));
            dialog->reject();
        });
        QVERIFY(Frame().RouteCommand(kCmdZelvantoFiles));
        QCOMPARE(doc.m_strGoodFile, good);
        QCOMPARE(doc.m_strCompareFile, chosen);
        CZelvantoData names{"a.bmp", "b.bmp", "in.ft", ""};
        WhenModal<CZelvantoDlg>([&](CZelvantoDlg* dialog) {
            dialog->CompareEdit()->setText(QStringLiteral("c.bmp"));
            dialog->accept();
        });
        QCOMPARE(m_ui->ZelvantoDialog(names), kIdOk);
        QCOMPARE(names, (CZelvantoData{"a.bmp", "b.bmp", "in.ft", "c.bmp"}));
    }

    void stampCutDialogShowsWholeNumbers() {
        CStampCutData data;
        data.m_dFraction = -1.23456789012345e-300;
        data.m_dPeak = 2.13722238122328;
        data.m_nLeft = -2147483647 - 1;
        data.m_nRight = 2147483647;
        data.m_nBottom = -1000000000;
        data.m_nTop = 1000000000;
        data.m_nPeakX = -2147483647 - 1;
        data.m_nPeakY = -2147483647 - 1;
        CStampCutDlg dialog(data);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.Edit(160)->text(), QStringLiteral("2.13722238122328"));
        for (int id : {154, 160, 155, 156, 157, 158, 159, 104})
            QVERIFY2(ShowsWholeText(dialog.Edit(id)), qPrintable(dialog.Edit(id)->text()));
    }

    void useStampShowsThePictureBeforeAskingToSave() {
        Start({QString::fromStdString(m_picture)});
        CZelvanDoc& doc = View().GetDocument();
        Paint(View());
        QCoreApplication::processEvents();
        // A 3 x 3 stamp holding 0.5 in its centre: cut to its centre, it halves the picture.
        std::vector<double> values(9, 0.0);
        values[4] = 0.5;
        const std::string stamp = (m_dir / "halve.stp").string();
        QCOMPARE(WriteRubberStamp(stamp, values.data(), 3, 3, 1, 1), 1);
        doc.m_strBlurredFile = (m_dir / "halve.bmp").string();
        WhenModal<CStampCutDlg>([](CStampCutDlg* first) {
            WhenModal<CStampCutDlg>([](CStampCutDlg* second) { second->Button(134)->click(); });
            first->Edit(154)->setText(QStringLiteral("0.5"));
            first->Button(1)->click();
        });
        // What the screen shows when the question comes, once the question's own event loop
        // has run: the window's pixels, not a fresh drawing of it.
        QImage shown;
        m_ui->onQuestion = [&](const std::string&) {
            QCoreApplication::processEvents();
            const QPoint at = View().viewport()->mapTo(&Frame(), QPoint(0, 0));
            shown = Frame().screen()->grabWindow(Frame().winId(), at.x(), at.y(), 64, 48).toImage();
        };
        doc.RunOperation('U');
        QCOMPARE(m_ui->messages, std::vector<std::string>{"Save this stamp? "});
        const QImage halved = DibToImage(doc.m_hDIB);
        QCOMPARE(shown.size(), QSize(64, 48));
        for (const QPoint p : {QPoint(5, 5), QPoint(40, 20), QPoint(63, 47)})
            QCOMPARE(shown.pixelColor(p), halved.pixelColor(p));
        fs::remove(stamp);
    }

    // Every kernel source the dialog offers shows the request's values and gives them back:
    // the known blurs with their numbers, each blur path, the stamp file and the settings.
    void restoreDialogShowsEveryKernelSourceOfARequest() {
        const DibHandle picture = PatternPicture(64, 48, 1);
        std::vector<CKernelRequest> requests;
        for (const CKernelSourceRow& row : KernelSourceRows()) {
            if (row.parameters.empty() || row.takesModelName) continue;
            const int32_t paths = row.takesPathName ? kBlurPathCount : 1;
            for (int32_t kind = 0; kind < paths; ++kind) {
                CKernelRequest r;
                r.source = row.source;
                r.blurKind = row.takesPathName ? kind : 0;
                for (const CKernelParameter& parameter : row.parameters)
                    parameter.set(r, parameter.get(r) + 2.0);
                requests.push_back(r);
            }
        }
        QCOMPARE(requests.size(), size_t{3 + kBlurPathCount});
        CKernelRequest stamp;
        stamp.source = KernelSource::StampFile;
        stamp.stampPath = "/some/where.stp";
        stamp.size = 13;
        requests.push_back(stamp);
        CKernelRequest estimate;
        estimate.source = KernelSource::Estimate;
        estimate.estimateModel = BlurModel::Defocus;
        estimate.estimateSize = 17;
        requests.push_back(estimate);
        for (const CKernelRequest& k : requests) {
            CRestoreRequest request;
            request.kernel = k;
            request.settings.method = RestoreMethod::Lucy;
            request.settings.iterations = 7;
            request.settings.taper = false;
            CRestoreDlg dialog(request, picture);
            const CKernelRequest shown = dialog.Request();
            QCOMPARE(shown.source, k.source);
            QCOMPARE(shown.blurKind, k.blurKind);
            QCOMPARE(shown.length, k.length);
            QCOMPARE(shown.angle, k.angle);
            QCOMPARE(shown.radius, k.radius);
            QCOMPARE(shown.sigma, k.sigma);
            QCOMPARE(shown.blurSteps, k.blurSteps);
            QCOMPARE(shown.blurAttenuation, k.blurAttenuation);
            QCOMPARE(shown.stampPath, k.stampPath);
            QCOMPARE(shown.size, k.size);
            QVERIFY(shown.estimateModel == k.estimateModel);
            QCOMPARE(shown.estimateSize, k.estimateSize);
            QVERIFY(dialog.Settings().method == RestoreMethod::Lucy);
            QCOMPARE(dialog.Settings().iterations, 7);
            QVERIFY(!dialog.Settings().taper);
        }
    }

    void restoreDialogBrowsesForTheExamplePair() {
        Start({QString::fromStdString(m_picture)});
        const std::string good = WritePicture(m_dir, "browse_good.bmp", 16, 12, 1);
        const std::string blurred = WritePicture(m_dir, "browse_blurred.bmp", 16, 12, 2);
        bool seen = false;
        WhenModal<CRestoreDlg>([&](CRestoreDlg* dialog) {
            seen = true;
            const CScopeGuard close([dialog] { dialog->reject(); });  // also after a failure
            auto* browseGood = dialog->findChild<QPushButton*>(QStringLiteral("browseGood"));
            auto* browseBlurred = dialog->findChild<QPushButton*>(QStringLiteral("browseBlurred"));
            QVERIFY(browseGood && browseBlurred);
            QCOMPARE(browseGood->text(), QStringLiteral("Browse ..."));
            // Each beside its field; a file chosen fills the field and takes the pair.
            QCOMPARE(browseGood->y() / 4, dialog->GoodEdit()->y() / 4);
            QVERIFY(browseGood->x() > dialog->GoodEdit()->x() + dialog->GoodEdit()->width() - 1);
            m_ui->files = {good, blurred};
            browseGood->click();
            browseBlurred->click();
            QVERIFY(m_ui->files.empty());
            QCOMPARE(m_ui->fileRequests.size(), size_t{2});
            QVERIFY(m_ui->fileRequests[0].open);
            QCOMPARE(CDesktopUi::NameFilters(m_ui->fileRequests[0].filter),
                     (QStringList{QStringLiteral("Pictures (*.bmp *.jpg *.jpeg *.png)"),
                                  QStringLiteral("All files(*.*)")}));
            QCOMPARE(dialog->GoodEdit()->text(), QString::fromStdString(good));
            QCOMPARE(dialog->BlurredEdit()->text(), QString::fromStdString(blurred));
            QVERIFY(dialog->SourceRadio(KernelSource::ExamplePair)->isChecked());
            QCOMPARE(dialog->KernelFileEdit()->text(),
                     QString::fromStdString((m_dir / "browse_blurred_blur.stp").string()));
            // Cancelled, the field stays as it was.
            m_ui->files = {std::nullopt};
            browseGood->click();
            QCOMPARE(dialog->GoodEdit()->text(), QString::fromStdString(good));
        });
        Frame().RouteCommand(kCmdRestore);
        QVERIFY(seen);
    }

    void colourDialogShowsTheTrackbarValues() {
        Start({QString::fromStdString(m_picture)});
        bool seen = false;
        WhenModal<CColorDlg>([&](CColorDlg* dialog) {
            seen = true;
            const CScopeGuard close([dialog] { dialog->reject(); });  // also after a failure
            const std::pair<int, const char*> shown[] = {
                {kIdLight, "0"}, {kIdContrast, "100"}, {kIdGamma, "50"}};
            for (const auto& [id, text] : shown) {
                auto* value = dialog->findChild<QLabel*>(QStringLiteral("value%1").arg(id));
                QVERIFY2(value, text);
                QCOMPARE(value->text(), QString::fromUtf8(text));
                // Beside its trackbar, on its row.
                const QRect slider = dialog->Slider(id)->geometry();
                QVERIFY(value->geometry().left() > slider.right());
                QVERIFY(value->geometry().center().y() >= slider.top() &&
                        value->geometry().center().y() <= slider.bottom());
            }
            dialog->Slider(kIdLight)->setValue(-100);
            dialog->Slider(kIdContrast)->setValue(155);
            dialog->Slider(kIdGamma)->setValue(7);
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("value122"))->text(),
                     QStringLiteral("-100"));
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("value123"))->text(),
                     QStringLiteral("155"));
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("value124"))->text(),
                     QStringLiteral("7"));
            // Set Original shows the defaults again; the widest value fits its place.
            dialog->OnSetOriginal();
            QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("value122"))->text(),
                     QStringLiteral("0"));
            QLabel* light = dialog->findChild<QLabel*>(QStringLiteral("value122"));
            QVERIFY(light->width() >=
                    light->fontMetrics().horizontalAdvance(QStringLiteral("-100")));
        });
        QTest::keyClick(View().viewport(), Qt::Key_Space);
        QVERIFY(seen);
    }

    void fileDialogColumnsShowTheirWholeTexts() {
        const fs::path folder = m_dir / "listing";
        fs::create_directories(folder);
        WritePicture(folder, "a_picture_with_a_rather_long_name.bmp", 160, 120);  // 56.30 KiB
        WritePicture(folder, "small.bmp", 8, 4);
        CFileDialogRequest request;
        request.open = true;
        request.filter = kOpenFilter;
        request.initialName = (folder / "small.bmp").string();
        bool seen = false;
        WhenModal<QFileDialog>([&](QFileDialog* files) {
            seen = true;
            const CScopeGuard close([files] { files->reject(); });  // also after a failure
            auto* tree = files->findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(tree);
            QAbstractItemView* view = tree;  // its sizes for columns are public here
            QVERIFY(view->isVisible());      // the detail view
            auto* model = qobject_cast<QFileSystemModel*>(view->model());
            QVERIFY(model);
            const QModelIndex root = tree->rootIndex();
            QTRY_COMPARE(model->rowCount(root), 2);
            QTRY_VERIFY(view->sizeHintForColumn(1) > 0);
            // Every column is as wide as its texts and its heading.
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    for (int column = 0; column < 4; ++column)
                        if (tree->isColumnHidden(column) ||
                            tree->columnWidth(column) < view->sizeHintForColumn(column) ||
                            tree->columnWidth(column) < tree->header()->sectionSizeHint(column))
                            return false;
                    return true;
                }(),
                2000);
        });
        QVERIFY(!m_ui->CDesktopUi::FileDialog(request));
        QVERIFY(seen);
    }

    void stampCutDialogRules() {
        CStampCutData data;
        data.m_dFraction = 1e-6;
        data.m_dPeak = 0.25;
        data.m_nLeft = 2;
        data.m_nRight = 9;
        data.m_nBottom = 1;
        data.m_nTop = 6;
        data.m_nPeakX = 5;
        data.m_nPeakY = 3;
        CStampCutDlg dialog(data);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog Stamp Cut"));
        QCOMPARE(dialog.Edit(154)->text(), QStringLiteral("1e-06"));
        QCOMPARE(dialog.Edit(160)->text(), QStringLiteral("0.25"));
        QCOMPARE(dialog.Edit(155)->text(), QStringLiteral("6"));  // top
        QCOMPARE(dialog.Edit(156)->text(), QStringLiteral("1"));  // bottom
        QCOMPARE(dialog.Edit(158)->text(), QStringLiteral("2"));  // left
        QCOMPARE(dialog.Edit(157)->text(), QStringLiteral("9"));  // right
        QCOMPARE(dialog.Edit(159)->text(), QStringLiteral("5"));
        QCOMPARE(dialog.Edit(104)->text(), QStringLiteral("3"));
        for (int id : {160, 155, 156, 157, 158}) QVERIFY(dialog.Edit(id)->isReadOnly());
        for (int id : {154, 159, 104}) QVERIFY(!dialog.Edit(id)->isReadOnly());
        // The edges sit around the frame, the peak position inside it.
        const QRect frame = dialog.Frame()->geometry();
        auto at = [&](int id) { return dialog.Edit(id)->geometry(); };
        QVERIFY(at(155).bottom() < frame.top());
        QVERIFY(at(156).top() > frame.bottom());
        QVERIFY(at(158).right() < frame.left());
        QVERIFY(at(157).left() > frame.right());
        QVERIFY(dialog.Frame()->isAncestorOf(dialog.Edit(159)));
        QVERIFY(dialog.Frame()->isAncestorOf(dialog.Edit(104)));
        QStringList labels;
        for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
        for (const char* text : {"Fraction", "Peak", "Peak Position"})
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        QCOMPARE(dialog.Button(1)->text(), QStringLiteral("Try Fraction"));
        QVERIFY(dialog.Button(1)->isDefault());
        QCOMPARE(dialog.Button(134)->text(), QStringLiteral("Use This"));
        QCOMPARE(dialog.Button(2)->text(), QStringLiteral("Cancel"));

        // Fraction must be a number; the peak position may leave the stamp.
        dialog.Edit(154)->setText(QStringLiteral("a lot"));
        dialog.Button(134)->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(m_ui->messages, std::vector<std::string>{"Please enter a number."});
        dialog.Edit(154)->setText(QStringLiteral("0.01"));
        dialog.Edit(159)->setText(QStringLiteral("-1"));
        dialog.Button(134)->click();
        QCOMPARE(CStampCutDlg::ResultCode(dialog.result()), IDEndDialogUseThisCut);
        QCOMPARE(dialog.Data().m_dFraction, 0.01);
        QCOMPARE(dialog.Data().m_nPeakX, -1);
        QCOMPARE(dialog.Data().m_nPeakY, 3);
        QCOMPARE(dialog.Data().m_nLeft, 2);

        // Through the port: "Try Fraction" gives OK with the Fraction; Cancel keeps the values.
        WhenModal<CStampCutDlg>([](CStampCutDlg* d) {
            d->Edit(154)->setText(QStringLiteral("0.5"));
            d->Button(1)->click();
        });
        QCOMPARE(m_ui->StampCutDialog(data), kIdOk);
        QCOMPARE(data.m_dFraction, 0.5);
        WhenModal<CStampCutDlg>([](CStampCutDlg* d) {
            d->Edit(154)->setText(QStringLiteral("0.9"));
            d->Edit(104)->setText(QStringLiteral("0"));
            d->Button(2)->click();
        });
        const CStampCutData kept = data;
        QCOMPARE(m_ui->StampCutDialog(data), kIdCancel);
        QCOMPARE(data, kept);
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
