#pragma once

#include <QDialog>

#include "stamp/stamp_dialogs.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

// "Dialog Zelvanto": the Good and Blurred example files (the Blurred one may name a stamp),
// the document's own Fourier data file (read-only) and an optional Compare file. Each
// "Browse ..." saves all fields, chooses a file and shows the fields again. OK saves the
// fields; "Make Stamp", "Use Stamp" and "Show Stamp" end the dialog at once, keeping the
// names as last saved. Result() gives kIdOk, kZelvantoMakeStamp, kZelvantoUseStamp,
// kZelvantoShowStamp or kIdCancel.
class CZelvantoDlg : public QDialog {
    Q_OBJECT

public:
    explicit CZelvantoDlg(const CZelvantoData& initial, QWidget* parent = nullptr);

    // The names as last saved from the fields.
    const CZelvantoData& Data() const { return m_data; }
    // The result of exec() as the dialog's own result code.
    static int ResultCode(int execResult);

    // Saves the fields into the names (true) or shows the names in the fields (false).
    void UpdateData(bool save);

    QLineEdit* GoodEdit() const { return m_good; }
    QLineEdit* BlurredEdit() const { return m_blurred; }
    QLineEdit* InputEdit() const { return m_input; }
    QLineEdit* CompareEdit() const { return m_compare; }
    QPushButton* Button(int id) const;
    QGroupBox* ExampleGroup() const { return m_group; }

public slots:
    void accept() override;

private:
    void Browse(std::string CZelvantoData::*name);

    CZelvantoData m_data;
    QGroupBox* m_group = nullptr;
    QLineEdit* m_good = nullptr;
    QLineEdit* m_blurred = nullptr;
    QLineEdit* m_input = nullptr;
    QLineEdit* m_compare = nullptr;
};
