#include "shell/desktop_ui.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "shell/dialogs/blur_dlg.h"
#include "shell/dialogs/fourier_ops_dlg.h"
#include "shell/dialogs/number_dlg.h"
#include "shell/dialogs/restore_dlg.h"
#include "shell/dialogs/sizes_dlg.h"
#include "shell/dialogs/stamp_cut_dlg.h"
#include "shell/dialogs/zelvanto_dlg.h"
#include "shell/main_frame.h"
#include "view/zelvan_view.h"

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// Progress is shown in steps of a thousandth; events are processed at most this often, so
// the window repaints and Cancel is seen without slowing the work down.
constexpr int kProgressSteps = 1000;
constexpr qint64 kEventIntervalMs = 40;

// Qt's own file dialog (where the desktop offers none of its own) lists the files in
// columns as wide as their texts and headings: size, type and date are never cut, and the
// name takes the rest. The dialog starts large enough for that, within the screen.
void ShowWholeColumns(QFileDialog& dialog) {
    dialog.setViewMode(QFileDialog::Detail);
    QSize size(900, 560);
    if (const QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    dialog.resize(size);
    auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!tree || !model) return;                   // a dialog of the desktop's own
    tree->header()->setStretchLastSection(false);  // else the date would give way
    const auto fit = [tree] {
        int used = 0;
        for (int column = 0; column < tree->header()->count(); ++column) {
            if (tree->isColumnHidden(column)) continue;
            tree->resizeColumnToContents(column);  // its texts and its heading
            used += tree->columnWidth(column);
        }
        const int room = tree->viewport()->width() - used;
        if (room > 0) tree->setColumnWidth(0, tree->columnWidth(0) + room);  // to the name
    };
    // The files of a folder come in after it is shown: fitted each time a folder is loaded.
    QObject::connect(model, &QFileSystemModel::directoryLoaded, tree,
                     [tree, fit] { QTimer::singleShot(0, tree, fit); });
}

}  // namespace

CDesktopUi::CDesktopUi() = default;

CDesktopUi::~CDesktopUi() {
    EndProgress();
    while (m_cursorPushed > 0) {
        QApplication::restoreOverrideCursor();
        --m_cursorPushed;
    }
}

QWidget* CDesktopUi::ParentWindow() const {
    // Never the progress dialog: it is deleted when the work ends, and with it every dialog
    // it parented, even one still open on the stack.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != m_progress.data()) return modal;
    return m_parent.data();
}

CDesktopUi::CCursorPause::CCursorPause(CDesktopUi& ui) : m_ui(ui) {
    while (m_ui.m_cursorPushed > 0) {
        QApplication::restoreOverrideCursor();
        --m_ui.m_cursorPushed;
        ++m_lifted;
    }
}

CDesktopUi::CCursorPause::~CCursorPause() {
    for (; m_lifted > 0; --m_lifted) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_ui.m_cursorPushed;
    }
}

void CDesktopUi::Message(const std::string& text, MessageIcon icon) {
    CCursorPause pause(*this);
    QMessageBox box(BoxIcon(icon), QString::fromUtf8(kAppTitle), QString::fromStdString(text),
                    QMessageBox::Ok, ParentWindow());
    box.exec();
}

bool CDesktopUi::AskYesNo(const std::string& text, bool defaultNo) {
    CCursorPause pause(*this);
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, ParentWindow());
    box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

CDesktopUi::SaveAnswer CDesktopUi::AskSaveChanges(const std::string& title) {
    CCursorPause pause(*this);
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppTitle),
                    QStringLiteral("Save changes to %1?").arg(QString::fromStdString(title)),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, ParentWindow());
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return SaveAnswer::Yes;
        case QMessageBox::No:
            return SaveAnswer::No;
        default:
            return SaveAnswer::Cancel;
    }
}

SizeChoice CDesktopUi::ChooseSize(const std::vector<CSize>& sizes) {
    CCursorPause pause(*this);
    CSizesDlg dialog(sizes, ParentWindow());
    SizeChoice choice;
    choice.accepted = dialog.exec() == QDialog::Accepted;
    choice.index = choice.accepted ? dialog.Selection() : -1;
    return choice;
}

