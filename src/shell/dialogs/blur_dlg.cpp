#include "shell/dialogs/blur_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/user_interface.h"
#include "shell/dialogs/data_exchange.h"
#include "stamp/stamp_dialogs.h"

CBlurDlg::CBlurDlg(const BlurSettings& initial, QWidget* parent)
    : QDialog(parent), m_settings(initial) {
    setWindowTitle(QString::fromUtf8(kBlurDialogTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdBlurDialog));

    auto* radios = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    for (const CBlurPathRow& row : BlurPathRows()) {
        auto* radio = new QRadioButton(QString::fromUtf8(row.caption));
        radio->setObjectName(QStringLiteral("radio%1").arg(row.radioId));
        group->addButton(radio, row.kind);
        m_radios[static_cast<size_t>(row.kind)] = radio;
        radios->addWidget(radio);
    }
    // A kind the radio group does not have checks none of its buttons.
    if (m_settings.m_nBlurKind >= 0 && m_settings.m_nBlurKind <= kLastBlurKind)
        m_radios[static_cast<size_t>(m_settings.m_nBlurKind)]->setChecked(true);
    radios->addStretch(1);

    m_steps = new QLineEdit(QString::number(m_settings.m_nBlurSteps));
    m_steps->setObjectName(QStringLiteral("edit%1").arg(kIdBlurSteps));
    m_attenuation = new QLineEdit(DoubleText(m_settings.m_dBlurAttenuation));
    m_attenuation->setObjectName(QStringLiteral("edit%1").arg(kIdBlurAttenuation));
    m_withinSize = new QCheckBox(QString::fromUtf8(kBlurWithinSizeLabel));
    m_withinSize->setObjectName(QStringLiteral("check%1").arg(kIdBlurWithinSize));
    m_withinSize->setChecked(m_settings.m_bBlurWithinSize);
    m_steps->setMaximumWidth(90);
    m_attenuation->setMaximumWidth(90);
    auto* edits = new QGridLayout;
    edits->addWidget(new QLabel(QString::fromUtf8(kBlurStepsLabel)), 0, 0);
    edits->addWidget(m_steps, 0, 1);
    edits->addWidget(new QLabel(QString::fromUtf8(kBlurAttenuationLabel)), 1, 0);
    edits->addWidget(m_attenuation, 1, 1);
    edits->addWidget(m_withinSize, 2, 0, 1, 2);
    edits->setRowStretch(3, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("button%1").arg(kIdOk));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("button%1").arg(kIdCancel));
    connect(ok, &QPushButton::clicked, this, &CBlurDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CBlurDlg::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(radios);
    layout->addSpacing(12);
    layout->addLayout(edits);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CBlurDlg::UpdateData() {
    BlurSettings exchanged = m_settings;
    for (int kind = 0; kind <= kLastBlurKind; ++kind)
        if (m_radios[static_cast<size_t>(kind)]->isChecked()) exchanged.m_nBlurKind = kind;
    const std::optional<int32_t> steps = ParseInt(m_steps->text());
    if (!steps) {
        ShowMessage(kParseIntMessage);
        FocusFailedEdit(m_steps);
        return false;
    }
    exchanged.m_nBlurSteps = *steps;
    const std::optional<double> attenuation = ParseDouble(m_attenuation->text());
    if (!attenuation) {
        ShowMessage(kParseRealMessage);
        FocusFailedEdit(m_attenuation);
        return false;
    }
    exchanged.m_dBlurAttenuation = *attenuation;
    exchanged.m_bBlurWithinSize = m_withinSize->isChecked();
    const std::string refusal = CheckBlurValues(exchanged.m_nBlurKind, exchanged.m_nBlurSteps,
                                                exchanged.m_dBlurAttenuation);
    if (!refusal.empty()) {
        ShowMessage(refusal);
        FocusFailedEdit(exchanged.m_nBlurSteps < 1 ? m_steps : m_attenuation);
        return false;
    }
    m_settings = exchanged;
    return true;
}

void CBlurDlg::accept() {
    if (UpdateData()) QDialog::accept();
}
