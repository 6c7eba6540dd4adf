// Screenshots of the desktop program for a person to look at: the main window with two
// pictures open and each dialog. Run on a real display (an X server such as Xvfb):
//   zelvanto_screenshots OUTPUT_FOLDER PICTURE1 PICTURE2

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "document/zelvan_doc.h"
#include "fourier/size_fit.h"
#include "image/bmp_file.h"
#include "shell/command_table.h"
#include "shell/desktop_ui.h"
#include "shell/dialogs/about_dlg.h"
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
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/rubber_stamp.h"
#include "stamp/stamp_dialogs.h"
#include "view/spectrum_window.h"
#include "view/zelvan_view.h"

namespace {

// Lets the windows settle as the event loop would, which this tool never enters: deferred
// deletions too (a progress dialog ended before it showed would show itself otherwise).
void Settle() {
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(10);
    }
}

void Save(const QPixmap& pixmap, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!pixmap.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

void ShotOf(QWidget& widget, const QString& folder, const QString& name) {
    widget.show();
    Settle();
    Save(widget.grab(), folder, name);
    widget.hide();
}

// Takes one picture of the screen while a transform runs, half-way through.
class CShootingUi : public CDesktopUi {
public:
    QString folder;
    bool taken = false;
    bool ReportProgress(double fraction) override {
        const bool goOn = CDesktopUi::ReportProgress(fraction);
        if (!taken && fraction > 0.5 && Progress() && Progress()->isVisible()) {
            taken = true;
            Save(QGuiApplication::primaryScreen()->grabWindow(0), folder,
                 QStringLiteral("during_transform.png"));
        }
        return goOn;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: zelvanto_screenshots OUTPUT_FOLDER PICTURE1 PICTURE2\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QCoreApplication::setOrganizationName(QStringLiteral("ZelvantoScreenshots"));

    CShootingUi ui;
    ui.folder = folder;
    CZelvanApp app(ui);
    if (!app.InitInstance({QString::fromLocal8Bit(argv[2])})) return 1;
    CMainFrame& frame = *app.MainFrame();
    frame.resize(1000, 700);
    app.OpenDocumentFile(argv[3]);
    frame.MdiArea()->tileSubWindows();
    Settle();
    Save(frame.grab(), folder, QStringLiteral("main.png"));

    // A 1/R distribution run on the first picture, with its progress dialog.
    if (CZelvanView* first = frame.Views().front()) {
        frame.ActivateView(first);
        CZelvanDoc& doc = first->GetDocument();
        doc.m_settings.m_nKind = 1;
        {
            CWaitCursor wait;
            doc.RunOperation(2);
        }
        doc.UpdateAllViews();
        Settle();
        Save(frame.grab(), folder, QStringLiteral("main_after_run.png"));
    }

    // The Fourier menu open over the window.
    if (QMenu* menu = frame.Menu(QStringLiteral("Fourier && &Colors"))) {
        frame.UpdateCommandUi();
        const QRect item = frame.menuBar()->actionGeometry(menu->menuAction());
        menu->popup(frame.menuBar()->mapToGlobal(item.bottomLeft()));
        Settle();
        Save(QGuiApplication::primaryScreen()->grabWindow(0), folder, QStringLiteral("menu.png"));
        menu->hide();
    }

    FourierSettings settings;
    settings.m_nKind = 1;
    settings.m_bPresent = true;
    settings.m_strSource = "00 : 00 : 02";
    settings.m_strTimeR1 = "00 : 00 : 04";
    CFourierOpsDlg fourier(settings, &frame);
    ShotOf(fourier, folder, QStringLiteral("fourier_ops.png"));

    CNumberData number;
    number.m_nHalfWidth = 80;
    number.m_nHalfHeight = 60;
    CNumberDlg numberDialog(number, &frame);
    ShotOf(numberDialog, folder, QStringLiteral("number.png"));

    CSize chosen;
    struct CQuietUi : CDesktopUi {
        SizeChoice ChooseSize(const std::vector<CSize>&) override { return {}; }
    } quiet;
    {
        CUiScope scope(quiet);
        FitSize(700, 700, chosen);
    }
    CSizesDlg sizes(SizeList(), &frame);
    ShotOf(sizes, folder, QStringLiteral("sizes.png"));

    CAboutDlg about(&frame);
    ShotOf(about, folder, QStringLiteral("about.png"));

    CBlurDlg blur(BlurSettings{}, &frame);
    ShotOf(blur, folder, QStringLiteral("blur.png"));

    CZelvantoData names;
    names.m_strGoodFile = "/home/user/pictures/sharp.bmp";
    names.m_strBlurredFile = "/home/user/pictures/blurred.bmp";
    names.m_strInputFile = "/home/user/pictures/photo.ft";
    CZelvantoDlg zelvanto(names, &frame);
    ShotOf(zelvanto, folder, QStringLiteral("zelvanto.png"));

    CStampCutData cut;
    cut.m_dFraction = 0.01;
    cut.m_dPeak = 2.13722238122328;
    cut.m_nLeft = 301;
    cut.m_nRight = 340;
    cut.m_nBottom = 221;
    cut.m_nTop = 260;
    cut.m_nPeakX = 320;
    cut.m_nPeakY = 240;
    CStampCutDlg stampCut(cut, &frame);
    ShotOf(stampCut, folder, QStringLiteral("stamp_cut.png"));

    // The Fourier queue dialog over the main window: three entries, the second selected,
    // a new suffix typed. Also the whole screen through ImageMagick's import when it is there.
    if (CZelvanView* first = frame.Views().front()) {
        frame.ActivateView(first);
        CZelvanDoc& doc = first->GetDocument();
        const char* suffixes[] = {"a1", "b2", "sharp"};
        for (int i = 0; i < 3; ++i) {
            doc.m_queue[static_cast<size_t>(i)].m_strSpare = suffixes[i];
            doc.m_queue[static_cast<size_t>(i)].m_nKind = i + 1;
        }
        CFourierQueueDlgModel model(ActiveDocumentOfApplication);
        model.m_nFormat = kQueueFormatBmp;
        CFourierQueueDlg queue(model, &frame);
        queue.show();
        Settle();
        queue.List()->setCurrentRow(1);
        queue.SuffixEdit()->setText(QStringLiteral("blurry"));  // the edit keeps five
        Settle();
        Save(queue.grab(), folder, QStringLiteral("queue.png"));
        Save(QGuiApplication::primaryScreen()->grabWindow(0), folder,
             QStringLiteral("queue_screen.png"));
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"),
                           QDir(folder).filePath(QStringLiteral("queue_root.png"))});
        queue.hide();
    }

    // The Restore dialog on the first picture blurred by the program's horizontal path: the
    // preview shows the centre restored with the known blur.
    if (CZelvanView* first = frame.Views().front()) {
        CPlanes planes, blurred;
        CKernel kernel;
        DibHandle picture = CopyHandle(first->GetDocument().m_hDIB);
        if (PlanesFromPicture(picture, planes) && BlurPathKernel(0, 10, 0.6, kernel) &&
            BlurPlanes(planes, kernel, false, blurred) && PlanesToPicture(blurred, picture)) {
            CRestoreDlg restore(CRestoreRequest{}, picture, &frame);
            restore.show();
            restore.RefreshPreview();
            Settle();
            Save(restore.grab(), folder, QStringLiteral("restore.png"));
            QProcess::execute(QStringLiteral("import"),
                              {QStringLiteral("-window"), QStringLiteral("root"),
                               QDir(folder).filePath(QStringLiteral("restore_root.png"))});
            restore.hide();
            // Opened again on a document's restoration by a motion: its numbers shown.
            CRestoreRequest motion;
            motion.kernel.source = KernelSource::Motion;
            motion.kernel.length = 9.0;
            motion.kernel.angle = 30.0;
            CRestoreDlg again(motion, picture, &frame);
            again.show();
            again.RefreshPreview();
            Settle();
            Save(again.grab(), folder, QStringLiteral("restore_motion.png"));
            again.hide();
        }
    }

    // The spectrum window on the first photograph (as opened) blurred by a straight motion
    // of 15 pixels at 30 degrees, its edges as they are, with the marks of the motion
    // estimated.
    if (CZelvanView* first = frame.Views().front()) {
        CPlanes planes, blurred;
        CKernel kernel;
        DibHandle picture = CopyHandle(first->GetDocument().m_hOriginal);
        const std::string path =
            QDir(folder).filePath(QStringLiteral("motion_blurred.bmp")).toStdString();
        if (PlanesFromPicture(picture, planes) && MotionKernel(15.0, 30.0, kernel) &&
            BlurPlanes(planes, kernel, false, blurred) && PlanesToPicture(blurred, picture) &&
            WriteBmpFile(path, picture, 0) == 1 && app.OpenDocumentFile(path)) {
            frame.RouteCommand(kCmdSpectrum);
            if (CSpectrumWindow* spectrum =
                    CSpectrumWindow::Of(frame.ActiveView()->GetDocument())) {
                spectrum->move(frame.geometry().left() + 60, frame.geometry().top() + 40);
                Settle();
                Save(spectrum->grab(), folder, QStringLiteral("spectrum_plain.png"));
                spectrum->ModelCombo()->setCurrentText(QStringLiteral("motion"));
                spectrum->EstimateButton()->click();
                Settle();
                Save(spectrum->grab(), folder, QStringLiteral("spectrum_motion.png"));
                QProcess::execute(QStringLiteral("import"),
                                  {QStringLiteral("-window"), QStringLiteral("root"),
                                   QDir(folder).filePath(QStringLiteral("spectrum_root.png"))});
                spectrum->close();
            }
            // The Restore dialog on it with the estimate as the source: the motion found
            // fills the known blur's fields; then a free-form kernel estimated.
            CRestoreRequest estimate;
            estimate.kernel.source = KernelSource::Estimate;
            CRestoreDlg restore(estimate, frame.ActiveView()->GetDocument().m_hDIB, &frame);
            restore.show();
            Settle();
            restore.EstimateButton()->click();
            Settle();
            Save(restore.grab(), folder, QStringLiteral("restore_estimate.png"));
            restore.EstimateModelCombo()->setCurrentText(QStringLiteral("free"));
            restore.EstimateButton()->click();
            Settle();
            Save(restore.grab(), folder, QStringLiteral("restore_estimate_free.png"));
            restore.hide();
            frame.CloseDocument(frame.ActiveView()->GetDocument());
            Settle();
        }
        // The same photograph out of focus, a disc of radius 4: the rings of the defocus.
        picture = CopyHandle(first->GetDocument().m_hOriginal);
        const std::string defocusPath =
            QDir(folder).filePath(QStringLiteral("defocus_blurred.bmp")).toStdString();
        if (DefocusKernel(4.0, kernel) && BlurPlanes(planes, kernel, false, blurred) &&
            PlanesToPicture(blurred, picture) && WriteBmpFile(defocusPath, picture, 0) == 1 &&
            app.OpenDocumentFile(defocusPath)) {
            frame.RouteCommand(kCmdSpectrum);
            if (CSpectrumWindow* spectrum =
                    CSpectrumWindow::Of(frame.ActiveView()->GetDocument())) {
                spectrum->ModelCombo()->setCurrentText(QStringLiteral("auto"));
                spectrum->EstimateButton()->click();
                Settle();
                Save(spectrum->grab(), folder, QStringLiteral("spectrum_defocus.png"));
                spectrum->close();
            }
            frame.CloseDocument(frame.ActiveView()->GetDocument());
            Settle();
        }
    }

    // Dialog Color on the first picture with light, contrast and gamma moved: the picture
    // behind it already shows them; Cancel puts the picture back.
    if (CZelvanView* first = frame.Views().front()) {
        frame.ActivateView(first);
        CColorDlg colour(first->GetDocument(), &frame);
        colour.show();
        Settle();
        colour.Slider(kIdLight)->setValue(20);
        colour.Slider(kIdContrast)->setValue(140);
        colour.Slider(kIdGamma)->setValue(60);
        colour.move(frame.geometry().right() - colour.width() - 20, frame.geometry().top() + 80);
        Settle();
        Save(colour.grab(), folder, QStringLiteral("colour.png"));
        QProcess::execute(QStringLiteral("import"),
                          {QStringLiteral("-window"), QStringLiteral("root"),
                           QDir(folder).filePath(QStringLiteral("colour_root.png"))});
        colour.reject();
    }

    // Use Stamp on the second picture with a stamp that halves it, cut by Try Fraction and
    // used: the question whether to save the cut comes over the convolved picture.
    if (CZelvanView* second = frame.Views().back()) {
        frame.ActivateView(second);
        CZelvanDoc& doc = second->GetDocument();
        std::vector<double> values(9, 0.0);
        values[4] = 0.5;
        const std::string stamp = QDir(folder).filePath(QStringLiteral("halve.stp")).toStdString();
        if (WriteRubberStamp(stamp, values.data(), 3, 3, 1, 1) == 1) {
            doc.m_strBlurredFile = QDir(folder).filePath(QStringLiteral("halve.bmp")).toStdString();
            int passes = 0;
            QTimer answers;
            answers.setInterval(100);
            QObject::connect(&answers, &QTimer::timeout, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* cutDialog = qobject_cast<CStampCutDlg*>(modal)) {
                    if (passes++ == 0) {
                        cutDialog->Edit(kIdFraction)->setText(QStringLiteral("0.5"));
                        cutDialog->Button(kIdOk)->click();
                    } else {
                        cutDialog->Button(kIdUseThis)->click();
                    }
                } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    Settle();
                    Save(QGuiApplication::primaryScreen()->grabWindow(0), folder,
                         QStringLiteral("save_stamp_question.png"));
                    box->done(QMessageBox::No);
                }
            });
            answers.start();
            doc.RunOperation('U');
            answers.stop();
            doc.UpdateAllViews();
            std::remove(stamp.c_str());
        }
    }

    // The file dialog on the folder of the first picture, in its detail view.
    {
        QTimer::singleShot(300, [&] {
            if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                Settle();
                Save(files->grab(), folder, QStringLiteral("file_dialog.png"));
                files->reject();
            }
        });
        CFileDialogRequest request;
        request.open = true;
        request.filter = "Bitmap files (*.bmp)|*.bmp|All files(*.*)|*.*||";
        request.initialName = argv[2];
        ui.FileDialog(request);
    }

    ui.BeginWaitCursor();
    for (int i = 0; i <= 30 && ui.ReportProgress(i / 100.0); ++i) QThread::msleep(20);
    if (ui.Progress()) {
        Settle();
        Save(ui.Progress()->grab(), folder, QStringLiteral("progress.png"));
    }
    ui.EndWaitCursor();
    return 0;
}