bool CDesktopUi::FourierOperations(FourierSettings& settings) {
    CCursorPause pause(*this);
    CFourierOpsDlg dialog(settings, ParentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = dialog.Settings();
    return true;
}

bool CDesktopUi::NumberDialog(CNumberData& data) {
    CCursorPause pause(*this);
    CNumberDlg dialog(data, ParentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    data = dialog.Data();
    return true;
}

bool CDesktopUi::BlurDialog(BlurSettings& settings) {
    CCursorPause pause(*this);
    CBlurDlg dialog(settings, ParentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    settings = dialog.Settings();
    return true;
}

bool CDesktopUi::RestoreDialog(CRestoreRequest& request, const DibHandle& picture) {
    CCursorPause pause(*this);
    CRestoreDlg dialog(request, picture, ParentWindow());
    if (dialog.exec() != QDialog::Accepted) return false;
    request = dialog.Data();
    return true;
}

int CDesktopUi::ZelvantoDialog(CZelvantoData& data) {
    CCursorPause pause(*this);
    CZelvantoDlg dialog(data, ParentWindow());
    const int result = CZelvantoDlg::ResultCode(dialog.exec());
    if (result != kIdCancel) data = dialog.Data();
    return result;
}

int CDesktopUi::StampCutDialog(CStampCutData& data) {
    CCursorPause pause(*this);
    CStampCutDlg dialog(data, ParentWindow());
    const int result = CStampCutDlg::ResultCode(dialog.exec());
    if (result != kIdCancel) data = dialog.Data();
    return result;
}

QStringList CDesktopUi::NameFilters(const std::string& filter) {
    // Description and pattern alternate, separated by '|'; an empty field ends the list.
    const QStringList fields = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString& description = fields[i];
        if (description.isEmpty()) break;
        QString patterns = fields[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already names its patterns in brackets is shown as it stands.
        if (description.contains(QLatin1Char('(')) && description.endsWith(QLatin1Char(')')))
            filters << description;
        else
            filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters;
}

std::optional<std::string> CDesktopUi::FileDialog(const CFileDialogRequest& request) {
    CCursorPause pause(*this);
    QFileDialog dialog(ParentWindow(),
                       request.open ? QStringLiteral("Open") : QStringLiteral("Save As"));
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(request.filter));
    QString suffix = QString::fromStdString(request.defaultExtension);
    if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    const QString initial = QString::fromStdString(request.initialName);
    // A wildcard as the initial name only picks the filter; a real name is proposed.
    if (!initial.isEmpty() && !initial.contains(QLatin1Char('*'))) dialog.selectFile(initial);
    ShowWholeColumns(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

void CDesktopUi::ShowChangedPicture() {
    if (CMainFrame* frame = CMainFrame::Instance())
        for (CZelvanView* view : frame->Views()) view->viewport()->update();
}

void CDesktopUi::AddToRecentFiles(const std::string& path) {
    if (m_recentSink) m_recentSink(path);
}

void CDesktopUi::BeginWaitCursor() {
    ++m_waitDepth;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_cursorPushed;
}

void CDesktopUi::EndWaitCursor() {
    if (m_waitDepth > 0) --m_waitDepth;
    if (m_cursorPushed > m_waitDepth) {
        QApplication::restoreOverrideCursor();
        --m_cursorPushed;
    }
    if (m_waitDepth == 0) EndProgress();
}

namespace {

QString ProgressCaption(const std::string& caption) {
    return caption.empty() ? QStringLiteral("Computing the Fourier transform ...")
                           : QString::fromStdString(caption);
}

}  // namespace

bool CDesktopUi::ReportProgress(double fraction) {
    if (!m_progress) {
        m_progress =
            new QProgressDialog(ProgressCaption(m_progressCaption), QStringLiteral("Cancel"), 0,
                                kProgressSteps, m_parent.data());
        m_progress->setWindowTitle(QString::fromUtf8(kAppTitle));
        m_progress->setWindowModality(Qt::ApplicationModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumDuration(400);
        m_progressCancelled = false;
        QObject::connect(m_progress.data(), &QProgressDialog::canceled,
                         [this] { m_progressCancelled = true; });
        m_sinceEvents.start();
        // The wait cursor gives way to the busy pointer over the dialog, so Cancel can be
        // aimed at; it comes back when the dialog closes.
        while (m_cursorPushed > 0) {
            QApplication::restoreOverrideCursor();
            --m_cursorPushed;
        }
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    const double clamped = fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction);
    const int value = static_cast<int>(clamped * kProgressSteps);
    if (value != m_progress->value() || m_sinceEvents.elapsed() >= kEventIntervalMs) {
        // The dialog takes Cancel and lets the windows repaint while the work goes on.
        m_progress->setValue(value);
        if (m_sinceEvents.elapsed() >= kEventIntervalMs) {
            QCoreApplication::processEvents();
            m_sinceEvents.restart();
        }
    }
    return !m_progressCancelled && !m_progress->wasCanceled();
}

void CDesktopUi::SetProgressCaption(const std::string& caption) {
    m_progressCaption = caption;
    if (m_progress) m_progress->setLabelText(ProgressCaption(caption));
}

void CDesktopUi::EndProgress() {
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
        QApplication::restoreOverrideCursor();
        while (m_cursorPushed < m_waitDepth) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            ++m_cursorPushed;
        }
    }
    m_progressCancelled = false;
}
