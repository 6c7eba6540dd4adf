#include "shell/dialogs/fourier_ops_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_kinds.h"
#include "platform/user_interface.h"
#include "shell/dialogs/data_exchange.h"

namespace {

QLabel* TimeStatic(int id, const std::string& text) {
    auto* label = new QLabel(QString::fromStdString(text));
    label->setObjectName(QStringLiteral("static%1").arg(id));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(110);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

CFourierOpsDlg::CFourierOpsDlg(const FourierSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(QString::fromUtf8(kFourierOpsTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdFourierOpsDialog));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    const char* headings[] = {"Operation", "Parameter", "Time Elapsed"};
    for (int column = 0; column < 3; ++column) {
        auto* heading = new QLabel(QString::fromUtf8(headings[column]));
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
        grid->addWidget(heading, 0, column, column == 0 ? Qt::AlignLeft : Qt::AlignHCenter);
    }

    auto* group = new QButtonGroup(this);
    for (const CFourierKindRow& k : FourierKindRows()) {
        if (k.dialog != FourierKindDialog::kOperations) continue;
        const int kind = k.kind;
        const int row = kind + 1;
        auto* radio = new QRadioButton(QString::fromUtf8(k.caption));
        radio->setObjectName(QStringLiteral("radio%1").arg(k.radioId));
        group->addButton(radio, kind);
        m_radios[static_cast<size_t>(kind)] = radio;
        grid->addWidget(radio, row, 0);

        if (k.editId != 0) {
            auto* edit = new QLineEdit(DoubleText(FourierKindParameter(m_settings, kind)));
            edit->setObjectName(QStringLiteral("edit%1").arg(k.editId));
            edit->setMaximumWidth(120);
            m_edits[static_cast<size_t>(kind)] = edit;
            grid->addWidget(edit, row, 1);
        } else if (kind == kKindFourier) {
            m_present = new QLabel(QString::fromUtf8(FourierOpsPresentText(m_settings.m_bPresent)));
            m_present->setObjectName(QStringLiteral("static%1").arg(kIdPresent));
            grid->addWidget(m_present, row, 1, Qt::AlignHCenter);
        }

        m_times[static_cast<size_t>(kind)] =
            TimeStatic(k.timeId, FourierOpsTimeText(m_settings, kind));
        grid->addWidget(m_times[static_cast<size_t>(kind)], row, 2);
    }
    const int checked = m_settings.m_nKind >= 0 && m_settings.m_nKind <= kLastFourierOpsKind
                            ? m_settings.m_nKind
                            : kKindFourier;
    m_radios[static_cast<size_t>(checked)]->setChecked(true);
    // A click on a radio button exchanges the data at once, so the enabling follows it.
    connect(group, &QButtonGroup::idClicked, this, [this](int) { UpdateData(); });

    auto* buttons = new QDialogButtonBox;
    QPushButton* okay = buttons->addButton(QStringLiteral("Okay"), QDialogButtonBox::AcceptRole);
    okay->setObjectName(QStringLiteral("button1"));
    okay->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("button2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CFourierOpsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFourierOpsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    EnableEdits();
}

bool CFourierOpsDlg::UpdateData() {
    FourierSettings exchanged = m_settings;
    exchanged.m_nKind = kKindFourier;
    for (int kind = 0; kind <= kLastFourierOpsKind; ++kind)
        if (m_radios[static_cast<size_t>(kind)]->isChecked()) exchanged.m_nKind = kind;

    // Each edit in turn: first it must hold a number, then the core's range check must
    // pass with that value in place of the one last accepted.
    for (const CFourierKindRow& k : FourierKindRows()) {
        if (k.dialog != FourierKindDialog::kOperations || !k.parameter) continue;
        QLineEdit* edit = m_edits[static_cast<size_t>(k.kind)];
        const std::optional<double> value = ParseDouble(edit->text());
        if (!value) {
            ShowMessage(kParseRealMessage);
            FocusFailedEdit(edit);
            return false;
        }
        FourierSettings probe = m_settings;
        probe.m_nKind = exchanged.m_nKind;
        probe.*k.parameter = *value;
        const std::string refused = ValidateFourierOperations(probe);
        if (!refused.empty()) {
            ShowMessage(refused, MessageIcon::Exclamation);
            FocusFailedEdit(edit);
            return false;
        }
        exchanged.*k.parameter = *value;
    }
    m_settings = exchanged;
    EnableEdits();
    return true;
}

void CFourierOpsDlg::accept() {
    if (UpdateData()) QDialog::accept();
}

void CFourierOpsDlg::EnableEdits() {
    const int enabled = FourierOpsEnabledEdit(m_settings.m_nKind);
    for (int kind = 0; kind <= kLastFourierOpsKind; ++kind)
        if (QLineEdit* edit = m_edits[static_cast<size_t>(kind)])
            edit->setEnabled(FourierOpsEnabledEdit(kind) == enabled);
}
