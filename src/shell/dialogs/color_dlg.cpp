#include "shell/dialogs/color_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <tuple>

#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "shell/dialogs/data_exchange.h"
#include "view/view_windows.h"
#include "view/zelvan_view.h"

namespace {

constexpr int kEditIds[6] = {kIdRedAverage,   kIdGreenAverage,   kIdBlueAverage,
                             kIdRedVariation, kIdGreenVariation, kIdBlueVariation};

// The member of the settings each edit shows, in the order of kEditIds.
int32_t& EditValue(ColorSettings& s, int index) {
    switch (index) {
        case 0:
            return s.m_nRedAverage;
        case 1:
            return s.m_nGreenAverage;
        case 2:
            return s.m_nBlueAverage;
        case 3:
            return s.m_nRedVariation;
        case 4:
            return s.m_nGreenVariation;
        default:
            return s.m_nBlueVariation;
    }
}

QSlider* MakeSlider(Qt::Orientation orientation, int id, int minimum, int maximum) {
    auto* slider = new QSlider(orientation);
    slider->setObjectName(QStringLiteral("slider%1").arg(id));
    slider->setRange(minimum, maximum);
    slider->setTickInterval(10);
    slider->setSingleStep(1);
    slider->setPageStep(10);
    slider->setTickPosition(orientation == Qt::Horizontal ? QSlider::TicksBelow
                                                          : QSlider::TicksRight);
    if (orientation == Qt::Horizontal) slider->setMinimumWidth(220);
    return slider;
}

}  // namespace

CColorDlg::CColorDlg(CZelvanDoc& doc, QWidget* parent)
    : QDialog(parent), m_session(doc), m_values(doc.m_colorCurrent) {
    setWindowTitle(QStringLiteral("Dialog Color"));
    setObjectName(QStringLiteral("dialog%1").arg(kIdColorDialog));

    for (int i = 0; i < 6; ++i) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("edit%1").arg(kEditIds[i]));
        edit->setMaximumWidth(70);
        connect(edit, &QLineEdit::editingFinished, this, [this] { ApplyColor(); });
        m_edits[static_cast<size_t>(i)] = edit;
    }
    auto group = [this](const char* title, int first) {
        auto* box = new QGroupBox(QString::fromUtf8(title));
        auto* grid = new QGridLayout(box);
        const char* labels[3] = {"Red", "Green", "Blue"};
        for (int i = 0; i < 3; ++i) {
            grid->addWidget(new QLabel(QString::fromUtf8(labels[i])), i, 0);
            grid->addWidget(m_edits[static_cast<size_t>(first + i)], i, 1);
        }
        return box;
    };

    m_light = MakeSlider(Qt::Horizontal, kIdLight, -100, 100);
    m_contrast = MakeSlider(Qt::Horizontal, kIdContrast, 0, 200);
    m_gamma = MakeSlider(Qt::Horizontal, kIdGamma, 0, 100);
    m_resultOriginal = MakeSlider(Qt::Vertical, kIdResultOriginal, 0, 100);
    // Position 0 (all Result) at the top, under the label "Result".
    m_resultOriginal->setInvertedAppearance(true);
    m_resultOriginal->setInvertedControls(true);
    m_resultOriginal->setMinimumHeight(160);
    for (QSlider* slider : {m_light, m_contrast, m_gamma, m_resultOriginal})
        connect(slider, &QSlider::valueChanged, this, [this, slider] { OnSliderMoved(slider); });

    // Each trackbar with its value beside it, as wide as the widest value ("-100").
    auto* trackbars = new QGridLayout;
    const std::tuple<const char*, QSlider*, int> rows[3] = {{"Light", m_light, kIdLight},
                                                            {"Contrast", m_contrast, kIdContrast},
                                                            {"Gamma", m_gamma, kIdGamma}};
    for (int i = 0; i < 3; ++i) {
        const auto& [label, slider, id] = rows[i];
        auto* value = new QLabel;
        value->setObjectName(QStringLiteral("value%1").arg(id));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("-100")));
        connect(slider, &QSlider::valueChanged, value,
                [value](int position) { value->setNum(position); });
        m_trackbarValues[static_cast<size_t>(i)] = value;
        trackbars->addWidget(new QLabel(QString::fromUtf8(label)), i, 0);
        trackbars->addWidget(slider, i, 1);
        trackbars->addWidget(value, i, 2);
    }

    auto* blend = new QVBoxLayout;
    blend->addWidget(new QLabel(QStringLiteral("Result")), 0, Qt::AlignHCenter);
    blend->addWidget(m_resultOriginal, 1, Qt::AlignHCenter);
    blend->addWidget(new QLabel(QStringLiteral("Original")), 0, Qt::AlignHCenter);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("button2"));
    auto* original = new QPushButton(QStringLiteral("Set Original"));
    original->setObjectName(QStringLiteral("button%1").arg(kIdSetOriginal));
    connect(ok, &QPushButton::clicked, this, &CColorDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CColorDlg::reject);
    connect(original, &QPushButton::clicked, this, &CColorDlg::OnSetOriginal);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addSpacing(12);
    buttons->addWidget(original);
    buttons->addStretch(1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(group("Average", 0));
    groups->addWidget(group("Variation", 3));
    auto* left = new QVBoxLayout;
    left->addLayout(groups);
    left->addLayout(trackbars);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addSpacing(8);
    layout->addLayout(blend);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowValues();
}

