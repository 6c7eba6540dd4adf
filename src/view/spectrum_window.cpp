#include "view/spectrum_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <vector>

#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "stamp/estimate_free.h"
#include "view/zelvan_view.h"

namespace {

// The models "Estimate Blur" offers, in the order of the combo box.
constexpr BlurModel kModels[] = {BlurModel::Auto, BlurModel::Motion, BlurModel::Defocus,
                                 BlurModel::Gaussian, BlurModel::Free};
// The longest side the window first gives the spectrum.
constexpr int kShownSide = 560;
// A document's picture change is looked at once the changes have settled this long.
constexpr int kChangeSettleMs = 300;

const QColor kMarkColour(255, 64, 32);

std::vector<CSpectrumWindow*>& OpenWindows() {
    static std::vector<CSpectrumWindow*> windows;
    return windows;
}

QImage ImageOf(const CSpectrumImage& spectrum) {
    QImage image(spectrum.width, spectrum.height, QImage::Format_Grayscale8);
    for (int32_t y = 0; y < spectrum.height; ++y)
        std::memcpy(image.scanLine(y),
                    spectrum.values.data() + static_cast<size_t>(y) * spectrum.width,
                    static_cast<size_t>(spectrum.width));
    return image;
}

bool SamePicture(const DibHandle& a, const DibHandle& b) {
    if (a.IsNull() || b.IsNull()) return a.IsNull() == b.IsNull();
    return a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), a.Size()) == 0;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

CSpectrumCanvas::CSpectrumCanvas(QWidget* parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CSpectrumCanvas::SetImage(QImage image) {
    m_image = std::move(image);
    updateGeometry();
    update();
}

void CSpectrumCanvas::SetMarks(CMarkGeometry marks, QString caption) {
    m_marks = std::move(marks);
    m_caption = std::move(caption);
    update();
}

QSize CSpectrumCanvas::sizeHint() const {
    if (m_image.isNull()) return {kShownSide / 2, kShownSide / 2};
    const int longest = std::max(m_image.width(), m_image.height());
    const int side = std::clamp(longest, kShownSide / 2, kShownSide);
    return {side, side};
}

QRectF CSpectrumCanvas::ImageRect() const {
    if (m_image.isNull()) return {};
    const double side = std::min(width(), height());
    return {(width() - side) / 2.0, (height() - side) / 2.0, side, side};
}

void CSpectrumCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(48, 48, 48));
    if (m_image.isNull()) return;
    const QRectF target = ImageRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
    // The marks are in the image's pixels: the same scale as the image.
    const double sx = target.width() / m_image.width(), sy = target.height() / m_image.height();
    const auto at = [&](double x, double y) {
        return QPointF(target.left() + x * sx, target.top() + y * sy);
    };
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(target);
    // A little transparent, so the zeros under the marks still show.
    QColor line = kMarkColour;
    line.setAlpha(200);
    QPen pen(line, 1.3, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const CMarkSegment& s : m_marks.lines) painter.drawLine(at(s.x0, s.y0), at(s.x1, s.y1));
    for (const CMarkEllipse& e : m_marks.rings)
        painter.drawEllipse(at(e.centreX, e.centreY), e.radiusX * sx, e.radiusY * sy);
    painter.setClipping(false);
    if (m_caption.isEmpty()) return;
    const QFontMetrics metrics(font());
    const QRect text = metrics.boundingRect(m_caption).adjusted(-6, -3, 6, 3);
    const QRect box(target.toRect().topLeft() + QPoint(6, 6), text.size());
    painter.fillRect(box, QColor(0, 0, 0, 160));
    painter.setPen(kMarkColour.lighter(130));
    painter.drawText(box, Qt::AlignCenter, m_caption);
}

CSpectrumWindow* CSpectrumWindow::Of(const CZelvanDoc& document) {
    for (CSpectrumWindow* window : OpenWindows())
        if (window->m_document.lock().get() == &document) return window;
    return nullptr;
}

