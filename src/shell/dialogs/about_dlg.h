#pragma once

#include <QDialog>

// "About Zelvanto": the program's icon, name and version, and its credits.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
