#include "shell/dialogs/number_dlg.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "fourier/fourier_kinds.h"
#include "platform/user_interface.h"
#include "shell/dialogs/data_exchange.h"

CNumberDlg::CNumberDlg(const CNumberData& initial, QWidget* parent)
    : QDialog(parent), m_data(initial) {
    setWindowTitle(QString::fromUtf8(kNumberDialogTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdNumberDialog));

    auto* radios = new QVBoxLayout;
    auto* group = new QButtonGroup(this);
    for (int choice = 0; choice <= kLastNumberChoice; ++choice) {
        auto* radio = new QRadioButton(QString::fromUtf8(NumberChoiceCaption(choice)));
        radio->setObjectName(
            QStringLiteral("radio%1").arg(FindFourierKind(choice + kKindOneFrequency)->radioId));
        group->addButton(radio, choice);
        m_radios[static_cast<size_t>(choice)] = radio;
        radios->addWidget(radio);
    }
    const int checked =
        m_data.m_nChoice >= 0 && m_data.m_nChoice <= kLastNumberChoice ? m_data.m_nChoice : 0;
    m_radios[static_cast<size_t>(checked)]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [this](int) { UpdateData(); });

    m_editX = new QLineEdit(QString::number(m_data.m_nX));
    m_editX->setObjectName(QStringLiteral("edit%1").arg(kIdFreqX));
    m_editY = new QLineEdit(QString::number(m_data.m_nY));
    m_editY->setObjectName(QStringLiteral("edit%1").arg(kIdFreqY));
    auto* edits = new QGridLayout;
    edits->addWidget(new QLabel(QStringLiteral("X")), 0, 0);
    edits->addWidget(m_editX, 0, 1);
    edits->addWidget(new QLabel(QStringLiteral("Y")), 1, 0);
    edits->addWidget(m_editY, 1, 1);
    edits->setRowStretch(2, 1);
    m_editX->setMaximumWidth(90);
    m_editY->setMaximumWidth(90);

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("button2"));
    connect(ok, &QPushButton::clicked, this, &CNumberDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CNumberDlg::reject);
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

    EnableEdits();
}

bool CNumberDlg::UpdateData() {
    CNumberData exchanged = m_data;
    for (int choice = 0; choice <= kLastNumberChoice; ++choice)
        if (m_radios[static_cast<size_t>(choice)]->isChecked()) exchanged.m_nChoice = choice;
    for (QLineEdit* edit : {m_editX, m_editY}) {
        const std::optional<int32_t> value = ParseInt(edit->text());
        if (!value) {
            ShowMessage(kParseIntMessage);
            FocusFailedEdit(edit);
            return false;
        }
        (edit == m_editX ? exchanged.m_nX : exchanged.m_nY) = *value;
    }
    m_data = exchanged;
    EnableEdits();
    return true;
}

void CNumberDlg::accept() {
    if (!UpdateData()) return;
    const std::string refused = ValidateNumberDialog(m_data);
    if (!refused.empty()) {
        ShowMessage(refused);
        return;
    }
    QDialog::accept();
}

void CNumberDlg::EnableEdits() {
    const bool enabled = NumberEditsEnabled(m_data.m_nChoice);
    m_editX->setEnabled(enabled);
    m_editY->setEnabled(enabled);
}