CSpectrumWindow* CSpectrumWindow::Show(const std::shared_ptr<CZelvanDoc>& document,
                                       QWidget* parent) {
    if (!document) return nullptr;
    if (document->m_hDIB.IsNull()) {
        ShowMessage("There is no picture to show the spectrum of.");
        return nullptr;
    }
    CSpectrumWindow* window = Of(*document);
    const bool made = window == nullptr;
    if (made) window = new CSpectrumWindow(document, parent);
    if (window->Refresh() != 1) {
        if (made) {
            window->close();
            return nullptr;
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

CSpectrumWindow::CSpectrumWindow(const std::shared_ptr<CZelvanDoc>& document, QWidget* parent)
    : QWidget(parent, Qt::Window), m_document(document) {
    setAttribute(Qt::WA_DeleteOnClose);
    OpenWindows().push_back(this);
    auto* layout = new QVBoxLayout(this);
    m_caption = new QLabel(this);
    m_caption->setWordWrap(true);
    layout->addWidget(m_caption);
    m_canvas = new CSpectrumCanvas(this);
    layout->addWidget(m_canvas, 1);

    auto* controls = new QHBoxLayout;
    m_model = new QComboBox(this);
    for (const BlurModel model : kModels) m_model->addItem(QString::fromUtf8(BlurModelName(model)));
    m_size = new QSpinBox(this);
    m_size->setRange(kFreeFormMinSize, kFreeFormMaxSize);
    m_size->setValue(CEstimateRequest().maxSize);
    m_size->setSuffix(QStringLiteral(" px"));
    m_estimateButton = new QPushButton(QStringLiteral("Estimate Blur"), this);
    controls->addWidget(new QLabel(QStringLiteral("Model"), this));
    controls->addWidget(m_model);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Largest blur"), this));
    controls->addWidget(m_size);
    controls->addSpacing(12);
    controls->addWidget(m_estimateButton);
    controls->addStretch(1);
    layout->addLayout(controls);
    m_estimateText = new QLabel(this);
    m_estimateText->setWordWrap(true);
    layout->addWidget(m_estimateText);
    connect(m_estimateButton, &QPushButton::clicked, this, [this] { EstimateBlurNow(); });

    // The document's changes come in bursts (the colour dialog repaints at every move): the
    // picture is compared once they have settled.
    m_changed = new QTimer(this);
    m_changed->setSingleShot(true);
    m_changed->setInterval(kChangeSettleMs);
    connect(m_changed, &QTimer::timeout, this, [this] { Refresh(); });
    m_listenerId = document->AddViewListener([this](CZelvanDoc&) { m_changed->start(); });
    WatchViews();
}

CSpectrumWindow::~CSpectrumWindow() {
    std::erase(OpenWindows(), this);
    if (const std::shared_ptr<CZelvanDoc> document = m_document.lock())
        document->RemoveViewListener(m_listenerId);
}

void CSpectrumWindow::WatchViews() {
    const std::shared_ptr<CZelvanDoc> document = m_document.lock();
    if (!document) return;
    for (CZelvanView* view : CZelvanView::ViewsOf(*document))
        connect(view, &QObject::destroyed, this, &CSpectrumWindow::ViewDestroyed,
                Qt::UniqueConnection);
}

void CSpectrumWindow::ViewDestroyed() {
    // The view is gone once the queued call runs, and the document with its last view.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_document.expired())
                close();
            else
                WatchViews();
        },
        Qt::QueuedConnection);
}

void CSpectrumWindow::ClearEstimate(const QString& text) {
    m_hasEstimate = false;
    m_estimate = CBlurEstimate{};
    m_canvas->SetMarks({}, QString());
    m_estimateText->setText(text);
}

int CSpectrumWindow::Refresh() {
    const std::shared_ptr<CZelvanDoc> document = m_document.lock();
    if (!document) return 0;
    if (!m_image.IsEmpty() && SamePicture(document->m_hDIB, m_picture)) return 1;
    DibHandle picture = CopyHandle(document->m_hDIB);
    CSpectrumImage image;
    int made = 0;
    if (picture.IsNull()) {
        ShowMessage("There is no picture to show the spectrum of.");
    } else {
        CWaitCursor wait;
        made = MakeSpectrumImage(picture, image);
    }
    setWindowTitle(Q("Spectrum - " + document->GetTitle()));
    m_picture = std::move(picture);
    m_image = std::move(image);
    m_canvas->SetImage(m_image.IsEmpty() ? QImage() : ImageOf(m_image));
    if (made != 1) {
        m_caption->setText(Q("No spectrum of " + document->GetTitle() + "."));
        ClearEstimate(QString());
        m_estimateButton->setEnabled(false);
        return 0;
    }
    m_caption->setText(QStringLiteral("Spectrum of %1, %2 x %3: log magnitude of the grey "
                                      "picture, frequency 0 at the centre, x to the right "
                                      "and y upwards as on screen; shown square, each edge at "
                                      "half a cycle per pixel.")
                           .arg(Q(document->GetTitle()))
                           .arg(m_image.width)
                           .arg(m_image.height));
    m_estimateButton->setEnabled(true);
    ClearEstimate(
        QStringLiteral("\"Estimate Blur\" estimates the blur from this picture alone "
                       "and marks it here."));
    return 1;
}

int CSpectrumWindow::EstimateBlurNow() {
    if (m_picture.IsNull()) return 0;
    CPlanes planes;
    if (PlanesFromPicture(m_picture, planes) != 1) return 0;
    CEstimateRequest request;
    request.model =
        kModels[std::clamp(m_model->currentIndex(), 0, static_cast<int>(std::size(kModels)) - 1)];
    request.maxSize = m_size->value();
    CBlurEstimate estimate;
    int result = 0;
    {
        CWaitCursor wait;
        const CProgressCaption caption("Estimating the blur ...");
        result = EstimateBlur(planes, request, estimate,
                              [](double fraction) { return Ui().ReportProgress(fraction); });
    }
    if (result != 1) {
        ClearEstimate(result == kRestoreCancelled ? QStringLiteral("The estimate was cancelled.")
                                                  : QStringLiteral("No estimate."));
        return result;
    }
    m_estimate = std::move(estimate);
    m_hasEstimate = true;
    const QString description = Q(m_estimate.description);
    m_canvas->SetMarks(MarkGeometry(m_estimate.marks, m_image.width, m_image.height), description);
    QString text = m_estimate.model == BlurModel::None
                       ? QStringLiteral("No blur found: %1.").arg(description)
                       : QStringLiteral("Estimate: %1 (confidence %2).")
                             .arg(description)
                             .arg(m_estimate.confidence, 0, 'f', 2);
    if (m_estimate.marks.hasLines)
        text += QStringLiteral(" The dashed lines are the motion's zeros, across its direction.");
    else if (!m_estimate.marks.ringRadii.empty())
        text += m_estimate.model == BlurModel::Gaussian
                    ? QStringLiteral(" The dashed ring is where the Gaussian falls to 1/e.")
                    : QStringLiteral(" The dashed rings are the defocus disc's zeros.");
    m_estimateText->setText(text);
    return 1;
}
