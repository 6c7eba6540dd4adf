#pragma once

#include <QDialog>

#include "stamp/stamp_dialogs.h"

class QFrame;
class QLineEdit;
class QPushButton;

// "Dialog Stamp Cut": the Fraction of the peak value below which outer lines of the stamp
// are cut, the peak value, the rectangle kept so far (its four edges around a frame) and
// the peak position inside it. "Try Fraction" (the default button, OK) and "Use This" save
// Fraction and the peak position and end the dialog; Cancel ends it as it was. Numbers are
// taken without range checks; an edit that holds none is reported and keeps it open.
class CStampCutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CStampCutDlg(const CStampCutData& initial, QWidget* parent = nullptr);

    const CStampCutData& Data() const { return m_data; }
    // The result of exec() as the dialog's own result code: kIdOk ("Try Fraction"),
    // IDEndDialogUseThisCut ("Use This") or kIdCancel.
    static int ResultCode(int execResult);

    // Reads Fraction and the peak position; false (the edit reported and focused) when one
    // of them is not a number.
    bool UpdateData();

    QLineEdit* Edit(int id) const;
    QPushButton* Button(int id) const;
    QFrame* Frame() const { return m_frame; }

public slots:
    void accept() override;

private:
    CStampCutData m_data;
    QLineEdit* m_fraction = nullptr;
    QLineEdit* m_peakX = nullptr;
    QLineEdit* m_peakY = nullptr;
    QFrame* m_frame = nullptr;
};
