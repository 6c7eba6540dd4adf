#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <string>

#include "fourier/spectrum_image.h"
#include "image/dib.h"
#include "stamp/estimate_blur.h"
#include "stamp/mark_geometry.h"

class CZelvanDoc;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

// The spectrum image with the estimate's marks over it, the estimate's description written
// in its top left corner. The image is shown square, so that a cycle per pixel has the same
// length across and up and a direction on the picture is the same direction here: the zero
// lines of a motion run at right angles to it, the rings of a defocus are circles.
class CSpectrumCanvas : public QWidget {
    Q_OBJECT

public:
    explicit CSpectrumCanvas(QWidget* parent = nullptr);
    void SetImage(QImage image);
    void SetMarks(CMarkGeometry marks, QString caption);
    const CMarkGeometry& Marks() const { return m_marks; }
    // Where the image lies in the widget: the largest square, centred.
    QRectF ImageRect() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    CMarkGeometry m_marks;
    QString m_caption;
};

// "Spectrum": a window of its own for a document's picture, showing the log magnitude of
// the picture's grey spectrum (fourier/spectrum_image.h) as the picture is oriented on
// screen. "Estimate Blur" estimates the blur from the picture alone (stamp/estimate_blur.h)
// with the model and the largest size chosen, under the progress dialog of long work, and
// draws the estimate's marks: the zero lines of a motion, the rings of a defocus or a
// Gaussian. The window follows its document: when the picture changes it shows the new
// one's spectrum (the marks of the old one gone), and it closes with the document's last
// window.
class CSpectrumWindow : public QWidget {
    Q_OBJECT

public:
    // The spectrum window of the document, made when it has none, shown and raised; the
    // picture is read again. Null (the message shown) when the document has no picture or
    // its spectrum cannot be made.
    static CSpectrumWindow* Show(const std::shared_ptr<CZelvanDoc>& document,
                                 QWidget* parent = nullptr);
    // The open spectrum window of a document; null when it has none.
    static CSpectrumWindow* Of(const CZelvanDoc& document);

    ~CSpectrumWindow() override;

    // Reads the document's picture again when it differs from the one shown. 1, or 0 with
    // the message shown (the window then shows nothing).
    int Refresh();
    // Runs the estimate as "Estimate Blur" does: 1, 0 (message shown) or kRestoreCancelled.
    int EstimateBlurNow();

    const CSpectrumImage& Image() const { return m_image; }
    const CBlurEstimate& Estimate() const { return m_estimate; }
    bool HasEstimate() const { return m_hasEstimate; }
    CSpectrumCanvas* Canvas() const { return m_canvas; }
    QLabel* Caption() const { return m_caption; }
    QLabel* EstimateText() const { return m_estimateText; }
    QComboBox* ModelCombo() const { return m_model; }
    QSpinBox* SizeSpin() const { return m_size; }
    QPushButton* EstimateButton() const { return m_estimateButton; }

private:
    CSpectrumWindow(const std::shared_ptr<CZelvanDoc>& document, QWidget* parent);
    void ClearEstimate(const QString& text);
    // Closes the window once its document has gone; watches the document's views.
    void WatchViews();
    void ViewDestroyed();

    std::weak_ptr<CZelvanDoc> m_document;
    int m_listenerId = 0;
    DibHandle m_picture;  // the picture the spectrum is of
    CSpectrumImage m_image;
    CBlurEstimate m_estimate;
    bool m_hasEstimate = false;
    CSpectrumCanvas* m_canvas = nullptr;
    QLabel* m_caption = nullptr;
    QLabel* m_estimateText = nullptr;
    QComboBox* m_model = nullptr;
    QSpinBox* m_size = nullptr;
    QPushButton* m_estimateButton = nullptr;
    QTimer* m_changed = nullptr;
};
