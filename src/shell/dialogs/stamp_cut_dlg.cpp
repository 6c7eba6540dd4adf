#include "shell/dialogs/stamp_cut_dlg.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include "platform/user_interface.h"
#include "shell/dialogs/data_exchange.h"

namespace {

// The widest texts the edits show: a double with 15 significant digits, its sign and a
// three-digit exponent, and a 32-bit integer.
const QString kWidestDouble = QStringLiteral("-8.88888888888888e-308");
const QString kWidestInt = QStringLiteral("-2147483648");

// An edit as wide as the widest text it may show, so that a number is always seen whole.
QLineEdit* NumberEdit(int id, const QString& text, bool editable, const QString& widest) {
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QStringLiteral("edit%1").arg(id));
    edit->setReadOnly(!editable);
    edit->setAlignment(Qt::AlignRight);
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    constexpr int kEditMargins = 2 * 2;  // the edit keeps 2 pixels on each side of its text
    const QSize room(edit->fontMetrics().horizontalAdvance(widest) + kEditMargins,
                     edit->fontMetrics().height());
    edit->setFixedWidth(
        edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, room, edit).width());
    edit->setCursorPosition(0);  // the start of the number, should it ever be wider
    return edit;
}

QPushButton* MakeButton(int id, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption));
    button->setObjectName(QStringLiteral("button%1").arg(id));
    return button;
}

}  // namespace

CStampCutDlg::CStampCutDlg(const CStampCutData& initial, QWidget* parent)
    : QDialog(parent), m_data(initial) {
    setWindowTitle(QString::fromUtf8(kStampCutDialogTitle));
    setObjectName(QStringLiteral("dialog%1").arg(kIdStampCutDialog));

    m_fraction = NumberEdit(kIdFraction, DoubleText(m_data.m_dFraction), true, kWidestDouble);
    QLineEdit* peak = NumberEdit(kIdPeakValue, DoubleText(m_data.m_dPeak), false, kWidestDouble);
    const auto intEdit = [](int id, int32_t value, bool editable) {
        return NumberEdit(id, QString::number(value), editable, kWidestInt);
    };
    QLineEdit* top = intEdit(kIdCutTop, m_data.m_nTop, false);
    QLineEdit* bottom = intEdit(kIdCutBottom, m_data.m_nBottom, false);
    QLineEdit* left = intEdit(kIdCutLeft, m_data.m_nLeft, false);
    QLineEdit* right = intEdit(kIdCutRight, m_data.m_nRight, false);
    m_peakX = intEdit(kIdPeakColumn, m_data.m_nPeakX, true);
    m_peakY = intEdit(kIdPeakRow, m_data.m_nPeakY, true);

    auto* values = new QGridLayout;
    values->addWidget(new QLabel(QString::fromUtf8(kFractionLabel)), 0, 0);
    values->addWidget(m_fraction, 0, 1);
    values->addWidget(new QLabel(QString::fromUtf8(kPeakLabel)), 1, 0);
    values->addWidget(peak, 1, 1);
    values->setColumnStretch(2, 1);

    // The rectangle: top above the frame, bottom below it, left and right beside it, the
    // peak position inside.
    m_frame = new QFrame;
    m_frame->setObjectName(QStringLiteral("frameCut"));
    m_frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* inside = new QVBoxLayout(m_frame);
    auto* positionLabel = new QLabel(QString::fromUtf8(kPeakPositionLabel));
    positionLabel->setAlignment(Qt::AlignCenter);
    inside->addWidget(positionLabel);
    auto* position = new QHBoxLayout;
    position->addWidget(m_peakX);
    position->addWidget(m_peakY);
    inside->addLayout(position);
    auto* rectangle = new QGridLayout;
    rectangle->addWidget(top, 0, 1, Qt::AlignHCenter);
    rectangle->addWidget(left, 1, 0, Qt::AlignVCenter);
    rectangle->addWidget(m_frame, 1, 1);
    rectangle->addWidget(right, 1, 2, Qt::AlignVCenter);
    rectangle->addWidget(bottom, 2, 1, Qt::AlignHCenter);

    auto* tryFraction = MakeButton(kIdOk, kTryFractionCaption);
    tryFraction->setDefault(true);
    auto* useThis = MakeButton(kIdUseThis, kUseThisCaption);
    useThis->setAutoDefault(false);
    auto* cancel = MakeButton(kIdCancel, "Cancel");
    cancel->setAutoDefault(false);
    connect(tryFraction, &QPushButton::clicked, this, &CStampCutDlg::accept);
    connect(useThis, &QPushButton::clicked, this, [this] {
        if (UpdateData()) done(IDEndDialogUseThisCut);
    });
    connect(cancel, &QPushButton::clicked, this, &CStampCutDlg::reject);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(tryFraction);
    buttons->addWidget(useThis);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* fields = new QVBoxLayout;
    fields->addLayout(values);
    fields->addSpacing(8);
    fields->addLayout(rectangle);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CStampCutDlg::ResultCode(int execResult) {
    if (execResult == QDialog::Accepted) return kIdOk;
    if (execResult == QDialog::Rejected) return kIdCancel;
    return execResult;
}

QLineEdit* CStampCutDlg::Edit(int id) const {
    return findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id));
}

QPushButton* CStampCutDlg::Button(int id) const {
    return findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
}

bool CStampCutDlg::UpdateData() {
    CStampCutData exchanged = m_data;
    const std::optional<double> fraction = ParseDouble(m_fraction->text());
    if (!fraction) {
        ShowMessage(kParseRealMessage);
        FocusFailedEdit(m_fraction);
        return false;
    }
    exchanged.m_dFraction = *fraction;
    for (QLineEdit* edit : {m_peakX, m_peakY}) {
        const std::optional<int32_t> value = ParseInt(edit->text());
        if (!value) {
            ShowMessage(kParseIntMessage);
            FocusFailedEdit(edit);
            return false;
        }
        (edit == m_peakX ? exchanged.m_nPeakX : exchanged.m_nPeakY) = *value;
    }
    m_data = exchanged;
    return true;
}

void CStampCutDlg::accept() {
    if (UpdateData()) QDialog::accept();
}
