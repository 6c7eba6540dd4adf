#pragma once

#include <QDialog>
#include <array>

#include "fourier/fourier_dialogs.h"

class QLineEdit;
class QRadioButton;

// "Dialog Number": one of the six frequency operations with the frequency X and Y. X and
// Y are editable for the operations that use them; OK is refused while they lie outside
// the spectrum (the core's check and message).
class CNumberDlg : public QDialog {
    Q_OBJECT

public:
    explicit CNumberDlg(const CNumberData& initial, QWidget* parent = nullptr);

    const CNumberData& Data() const { return m_data; }

    // Reads the choice, X and Y; an edit without an integer is reported, gets the focus,
    // and the result is false. After a successful exchange the edits follow the choice.
    bool UpdateData();

    QRadioButton* Radio(int choice) const { return m_radios[static_cast<size_t>(choice)]; }
    QLineEdit* EditX() const { return m_editX; }
    QLineEdit* EditY() const { return m_editY; }

public slots:
    void accept() override;

private:
    void EnableEdits();

    CNumberData m_data;
    std::array<QRadioButton*, 6> m_radios{};
    QLineEdit* m_editX = nullptr;
    QLineEdit* m_editY = nullptr;
};
