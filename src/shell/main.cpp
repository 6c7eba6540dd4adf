#include <QApplication>

#include "shell/desktop_ui.h"
#include "shell/icons.h"
#include "shell/zelvan_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zelvanto"));
    QCoreApplication::setApplicationName(QStringLiteral("zelvanto"));
    QGuiApplication::setDesktopFileName(QStringLiteral("zelvanto"));
    QApplication::setWindowIcon(ApplicationIcon());

    CDesktopUi ui;
    CZelvanApp app(ui);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (!app.InitInstance(arguments)) return 1;
    return QApplication::exec();
}
