#pragma once

#include <QDialog>
#include <array>

#include "fourier/fourier_settings.h"

class QLabel;
class QLineEdit;
class QRadioButton;

// "Fourier Operations": the operation kind 0..6 with the parameters of the distributions,
// whether a spectrum is present, and the elapsed time of each row's last run. The rules
// (which edit a kind enables, the ranges) are the core's; the dialog draws and exchanges.
class CFourierOpsDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFourierOpsDlg(const FourierSettings& settings, QWidget* parent = nullptr);

    // The settings as last exchanged from the controls.
    const FourierSettings& Settings() const { return m_settings; }

    // Reads the kind and the five edits into the settings. An edit that holds no number
    // or a value out of its range is reported, gets the focus, and the result is false.
    // After a successful exchange the edits are enabled by the kind.
    bool UpdateData();

    QRadioButton* Radio(int kind) const { return m_radios[static_cast<size_t>(kind)]; }
    // The parameter edit of a kind 1, 2, 3, 4 or 6; nullptr for the others.
    QLineEdit* ParameterEdit(int kind) const { return m_edits[static_cast<size_t>(kind)]; }
    QLabel* PresentLabel() const { return m_present; }
    QLabel* TimeLabel(int kind) const { return m_times[static_cast<size_t>(kind)]; }

public slots:
    void accept() override;

private:
    void EnableEdits();

    FourierSettings m_settings;
    std::array<QRadioButton*, 7> m_radios{};
    std::array<QLineEdit*, 7> m_edits{};
    std::array<QLabel*, 7> m_times{};
    QLabel* m_present = nullptr;
};
