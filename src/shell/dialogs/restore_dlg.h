#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "image/dib.h"
#include "stamp/estimate_blur.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"
#include "stamp/restore_request.h"

struct CKernelSourceRow;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;

// "Restore ...": where the kernel comes from (the example pair of "Dialog Zelvanto", a stamp
// file, the blur estimated from this picture, or a known blur with its parameters), the
// method, the strength, the kernel size, the border taper, and a preview of the result on the
// picture's centre that follows the controls, its kernel enlarged beside it. "Learn Kernel"
// learns the example pair's blur and writes it as a kernel file (the blur itself, not the
// inverse that Make Stamp writes). The controls start from the request given; OK, possible
// once the kernel can be made (the example pair is learnt then, if it was not yet), leaves
// Data() holding the request as edited, the learnt kernel with it.
class CRestoreDlg : public QDialog {
    Q_OBJECT

public:
    CRestoreDlg(const CRestoreRequest& request, const DibHandle& picture,
                QWidget* parent = nullptr);

    // The known blurs of the combo box, in the order of the table of kernel sources (the
    // blur paths' source last, one item for each path).
    enum KnownBlur { kMotion, kDefocus, kGaussian, kPathFirst };

    CKernelRequest Request() const;
    CRestoreSettings Settings() const;
    // After OK: the request as the dialog was left, with the kernel learnt for its example
    // pair when that is the source.
    const CRestoreRequest& Data() const { return m_data; }

    QRadioButton* SourceRadio(KernelSource source) const;
    QLineEdit* GoodEdit() const { return m_good; }
    QLineEdit* BlurredEdit() const { return m_blurred; }
    QLineEdit* KernelFileEdit() const { return m_kernelFile; }
    QLineEdit* StampEdit() const { return m_stamp; }
    QSpinBox* SizeSpin() const { return m_size; }
    QComboBox* KnownCombo() const { return m_known; }
    QDoubleSpinBox* FirstParameter() const { return m_param1; }
    QDoubleSpinBox* SecondParameter() const { return m_param2; }
    QComboBox* MethodCombo() const { return m_method; }
    QCheckBox* AutoStrengthCheck() const { return m_auto; }
    QDoubleSpinBox* StrengthSpin() const { return m_strength; }
    QSpinBox* IterationsSpin() const { return m_iterations; }
    QCheckBox* TaperCheck() const { return m_taper; }
    QPushButton* LearnButton() const { return m_learn; }
    QComboBox* EstimateModelCombo() const { return m_estimateModel; }
    QSpinBox* EstimateSizeSpin() const { return m_estimateSize; }
    QPushButton* EstimateButton() const { return m_estimateButton; }
    QLabel* EstimateInfo() const { return m_estimateInfo; }
    // The last estimate that found a blur (model None before one), its kernel with it.
    const CBlurEstimate& Estimated() const { return m_estimated; }
    QLabel* Preview() const { return m_preview; }
    QLabel* PreviewInfo() const { return m_info; }
    // The kernel of the preview, enlarged; empty while there is none.
    QLabel* KernelView() const { return m_kernelView; }
    // Milliseconds the last preview took; how many previews were drawn.
    double PreviewMilliseconds() const { return m_previewMs; }
    int PreviewCount() const { return m_previewCount; }
    // Draws the preview now instead of after the controls settle.
    void RefreshPreview();

public slots:
    void accept() override;

private:
    void ControlsChanged();
    void KnownChanged();
    // The source of the known blur the combo box shows.
    const CKernelSourceRow& KnownRow() const;
    // The controls set to the request's values.
    void ShowRequest(const CRestoreRequest& request);
    void LearnKernelClicked();
    // The kernel the controls name; the learnt one is learnt once per pair and size.
    // 1, 0 (message shown, or kept in quiet mode), or kRestoreCancelled.
    int CurrentKernel(CKernel& kernel, bool learn);
    int LearnWithProgress();
    // "Estimate": the blur estimated from the picture under a progress dialog; a motion,
    // defocus or Gaussian found fills the known blur's fields and becomes the source.
    void EstimateClicked();
    // 1 with m_estimated and its kernel, 0 (message shown) or kRestoreCancelled.
    int EstimateWithProgress();
    static std::string EstimateKey(const CKernelRequest& request);

    const DibHandle& m_picture;
    CPlanes m_centre;  // the part of the picture the preview restores
    CKernel m_learnt;
    std::string m_learntKey;
    CBlurEstimate m_estimated;
    std::string m_estimateKey;  // model and size of m_estimated; empty when none
    CRestoreRequest m_data;
    // The items of the known blurs' combo box: the source, and the blur path of each path.
    struct CKnownItem {
        KernelSource source;
        int32_t pathKind;
    };
    std::vector<CKnownItem> m_knownItems;
    double m_previewMs = 0.0;
    int m_previewCount = 0;

    QRadioButton* m_fromPair = nullptr;
    QRadioButton* m_fromStamp = nullptr;
    QRadioButton* m_fromKnown = nullptr;
    QRadioButton* m_fromEstimate = nullptr;
    QComboBox* m_estimateModel = nullptr;
    QSpinBox* m_estimateSize = nullptr;
    QPushButton* m_estimateButton = nullptr;
    QLabel* m_estimateInfo = nullptr;
    QLineEdit* m_good = nullptr;
    QLineEdit* m_blurred = nullptr;
    QLineEdit* m_kernelFile = nullptr;
    QLineEdit* m_stamp = nullptr;
    QSpinBox* m_size = nullptr;
    QPushButton* m_learn = nullptr;
    QComboBox* m_known = nullptr;
    QLabel* m_param1Label = nullptr;
    QLabel* m_param2Label = nullptr;
    QDoubleSpinBox* m_param1 = nullptr;
    QDoubleSpinBox* m_param2 = nullptr;
    QComboBox* m_method = nullptr;
    QCheckBox* m_auto = nullptr;
    QDoubleSpinBox* m_strength = nullptr;
    QSpinBox* m_iterations = nullptr;
    QCheckBox* m_taper = nullptr;
    QLabel* m_preview = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_kernelView = nullptr;
    QTimer* m_timer = nullptr;
};

// The largest part of the picture, around its centre, that the preview restores.
inline constexpr int32_t kPreviewWidth = 256;
inline constexpr int32_t kPreviewHeight = 192;
// About the side in pixels of the enlarged kernel beside the preview.
inline constexpr int32_t kKernelViewSide = 128;
