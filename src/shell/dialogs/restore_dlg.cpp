#include "shell/dialogs/restore_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "fourier/fourier.h"
#include "platform/user_interface.h"
#include "stamp/kernel_sources.h"
#include "stamp/restore_files.h"
#include "stamp/restore_methods.h"
#include "stamp/stamp_dialogs.h"

namespace {

// The models of the estimate, in the order of its combo box.

// While the preview is drawn, the core's messages go to the preview's caption instead of a
// message box at every change of a control.
class CQuietUi : public CUserInterface {
public:
    void Message(const std::string& text, MessageIcon) override { m_last = text; }
    bool AskYesNo(const std::string&, bool) override { return false; }
    std::optional<std::string> FileDialog(const CFileDialogRequest&) override {
        return std::nullopt;
    }
    void AddToRecentFiles(const std::string&) override {}
    const std::string& Last() const { return m_last; }

private:
    std::string m_last;
};

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The planes as a screen image: rows of the packed bitmap run bottom-up.
QImage ImageOf(const CPlanes& planes) {
    QImage image(planes.width, planes.height, QImage::Format_RGB32);
    for (int32_t y = 0; y < planes.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(planes.height - 1 - y));
        for (int32_t x = 0; x < planes.width; ++x) {
            const size_t i = static_cast<size_t>(y) * planes.width + x;
            line[x] = qRgb(ByteFromReal(planes.Plane(2)[i]), ByteFromReal(planes.Plane(1)[i]),
                           ByteFromReal(planes.Plane(0)[i]));
        }
    }
    return image;
}

// The kernel as a grey image, its peak white, each value a square of pixels so that the
// kernel fills about kKernelViewSide pixels; rows of the kernel run bottom-up like the
// picture's.
QImage KernelImage(const CKernel& kernel) {
    if (kernel.IsEmpty()) return {};
    double peak = 0.0;
    for (const double v : kernel.values) peak = std::max(peak, std::abs(v));
    const int scale = std::max(1, kKernelViewSide / std::max(kernel.width, kernel.height));
    QImage image(kernel.width * scale, kernel.height * scale, QImage::Format_Grayscale8);
    for (int32_t y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        const int32_t ky = kernel.height - 1 - y / scale;
        for (int32_t x = 0; x < image.width(); ++x) {
            const double v = peak > 0.0 ? std::abs(kernel.At(x / scale, ky)) / peak : 0.0;
            line[x] = static_cast<uchar>(std::lround(255.0 * v));
        }
    }
    return image;
}

// A learnt kernel file beside the Blurred picture: its name says that it holds the blur.
std::string LearntKernelPath(const std::string& blurred) {
    if (blurred.empty()) return std::string();
    const size_t slash = blurred.find_last_of('/');
    const size_t dot = blurred.find('.', slash == std::string::npos ? 0 : slash + 1);
    return blurred.substr(0, dot) + "_blur.stp";
}

}  // namespace

