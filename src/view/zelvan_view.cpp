#include "view/zelvan_view.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <algorithm>

#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "shell/dialogs/color_dlg.h"
#include "view/dib_image.h"

namespace {

// The background around and behind the picture.
const QColor kBackground(200, 200, 200);

// The views whose windows are open: made and not yet closed.
std::vector<CZelvanView*>& OpenViews() {
    static std::vector<CZelvanView*> views;
    return views;
}

void ForgetView(CZelvanView* view) {
    std::vector<CZelvanView*>& views = OpenViews();
    views.erase(std::remove(views.begin(), views.end(), view), views.end());
}

std::function<void()>& SizeTextListener() {
    static std::function<void()> listener;
    return listener;
}

// A copy of the clipboard's picture: the packed bitmap when one is there, else any image
// another program put there, as a 24-bit packed bitmap.
DibHandle ClipboardPicture() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data) return {};
    if (data->hasFormat(QString::fromUtf8(kDibMimeType)))
        return DibFromBytes(data->data(QString::fromUtf8(kDibMimeType)));
    if (data->hasImage()) return DibFromImage(qvariant_cast<QImage>(data->imageData()));
    return {};
}

}  // namespace

std::string& SizeText() {
    static std::string text = kInitialSizeText;
    return text;
}

void SetSizeTextListener(std::function<void()> listener) {
    SizeTextListener() = std::move(listener);
}

QPrinter& SharedPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

CZelvanView::CZelvanView(std::shared_ptr<CZelvanDoc> document, QWidget* parent)
    : QAbstractScrollArea(parent), m_pDocument(std::move(document)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_DeleteOnClose);
    viewport()->setAutoFillBackground(false);
    m_listenerId = m_pDocument->AddViewListener([this](CZelvanDoc&) {
        UpdateScrollSizes();
        viewport()->update();
    });
    // The initial update: the document's size, until the first paint sets the zoomed one.
    m_sizeTotal = m_pDocument->m_sizeDoc;
    UpdateScrollSizes();
    OpenViews().push_back(this);
}

CZelvanView::~CZelvanView() {
    ForgetView(this);
    m_pDocument->RemoveViewListener(m_listenerId);
}

std::vector<CZelvanView*> CZelvanView::ViewsOf(const CZelvanDoc& document) {
    std::vector<CZelvanView*> views;
    for (CZelvanView* view : OpenViews())
        if (view->m_pDocument.get() == &document) views.push_back(view);
    return views;
}

bool CZelvanView::MaybeSave() {
    if (m_pDocument->IsModified() && m_saveQuestion &&
        !m_pDocument->SaveModified(m_saveQuestion(m_pDocument->GetTitle())))
        return false;
    m_bSaveAnswered = true;
    return true;
}

void CZelvanView::closeEvent(QCloseEvent* event) {
    if (!m_bSaveAnswered && ViewsOf(*m_pDocument).size() == 1 && !MaybeSave()) {
        event->ignore();
        return;
    }
    ForgetView(this);
    event->accept();
}

QSize CZelvanView::sizeHint() const {
    const CSize size = m_pDocument->m_sizeDoc;
    const int frame = 2 * frameWidth();
    return QSize(std::max(size.cx, 160) + frame, std::max(size.cy, 120) + frame);
}

bool CZelvanView::ClipboardHasPicture() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && (data->hasFormat(QString::fromUtf8(kDibMimeType)) || data->hasImage());
}

void CZelvanView::WriteSizeText() {
    const CSize size = m_pDocument->m_sizeDoc;
    const std::string text =
        "Size : " + ("    X: " + std::to_string(size.cx)) + "     Y: " + std::to_string(size.cy);
    if (SizeText() != text) {
        SizeText() = text;
        if (SizeTextListener()) SizeTextListener()();
    }
}

void CZelvanView::UpdateScrollSizes() {
    const CSize size = m_pDocument->m_sizeDoc;
    const QSize client = viewport()->size();
    if (m_nZoom != 0)
        m_sizeTotal = CSize{size.cx * m_nZoom, size.cy * m_nZoom};
    else
        m_sizeTotal = CSize{client.width(), client.height()};
    // Page a tenth of the whole, line a tenth of the page, as the scroll view's defaults.
    horizontalScrollBar()->setRange(0, std::max(0, m_sizeTotal.cx - client.width()));
    horizontalScrollBar()->setPageStep(std::max(1, m_sizeTotal.cx / 10));
    horizontalScrollBar()->setSingleStep(std::max(1, m_sizeTotal.cx / 100));
    verticalScrollBar()->setRange(0, std::max(0, m_sizeTotal.cy - client.height()));
    verticalScrollBar()->setPageStep(std::max(1, m_sizeTotal.cy / 10));
    verticalScrollBar()->setSingleStep(std::max(1, m_sizeTotal.cy / 100));
    // Scroll bars that came or went changed the client area the fitted picture fills.
    if (m_nZoom == 0) m_sizeTotal = CSize{viewport()->width(), viewport()->height()};
}

