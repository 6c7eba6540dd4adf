#pragma once

#include <QDialog>
#include <vector>

#include "platform/geometry.h"

class QListWidget;

// "Dialog Sizes New Picture": the working sizes a picture can be cut to, largest area
// first. OK, or a double click on a line, ends the dialog with the selected line.
class CSizesDlg : public QDialog {
    Q_OBJECT

public:
    explicit CSizesDlg(const std::vector<CSize>& sizes, QWidget* parent = nullptr);

    // The selected line after OK; -1 when nothing was selected.
    int Selection() const { return m_selection; }
    QListWidget* List() const { return m_list; }

public slots:
    void accept() override;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Makes the list exactly twelve rows high in the font it is shown with.
    void FitListHeight();

    QListWidget* m_list = nullptr;
    int m_selection = -1;
};
