#pragma once

#include <QDialog>
#include <array>

#include "document/doc_settings.h"
#include "stamp/blur.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The blur dialog: the path kind ("Blur Horizontal" ... "Blur 5"), the steps, the
// attenuation and "Within Size". OK takes the values that pass the blur's rules
// (CheckBlurValues: at least 1 step, an attenuation of at most 1000 in magnitude); an edit
// that holds no number or a value refused is reported and keeps the dialog open.
class CBlurDlg : public QDialog {
    Q_OBJECT

public:
    explicit CBlurDlg(const BlurSettings& initial, QWidget* parent = nullptr);

    const BlurSettings& Settings() const { return m_settings; }

    // Reads the controls into the values; false (the edit reported and focused) when the
    // steps or the attenuation are not a number or break the blur's rules.
    bool UpdateData();

    QRadioButton* Radio(int kind) const { return m_radios[static_cast<size_t>(kind)]; }
    QLineEdit* StepsEdit() const { return m_steps; }
    QLineEdit* AttenuationEdit() const { return m_attenuation; }
    QCheckBox* WithinSizeCheck() const { return m_withinSize; }

public slots:
    void accept() override;

private:
    BlurSettings m_settings;
    std::array<QRadioButton*, kBlurPathCount> m_radios{};
    QLineEdit* m_steps = nullptr;
    QLineEdit* m_attenuation = nullptr;
    QCheckBox* m_withinSize = nullptr;
};
