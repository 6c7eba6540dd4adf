#include "shell/dialogs/about_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/user_interface.h"
#include "shell/icons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Zelvanto"));
    setObjectName(QStringLiteral("dialog100"));

    auto* icon = new QLabel;
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* name = new QLabel(QStringLiteral("Zelvanto Version 1.0"));
    auto* title = new QLabel(QString::fromUtf8(kAppTitle));
    auto* credits = new QLabel(
        QStringLiteral("Studies and repairs blurred photographs in the frequency domain\n"
                       "with an exact Fourier transform by projection."));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(name, 0, 1);
    grid->addWidget(title, 1, 1);
    grid->addWidget(credits, 2, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setHorizontalSpacing(16);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}