QLineEdit* CColorDlg::Edit(int id) const {
    for (int i = 0; i < 6; ++i)
        if (kEditIds[i] == id) return m_edits[static_cast<size_t>(i)];
    return nullptr;
}

QSlider* CColorDlg::Slider(int id) const {
    switch (id) {
        case kIdLight:
            return m_light;
        case kIdContrast:
            return m_contrast;
        case kIdGamma:
            return m_gamma;
        case kIdResultOriginal:
            return m_resultOriginal;
        default:
            return nullptr;
    }
}

void CColorDlg::ShowValues() {
    for (int i = 0; i < 6; ++i)
        m_edits[static_cast<size_t>(i)]->setText(QString::number(EditValue(m_values, i)));
    const std::pair<QSlider*, int> positions[4] = {
        {m_light, m_values.m_nLight},
        {m_contrast, m_values.m_nContrast},
        {m_gamma, m_values.m_nGamma},
        {m_resultOriginal, 100 - m_values.m_nResultShare}};
    for (const auto& [slider, position] : positions) {
        const QSignalBlocker block(slider);
        slider->setValue(position);
    }
    // The values beside the trackbars follow them also while their signals are blocked.
    for (size_t i = 0; i < m_trackbarValues.size(); ++i)
        m_trackbarValues[i]->setNum(positions[i].first->value());
}

bool CColorDlg::UpdateData() {
    ColorSettings exchanged = m_values;
    for (int i = 0; i < 6; ++i) {
        QLineEdit* edit = m_edits[static_cast<size_t>(i)];
        const std::optional<int32_t> value = ParseInt(edit->text());
        if (!value) {
            ShowMessage(kParseIntMessage);
            FocusFailedEdit(edit);
            return false;
        }
        EditValue(exchanged, i) = *value;
    }
    m_values = exchanged;
    return true;
}

void CColorDlg::ApplyColor() {
    // A message box of an application runs its own event loop: a trackbar moved meanwhile
    // is applied once this application ends.
    if (m_bApplying) {
        m_bApplyPending = true;
        return;
    }
    m_bApplying = true;
    do {
        m_bApplyPending = false;
        if (!UpdateData()) break;
        m_values.m_nContrast = m_contrast->value();
        m_values.m_nLight = m_light->value();
        m_values.m_nGamma = m_gamma->value();
        m_values.m_nResultShare = 100 - m_resultOriginal->value();

        CViewWindows* frame = MainViewWindows();
        if (!frame) {
            ShowMessage("Sorry Null, No Main Window ");
            break;
        }
        if (!frame->HasActiveWindow()) {
            ShowMessage("Sorry Null, No Child Window ");
            break;
        }
        CZelvanView* view = frame->ActiveView();
        if (!view) {
            ShowMessage("Sorry Null, No View Window ");
            break;
        }
        // The dialog is modal: the active view shows the document it was opened for.
        m_session.Apply(m_values);
        for (CZelvanView* shown : CZelvanView::ViewsOf(view->GetDocument()))
            shown->viewport()->update();
    } while (m_bApplyPending);
    m_bApplying = false;
}

void CColorDlg::OnSliderMoved(QSlider* slider) {
    if (!slider->isSliderDown()) {
        ApplyColor();
        return;
    }
    if (m_bApplyPending) return;
    m_bApplyPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_bApplyPending && !m_bApplying) ApplyColor();
    });
}

void CColorDlg::OnSetOriginal() {
    m_values = OriginalColorSettings();
    ShowValues();
    ApplyColor();
}

void CColorDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The first showing of the trackbars applies the values, as every later movement does.
    if (!m_bShown) {
        m_bShown = true;
        ApplyColor();
    }
}

void CColorDlg::accept() {
    if (!UpdateData()) return;
    m_session.Ok(m_values);
    QDialog::accept();
}

void CColorDlg::reject() {
    m_session.Cancel();
    QDialog::reject();
}