CRestoreDlg::CRestoreDlg(const CRestoreRequest& request, const DibHandle& picture, QWidget* parent)
    : QDialog(parent), m_picture(picture), m_data(request) {
    const std::string& good = request.kernel.goodPath;
    const std::string& blurred = request.kernel.blurredPath;
    setWindowTitle(QStringLiteral("Restore"));
    auto* layout = new QHBoxLayout(this);
    auto* controls = new QVBoxLayout;
    layout->addLayout(controls);

    auto* source = new QGroupBox(QStringLiteral("Kernel"), this);
    auto* grid = new QGridLayout(source);
    auto* sources = new QButtonGroup(this);
    m_fromPair = new QRadioButton(Q(KernelSourceRowOf(KernelSource::ExamplePair).caption), source);
    m_fromStamp = new QRadioButton(Q(KernelSourceRowOf(KernelSource::StampFile).caption), source);
    m_fromKnown = new QRadioButton(QStringLiteral("Known blur"), source);
    const CKernelSourceRow& estimateRow = KernelSourceRowOf(KernelSource::Estimate);
    m_fromEstimate = new QRadioButton(Q(estimateRow.caption), source);
    for (QRadioButton* r : {m_fromPair, m_fromStamp, m_fromEstimate, m_fromKnown})
        sources->addButton(r);
    m_estimateModel = new QComboBox(source);
    for (const BlurModel model : AskableBlurModels())
        m_estimateModel->addItem(QString::fromUtf8(BlurModelName(model)));
    m_estimateSize = new QSpinBox(source);
    m_estimateSize->setRange(static_cast<int>(estimateRow.parameters[0].minimum),
                             static_cast<int>(estimateRow.parameters[0].maximum));
    m_estimateSize->setSuffix(QStringLiteral(" px"));
    m_estimateButton = new QPushButton(QStringLiteral("Estimate"), source);
    m_estimateInfo = new QLabel(source);
    m_estimateInfo->setWordWrap(true);
    // Room for what the estimate says, so that the dialog need not grow when it says it.
    m_estimateInfo->setMinimumHeight(2 * m_estimateInfo->fontMetrics().lineSpacing() + 4);
    m_estimateInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_good = new QLineEdit(Q(good), source);
    m_blurred = new QLineEdit(Q(blurred), source);
    m_kernelFile = new QLineEdit(Q(LearntKernelPath(blurred)), source);
    m_size = new QSpinBox(source);
    m_size->setRange(1, kMaxKernelSize);
    m_size->setValue(kDefaultKernelSize);
    m_learn = new QPushButton(QStringLiteral("Learn Kernel"), source);
    m_stamp = new QLineEdit(source);
    auto* browse = new QPushButton(QStringLiteral("..."), source);
    m_known = new QComboBox(source);
    // The known blurs are the sources with numbers; the blur paths' source lists each path.
    for (const CKernelSourceRow& row : KernelSourceRows()) {
        if (row.parameters.empty() || row.takesModelName) continue;
        if (!row.takesPathName) {
            m_knownItems.push_back({row.source, 0});
            m_known->addItem(Q(row.caption));
            continue;
        }
        for (const CBlurPathRow& path : BlurPathRows()) {
            m_knownItems.push_back({row.source, path.kind});
            m_known->addItem(Q(path.caption));
        }
    }
    m_param1Label = new QLabel(source);
    m_param2Label = new QLabel(source);
    m_param1 = new QDoubleSpinBox(source);
    m_param2 = new QDoubleSpinBox(source);
    int row = 0;
    grid->addWidget(m_fromPair, row++, 0, 1, 3);
    auto* browseGood = new QPushButton(QString::fromUtf8(kBrowseCaption), source);
    browseGood->setObjectName(QStringLiteral("browseGood"));
    auto* browseBlurred = new QPushButton(QString::fromUtf8(kBrowseCaption), source);
    browseBlurred->setObjectName(QStringLiteral("browseBlurred"));
    grid->addWidget(new QLabel(QStringLiteral("Good File"), source), row, 0);
    grid->addWidget(m_good, row, 1);
    grid->addWidget(browseGood, row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Blurred File"), source), row, 0);
    grid->addWidget(m_blurred, row, 1);
    grid->addWidget(browseBlurred, row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Kernel size"), source), row, 0);
    grid->addWidget(m_size, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Learnt blur file"), source), row, 0);
    grid->addWidget(m_kernelFile, row, 1);
    grid->addWidget(m_learn, row++, 2);
    grid->addWidget(m_fromStamp, row++, 0, 1, 3);
    grid->addWidget(m_stamp, row, 0, 1, 2);
    grid->addWidget(browse, row++, 2);
    grid->addWidget(m_fromEstimate, row++, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Model"), source), row, 0);
    grid->addWidget(m_estimateModel, row, 1);
    grid->addWidget(m_estimateButton, row++, 2);
    grid->addWidget(new QLabel(Q(estimateRow.parameters[0].label), source), row, 0);
    grid->addWidget(m_estimateSize, row++, 1);
    grid->addWidget(m_estimateInfo, row++, 0, 1, 3);
    grid->addWidget(m_fromKnown, row, 0);
    grid->addWidget(m_known, row++, 1, 1, 2);
    grid->addWidget(m_param1Label, row, 0);
    grid->addWidget(m_param1, row++, 1);
    grid->addWidget(m_param2Label, row, 0);
    grid->addWidget(m_param2, row++, 1);
    controls->addWidget(source);

    auto* method = new QGroupBox(QStringLiteral("Method"), this);
    auto* form = new QFormLayout(method);
    m_method = new QComboBox(method);
    for (const CRestoreMethodRow& entry : RestoreMethods())
        m_method->addItem(QString::fromUtf8(entry.caption));
    m_auto = new QCheckBox(QStringLiteral("Automatic"), method);
    m_auto->setChecked(true);
    m_strength = new QDoubleSpinBox(method);
    m_strength->setDecimals(6);
    m_strength->setRange(0.0, 1e6);
    m_strength->setSingleStep(0.001);
    m_strength->setValue(0.001);
    auto* strength = new QHBoxLayout;
    strength->addWidget(m_auto);
    strength->addWidget(m_strength);
    m_iterations = new QSpinBox(method);
    m_iterations->setRange(0, kMaxRestoreIterations);
    m_iterations->setSpecialValueText(QStringLiteral("Automatic"));
    m_iterations->setValue(CRestoreSettings().iterations);
    m_taper =
        new QCheckBox(QStringLiteral("Borders as they are (off: the blur wraps around)"), method);
    m_taper->setChecked(true);
    form->addRow(QStringLiteral("Method"), m_method);
    form->addRow(QStringLiteral("Strength"), strength);
    form->addRow(QStringLiteral("Iterations"), m_iterations);
    form->addRow(m_taper);
    controls->addWidget(method);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    controls->addWidget(buttons);

    auto* preview = new QGridLayout;
    m_preview = new QLabel(this);
    m_preview->setMinimumSize(kPreviewWidth, kPreviewHeight);
    m_preview->setAlignment(Qt::AlignCenter);
    m_kernelView = new QLabel(this);
    m_kernelView->setMinimumSize(kKernelViewSide, kKernelViewSide);
    m_kernelView->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_info = new QLabel(this);
    m_info->setWordWrap(true);
    m_info->setMaximumWidth(kPreviewWidth + kKernelViewSide + 40);
    preview->addWidget(new QLabel(QStringLiteral("Preview (the picture's centre)"), this), 0, 0);
    preview->addWidget(new QLabel(QStringLiteral("Kernel, enlarged"), this), 0, 1);
    preview->addWidget(m_preview, 1, 0);
    preview->addWidget(m_kernelView, 1, 1);
    preview->addWidget(m_info, 2, 0, 1, 2);
    preview->setRowStretch(3, 1);
    layout->addLayout(preview);

    // The preview restores the centre of the picture at full scale, so that the blur keeps
    // its size, and stays quick.
    CPlanes whole;
    {
        CQuietUi quiet;
        CUiScope scope(quiet);
        if (PlanesFromPicture(picture, whole)) {
            const int32_t w = std::min(whole.width, kPreviewWidth);
            const int32_t h = std::min(whole.height, kPreviewHeight);
            const int32_t x0 = (whole.width - w) / 2, y0 = (whole.height - h) / 2;
            if (m_centre.Allocate(w, h))
                for (int32_t c = 0; c < 3; ++c)
                    for (int32_t y = 0; y < h; ++y)
                        std::copy_n(whole.Plane(c) + static_cast<size_t>(y + y0) * whole.width + x0,
                                    w, m_centre.Plane(c) + static_cast<size_t>(y) * w);
        }
    }
    ShowRequest(request);

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(30);
    connect(m_timer, &QTimer::timeout, this, &CRestoreDlg::RefreshPreview);
    connect(sources, &QButtonGroup::buttonClicked, this, [this] { ControlsChanged(); });
    for (QLineEdit* e : {m_good, m_blurred, m_stamp})
        connect(e, &QLineEdit::editingFinished, this, [this] { ControlsChanged(); });
    connect(m_blurred, &QLineEdit::editingFinished, this, [this] {
        m_kernelFile->setText(Q(LearntKernelPath(m_blurred->text().toStdString())));
    });
    for (QSpinBox* s : {m_size, m_iterations})
        connect(s, &QSpinBox::valueChanged, this, [this] { ControlsChanged(); });
    // The estimate's controls take the estimate as the kernel's source.
    const auto estimateChanged = [this] {
        m_fromEstimate->setChecked(true);
        ControlsChanged();
    };
    connect(m_estimateModel, &QComboBox::currentIndexChanged, this, estimateChanged);
    connect(m_estimateSize, &QSpinBox::valueChanged, this, estimateChanged);
    connect(m_estimateButton, &QPushButton::clicked, this, &CRestoreDlg::EstimateClicked);
    for (QDoubleSpinBox* s : {m_param1, m_param2, m_strength})
        connect(s, &QDoubleSpinBox::valueChanged, this, [this] { ControlsChanged(); });
    connect(m_known, &QComboBox::currentIndexChanged, this, [this] {
        KnownChanged();
        m_fromKnown->setChecked(true);
        ControlsChanged();
    });
    connect(m_method, &QComboBox::currentIndexChanged, this, [this] { ControlsChanged(); });
    for (QCheckBox* c : {m_auto, m_taper})
        connect(c, &QCheckBox::toggled, this, [this] { ControlsChanged(); });
    connect(m_learn, &QPushButton::clicked, this, &CRestoreDlg::LearnKernelClicked);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Stamp file"), m_stamp->text(),
                                         QStringLiteral("Stamp files (*.stp);;All files (*)"));
        if (path.isEmpty()) return;
        m_stamp->setText(path);
        m_fromStamp->setChecked(true);
        ControlsChanged();
    });
    // A picture of the example pair chosen in the file dialog of the port takes the pair as
    // the kernel's source, as a name typed there does.
    const auto browsePicture = [this](QLineEdit* edit) {
        CFileDialogRequest files;
        files.open = true;
        files.initialName = edit->text().toStdString();
        files.filter = "Pictures|*.bmp;*.jpg;*.jpeg;*.png|All files(*.*)|*.*||";
        const std::optional<std::string> path = Ui().FileDialog(files);
        if (!path) return;
        edit->setText(Q(*path));
        if (edit == m_blurred) m_kernelFile->setText(Q(LearntKernelPath(*path)));
        m_fromPair->setChecked(true);
        ControlsChanged();
    };
    connect(browseGood, &QPushButton::clicked, this,
            [this, browsePicture] { browsePicture(m_good); });
    connect(browseBlurred, &QPushButton::clicked, this,
            [this, browsePicture] { browsePicture(m_blurred); });
    connect(buttons, &QDialogButtonBox::accepted, this, &CRestoreDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRestoreDlg::reject);
    ControlsChanged();
}

QRadioButton* CRestoreDlg::SourceRadio(KernelSource source) const {
    switch (source) {
        case KernelSource::ExamplePair:
            return m_fromPair;
        case KernelSource::StampFile:
            return m_fromStamp;
        case KernelSource::Estimate:
            return m_fromEstimate;
        default:
            return m_fromKnown;
    }
}

void CRestoreDlg::ShowRequest(const CRestoreRequest& request) {
    const CKernelRequest& k = request.kernel;
    m_size->setValue(k.size);
    m_stamp->setText(Q(k.stampPath));
    int known = kPathFirst;
    for (size_t i = 0; i < m_knownItems.size(); ++i)
        if (m_knownItems[i].source == k.source &&
            (!KernelSourceRowOf(k.source).takesPathName || m_knownItems[i].pathKind == k.blurKind))
            known = static_cast<int>(i);
    m_known->setCurrentIndex(known);
    KnownChanged();
    // The known blur the request names shows its values; the others their defaults.
    const CKernelSourceRow& row = KnownRow();
    if (row.source == k.source) {
        QDoubleSpinBox* spins[] = {m_param1, m_param2};
        for (size_t i = 0; i < row.parameters.size() && i < 2; ++i)
            spins[i]->setValue(row.parameters[i].get(k));
    }
    // The example pair is the source only while both of its names are given.
    const bool pair =
        k.source == KernelSource::ExamplePair && !k.goodPath.empty() && !k.blurredPath.empty();
    const bool stamp = k.source == KernelSource::StampFile;
    const bool estimate = k.source == KernelSource::Estimate;
    {
        const QSignalBlocker b1(m_estimateModel), b2(m_estimateSize);
        const std::span<const BlurModel> models = AskableBlurModels();
        const auto model = std::find(models.begin(), models.end(), k.estimateModel);
        m_estimateModel->setCurrentIndex(
            model == models.end() ? 0 : static_cast<int>(model - models.begin()));
        m_estimateSize->setValue(k.estimateSize);
    }
    m_fromPair->setChecked(pair);
    m_fromStamp->setChecked(stamp);
    m_fromEstimate->setChecked(estimate);
    m_fromKnown->setChecked(!pair && !stamp && !estimate);
    const CRestoreSettings& s = request.settings;
    m_method->setCurrentIndex(s.method == RestoreMethod::Lucy ? 1 : 0);
    m_auto->setChecked(s.autoStrength);
    m_strength->setValue(s.strength);
    m_iterations->setValue(s.iterations);
    m_taper->setChecked(s.taper);
}

const CKernelSourceRow& CRestoreDlg::KnownRow() const {
    const int index = m_known->currentIndex();
    if (index < 0 || static_cast<size_t>(index) >= m_knownItems.size())
        return KernelSourceRowOf(KernelSource::BlurPath);
    return KernelSourceRowOf(m_knownItems[static_cast<size_t>(index)].source);
}

void CRestoreDlg::KnownChanged() {
    const QSignalBlocker b1(m_param1), b2(m_param2);
    const CKernelSourceRow& row = KnownRow();
    QLabel* labels[] = {m_param1Label, m_param2Label};
    QDoubleSpinBox* spins[] = {m_param1, m_param2};
    const CKernelRequest defaults;
    for (size_t i = 0; i < 2; ++i) {
        const bool shown = i < row.parameters.size();
        labels[i]->setVisible(shown);
        spins[i]->setVisible(shown);
        if (!shown) continue;
        const CKernelParameter& parameter = row.parameters[i];
        labels[i]->setText(Q(parameter.label));
        spins[i]->setDecimals(parameter.decimals);
        spins[i]->setRange(parameter.minimum, parameter.maximum);
        spins[i]->setValue(parameter.get(defaults));
    }
}

CKernelRequest CRestoreDlg::Request() const {
    CKernelRequest r;
    r.goodPath = m_good->text().toStdString();
    r.blurredPath = m_blurred->text().toStdString();
    r.size = m_size->value();
    r.stampPath = m_stamp->text().toStdString();
    const std::span<const BlurModel> models = AskableBlurModels();
    r.estimateModel = models[static_cast<size_t>(
        std::clamp(m_estimateModel->currentIndex(), 0, static_cast<int>(models.size()) - 1))];
    r.estimateSize = m_estimateSize->value();
    if (m_fromPair->isChecked()) {
        r.source = KernelSource::ExamplePair;
    } else if (m_fromStamp->isChecked()) {
        r.source = KernelSource::StampFile;
    } else if (m_fromEstimate->isChecked()) {
        r.source = KernelSource::Estimate;
    } else {
        const CKernelSourceRow& row = KnownRow();
        r.source = row.source;
        if (row.takesPathName)
            r.blurKind = m_knownItems[static_cast<size_t>(m_known->currentIndex())].pathKind;
        const QDoubleSpinBox* spins[] = {m_param1, m_param2};
        for (size_t i = 0; i < row.parameters.size() && i < 2; ++i)
            row.parameters[i].set(r, spins[i]->value());
    }
    return r;
}

CRestoreSettings CRestoreDlg::Settings() const {
    CRestoreSettings s;
    s.method = RestoreMethods()[static_cast<size_t>(std::max(m_method->currentIndex(), 0))].method;
    s.autoStrength = m_auto->isChecked();
    s.strength = m_strength->value();
    s.iterations = m_iterations->value();
    s.taper = m_taper->isChecked();
    return s;
}

void CRestoreDlg::ControlsChanged() {
    const CRestoreMethodRow& row =
        RestoreMethods()[static_cast<size_t>(std::max(m_method->currentIndex(), 0))];
    m_auto->setEnabled(row.hasStrength);
    m_strength->setEnabled(row.hasStrength && !m_auto->isChecked());
    m_iterations->setEnabled(row.hasIterations);
    m_timer->start();
}

int CRestoreDlg::LearnWithProgress() {
    const CKernelRequest r = Request();
    QProgressDialog progress(QStringLiteral("Learning the kernel ..."), QStringLiteral("Cancel"), 0,
                             100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    CKernel kernel;
    const int result =
        LearnKernelFromFiles(r.goodPath, r.blurredPath, r.size, kernel, [&](double f) {
            progress.setValue(static_cast<int>(100 * f));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    if (result == 1) {
        m_learnt = std::move(kernel);
        m_learntKey = r.goodPath + '\n' + r.blurredPath + '\n' + std::to_string(r.size);
    }
    return result;
}

int CRestoreDlg::CurrentKernel(CKernel& kernel, bool learn) {
    const CKernelRequest r = Request();
    if (r.source == KernelSource::Estimate) {
        if (m_estimateKey != EstimateKey(r)) {
            if (!learn) return 0;
            const int estimated = EstimateWithProgress();
            if (estimated != 1) return estimated;
        }
        kernel = m_estimated.kernel;
        return 1;
    }
    if (r.source != KernelSource::ExamplePair) return MakeKernel(r, kernel);
    const std::string key = r.goodPath + '\n' + r.blurredPath + '\n' + std::to_string(r.size);
    if (m_learntKey != key) {
        if (!learn) return 0;
        const int learnt = LearnWithProgress();
        if (learnt != 1) return learnt;
    }
    kernel = m_learnt;
    return 1;
}

void CRestoreDlg::RefreshPreview() {
    m_timer->stop();
    CQuietUi quiet;
    CUiScope scope(quiet);
    QElapsedTimer clock;
    clock.start();
    CKernel kernel;
    CPlanes restored;
    const int made = CurrentKernel(kernel, false);
    int result = 0;
    if (made == 1) result = RestorePlanes(m_centre, kernel, Settings(), restored, {}, nullptr);
    m_previewMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    ++m_previewCount;
    m_kernelView->setPixmap(made == 1 ? QPixmap::fromImage(KernelImage(kernel)) : QPixmap());
    if (result == 1) {
        m_preview->setPixmap(QPixmap::fromImage(ImageOf(restored)));
        m_info->setText(QStringLiteral("%1 x %2 of the picture, %3; %4 ms")
                            .arg(restored.width)
                            .arg(restored.height)
                            .arg(Q(DescribeKernel(kernel)))
                            .arg(m_previewMs, 0, 'f', 1));
    } else {
        m_preview->setPixmap(QPixmap::fromImage(ImageOf(m_centre)));
        m_info->setText(made == 1 || !quiet.Last().empty() ? Q(quiet.Last())
                        : Request().source == KernelSource::Estimate
                            ? QStringLiteral("Press \"Estimate\" to estimate the blur from "
                                             "this picture and see the preview.")
                            : QStringLiteral("Press \"Learn Kernel\" to learn the example "
                                             "pair's blur and see the preview."));
    }
}

std::string CRestoreDlg::EstimateKey(const CKernelRequest& r) {
    return std::string(BlurModelName(r.estimateModel)) + '\n' + std::to_string(r.estimateSize);
}

int CRestoreDlg::EstimateWithProgress() {
    CKernelRequest r = Request();
    r.source = KernelSource::Estimate;
    r.picture = &m_picture;
    CBlurEstimate estimate;
    r.estimated = &estimate;
    QProgressDialog progress(QStringLiteral("Estimating the blur ..."), QStringLiteral("Cancel"), 0,
                             100, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    CKernel kernel;
    const int result = MakeKernel(r, kernel, [&](double f) {
        progress.setValue(static_cast<int>(100 * f));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    m_estimateKey.clear();
    m_estimated = CBlurEstimate{};
    if (result == kRestoreCancelled) {
        m_estimateInfo->setText(QStringLiteral("The estimate was cancelled."));
        return result;
    }
    if (result != 1) {
        m_estimateInfo->setText(estimate.description.empty()
                                    ? QStringLiteral("No estimate.")
                                    : Q("No blur found: " + estimate.description + "."));
        return result;
    }
    m_estimated = std::move(estimate);
    m_estimated.kernel = std::move(kernel);
    m_estimateKey = EstimateKey(r);
    m_estimateInfo->setText(QStringLiteral("Found %1 (confidence %2).")
                                .arg(Q(m_estimated.description))
                                .arg(m_estimated.confidence, 0, 'f', 2));
    return 1;
}

void CRestoreDlg::EstimateClicked() {
    m_fromEstimate->setChecked(true);
    m_estimateKey.clear();
    if (EstimateWithProgress() != 1) {
        ControlsChanged();
        return;
    }
    // A straight motion, a defocus or a Gaussian is one of the known blurs: its numbers go
    // into their fields, to be adjusted, and the known blur becomes the source. A free-form
    // kernel stays the estimate's.
    const std::pair<BlurModel, KernelSource> known[] = {
        {BlurModel::Motion, KernelSource::Motion},
        {BlurModel::Defocus, KernelSource::Defocus},
        {BlurModel::Gaussian, KernelSource::Gaussian}};
    for (const auto& [model, source] : known) {
        if (m_estimated.model != model) continue;
        for (size_t i = 0; i < m_knownItems.size(); ++i)
            if (m_knownItems[i].source == source) m_known->setCurrentIndex(static_cast<int>(i));
        KnownChanged();
        CKernelRequest found;
        found.length = m_estimated.length;
        found.angle = m_estimated.angle;
        found.radius = m_estimated.radius;
        found.sigma = m_estimated.sigma;
        const CKernelSourceRow& row = KernelSourceRowOf(source);
        QDoubleSpinBox* spins[] = {m_param1, m_param2};
        for (size_t p = 0; p < row.parameters.size() && p < 2; ++p)
            spins[p]->setValue(row.parameters[p].get(found));
        m_fromKnown->setChecked(true);
        m_estimateInfo->setText(QStringLiteral("Found %1, put into the known blur below.")
                                    .arg(Q(m_estimated.description)));
    }
    ControlsChanged();
    RefreshPreview();
}

void CRestoreDlg::LearnKernelClicked() {
    m_fromPair->setChecked(true);
    m_learntKey.clear();
    if (LearnWithProgress() != 1) return;
    const std::string path = m_kernelFile->text().toStdString();
    if (!path.empty() && WriteKernelFile(path, m_learnt))
        m_info->setText(QStringLiteral("Learnt blur written to ") + Q(path));
    ControlsChanged();
    RefreshPreview();
}

void CRestoreDlg::accept() {
    if (ValidateRestoreSettings(Settings()) != 1) return;
    CKernel kernel;
    if (CurrentKernel(kernel, true) != 1) return;
    m_data.kernel = Request();
    m_data.settings = Settings();
    // A kernel learnt or estimated here goes with the request, so the restoration does not
    // make it again.
    const bool made = m_data.kernel.source == KernelSource::ExamplePair ||
                      m_data.kernel.source == KernelSource::Estimate;
    m_data.learnt = made ? std::move(kernel) : CKernel{};
    QDialog::accept();
}