void CZelvanView::paintEvent(QPaintEvent*) {
    WriteSizeText();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kBackground);
    const QImage image = DibToImage(m_pDocument->m_hDIB);
    if (image.isNull()) return;
    const CSize size = m_pDocument->m_sizeDoc;
    QRect target;
    if (m_nZoom != 0) {
        target = QRect(-horizontalScrollBar()->value(), -verticalScrollBar()->value(),
                       size.cx * m_nZoom, size.cy * m_nZoom);
    } else {
        target = viewport()->rect();
    }
    // Nearest pixels, as the stretch mode that keeps colours does.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image, QRect(0, 0, size.cx, size.cy));
}

void CZelvanView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollSizes();
}

void CZelvanView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CZelvanView::SetZoom(int zoom) {
    m_nZoom = zoom;
    UpdateScrollSizes();
    viewport()->update();
}

void CZelvanView::OnNextMagn() {
    switch (m_nZoom) {
        case 0:
            SetZoom(1);
            break;
        case 1:
            SetZoom(2);
            break;
        case 2:
            SetZoom(4);
            break;
        default:
            SetZoom(0);
            break;
    }
}

void CZelvanView::OnPrevMagn() {
    switch (m_nZoom) {
        case 0:
            SetZoom(4);
            break;
        case 4:
            SetZoom(2);
            break;
        case 2:
            SetZoom(1);
            break;
        default:
            SetZoom(0);
            break;
    }
}

void CZelvanView::OnFourierModifications() {
    {
        CWaitCursor wait;
        m_pDocument->RunOperation(0);
    }
    viewport()->update();
}

void CZelvanView::OnColorChange() {
    CColorDlg dialog(*m_pDocument, this);
    dialog.exec();
    viewport()->update();
}

void CZelvanView::OnUndoColor() {
    UndoColour(*m_pDocument);
    viewport()->update();
}

void CZelvanView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text == QLatin1String("n")) {
        if (isSignalConnected(QMetaMethod::fromSignal(&CZelvanView::NextWindowRequested)))
            emit NextWindowRequested();
        else
            ShowMessage("Sorry Null, No Main Window ");
    } else if (text == QLatin1String("s")) {
        ShowStatistics();
    } else if (text == QLatin1String("+")) {
        m_pDocument->RunOperation('P');
        viewport()->update();
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void CZelvanView::ShowStatistics() {
    const CFourier& fourier = m_pDocument->m_fourier;
    // Channel 2 is red, 1 green, 0 blue.
    const char* labels[] = {"Red, Aver Var:   ", "Green, Aver Var: ", "Blue, Aver, Var: "};
    const int channels[] = {2, 1, 0};
    for (int i = 0; i < 3; ++i) {
        const auto mean = static_cast<long long>(fourier.Mean(channels[i]));
        const auto deviation = static_cast<long long>(fourier.Deviation(channels[i]));
        ShowMessage(
            std::string(labels[i]) + "  " + std::to_string(mean) + "  " + std::to_string(deviation),
            MessageIcon::Exclamation);
    }
}

void CZelvanView::OnEditCopy() {
    CWaitCursor wait;
    auto* mime = new QMimeData;
    mime->setData(QString::fromUtf8(kDibMimeType), DibBytes(m_pDocument->m_hDIB));
    const QImage image = DibToImage(m_pDocument->m_hDIB);
    if (!image.isNull()) mime->setImageData(image);
    QApplication::clipboard()->setMimeData(mime);
}

void CZelvanView::OnEditPaste() {
    CZelvanDoc& doc = *m_pDocument;
    {
        CWaitCursor wait;
        DibHandle picture = ClipboardPicture();
        if (picture.IsNull()) return;
        doc.m_hDIB = std::move(picture);
        doc.PreparePicture(true);
        doc.SetModifiedFlag(true);
        UpdateScrollSizes();
        doc.UpdateAllViews();
        doc.m_strBasePath = BaseName(doc.GetTitle());
        doc.m_strFourierPath = doc.m_strBasePath + ".ft";
    }
}

void CZelvanView::OnCopyToResult() {
    CZelvanDoc& doc = *m_pDocument;
    bool copied = false;
    {
        CWaitCursor wait;
        DibHandle picture = ClipboardPicture();
        if (picture.IsNull()) return;
        if (CheckSameSize(doc.m_hDIB, picture)) {
            doc.m_hDIB = std::move(picture);
            doc.PreparePicture(false);
            viewport()->update();
            copied = true;
        }
    }
    if (copied) ShowMessage("Clipboard picture copied to Result.");
}

void CZelvanView::PrintPage(QPrinter& printer) {
    WriteSizeText();
    const QImage image = DibToImage(m_pDocument->m_hDIB);
    if (image.isNull()) return;
    const CSize size = m_pDocument->m_sizeDoc;
    QPainter painter(&printer);
    const QRect target = PrintRect(size.cx, size.cy, printer.width(), printer.height(),
                                   printer.logicalDpiX(), printer.logicalDpiY());
    painter.drawImage(target, image, QRect(0, 0, size.cx, size.cy));
}

void CZelvanView::OnFilePrint() {
    QPrinter& printer = SharedPrinter();
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted) return;
    CWaitCursor wait;
    PrintPage(printer);
}

void CZelvanView::OnFilePrintPreview() {
    QPrintPreviewDialog preview(&SharedPrinter(), this);
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { PrintPage(*printer); });
    preview.exec();
}
