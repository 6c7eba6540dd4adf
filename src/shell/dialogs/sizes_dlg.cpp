#include "shell/dialogs/sizes_dlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "fourier/size_fit.h"

namespace {
constexpr const char* kSizesExplanation =
    "This program can only handle  multiple of certain sizes,\nand this picture is does not "
    "fit.\nSo it need to be reduced in size.\nHere are the sizes available.\nThe biggest area "
    "first.";
}

CSizesDlg::CSizesDlg(const std::vector<CSize>& sizes, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dialog Sizes New Picture"));
    setObjectName(QStringLiteral("dialog127"));

    auto* explanation = new QLabel(QString::fromUtf8(kSizesExplanation));
    auto* caption = new QLabel(QStringLiteral("Sizes to choose from"));
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("list138"));
    m_list->setSortingEnabled(false);
    for (const CSize& size : sizes) m_list->addItem(QString::fromStdString(SizeListLine(size)));
    FitListHeight();
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { accept(); });

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("button2"));
    connect(ok, &QPushButton::clicked, this, &CSizesDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CSizesDlg::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(explanation, 0, 0);
    grid->addWidget(caption, 1, 0);
    grid->addWidget(m_list, 2, 0);
    grid->addLayout(buttons, 0, 1, 3, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

void CSizesDlg::FitListHeight() {
    // Twelve whole lines show at once; the rest scroll. The rows are measured in the font
    // the list has now: the one it is shown with may differ from the one it was made with
    // (it takes the dialog's, and the dialog its parent's), and rows measured in a smaller
    // font would leave the last one cut.
    const int row = std::max(m_list->fontMetrics().height(), m_list->sizeHintForRow(0));
    m_list->setFixedHeight(12 * row + 2 * m_list->frameWidth());
}

void CSizesDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        FitListHeight();
    QDialog::changeEvent(event);
}

void CSizesDlg::showEvent(QShowEvent* event) {
    FitListHeight();
    QDialog::showEvent(event);
}

void CSizesDlg::accept() {
    m_selection = m_list->currentRow();
    if (m_list->currentItem() == nullptr || !m_list->currentItem()->isSelected()) m_selection = -1;
    QDialog::accept();
}
