#pragma once

#include <QDialog>
#include <array>

#include "document/colour.h"

class CZelvanDoc;
class QLabel;
class QLineEdit;
class QSlider;

// Control identifiers of "Dialog Color" (object names "edit103", "slider122" ...).
inline constexpr int kIdColorDialog = 105;
inline constexpr int kIdRedAverage = 103;
inline constexpr int kIdGreenAverage = 105;
inline constexpr int kIdBlueAverage = 106;
inline constexpr int kIdRedVariation = 107;
inline constexpr int kIdGreenVariation = 108;
inline constexpr int kIdBlueVariation = 109;
inline constexpr int kIdResultOriginal = 121;
inline constexpr int kIdLight = 122;
inline constexpr int kIdContrast = 123;
inline constexpr int kIdGamma = 124;
inline constexpr int kIdSetOriginal = 134;

// "Dialog Color": the average offset and variation of each colour, light, contrast, gamma
// and the Result/Original slider of a document. Every change is applied at once: an edit
// losing focus, a trackbar moving, "Set Original". While a thumb is dragged the picture
// follows the latest position; positions passed while a picture was being computed are
// skipped, not queued. OK keeps the values (the old ones become the undo), Cancel brings
// back the values and the picture in force when the dialog opened.
class CColorDlg : public QDialog {
    Q_OBJECT

public:
    explicit CColorDlg(CZelvanDoc& doc, QWidget* parent = nullptr);

    // The dialog's values as last read.
    const ColorSettings& Values() const { return m_values; }
    bool Applied() const { return m_session.Applied(); }

    // Reads the six edits; an edit without an integer gets "Please enter an integer." and the
    // focus, and the result is false.
    bool UpdateData();
    // Shows the six values in the edits and the four in the trackbars, without applying.
    void ShowValues();
    // Reads the edits and trackbars and applies them to the document of the active view.
    void ApplyColor();
    void OnSetOriginal();

    QLineEdit* Edit(int id) const;
    QSlider* Slider(int id) const;

public slots:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // A trackbar moved: applied at once, or, while its thumb is dragged, once the events
    // already waiting have been handled, with the position then.
    void OnSliderMoved(QSlider* slider);

    CColourSession m_session;
    ColorSettings m_values;
    std::array<QLineEdit*, 6> m_edits{};  // red, green, blue average; red, green, blue variation
    QSlider* m_light = nullptr;
    QSlider* m_contrast = nullptr;
    QSlider* m_gamma = nullptr;
    QSlider* m_resultOriginal = nullptr;
    std::array<QLabel*, 3> m_trackbarValues{};  // the values of light, contrast and gamma
    bool m_bApplying = false;
    bool m_bApplyPending = false;
    bool m_bShown = false;
};
