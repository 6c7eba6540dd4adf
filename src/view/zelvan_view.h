#pragma once

#include <QAbstractScrollArea>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/user_interface.h"

class CZelvanDoc;
class QPrinter;

// The size text that every paint of any view writes and the status bar shows in pane 102.
// It starts as the text the main frame measures to size that pane.
std::string& SizeText();
inline constexpr const char* kInitialSizeText = "initial length of the string";
// The printer that printing, print preview and Print Setup share.
QPrinter& SharedPrinter();

// Called after a paint changed the size text.
void SetSizeTextListener(std::function<void()> listener);

// The picture of a document at one of four magnifications: 0 fits it to the window, 1, 2
// and 4 replicate each pixel. It prints the picture, exchanges it with the clipboard and
// runs the Fourier commands of its document; it never changes pixels itself.
class CZelvanView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit CZelvanView(std::shared_ptr<CZelvanDoc> document, QWidget* parent = nullptr);
    ~CZelvanView() override;

    // Where the window gets the answer to "Save changes to <title>?"; without one a window
    // closes without asking.
    using SaveQuestion = std::function<SaveAnswer(const std::string& title)>;
    void SetSaveQuestion(SaveQuestion question) { m_saveQuestion = std::move(question); }
    // Asks to save the modified document and acts on the answer; false when the person
    // cancelled or the save did not happen. When it is true the window then closes without
    // asking again.
    bool MaybeSave();
    // The views of a document whose windows are open, in the order they were made.
    static std::vector<CZelvanView*> ViewsOf(const CZelvanDoc& document);

    CZelvanDoc& GetDocument() const { return *m_pDocument; }
    const std::shared_ptr<CZelvanDoc>& DocumentPtr() const { return m_pDocument; }

    int Zoom() const { return m_nZoom; }
    // The scroll range: the zoomed picture, or the client area when fitting to the window.
    CSize ScrollSizes() const { return m_sizeTotal; }

    // The commands, as the menus and keys run them.
    void OnFourierModifications();
    // "Dialog Color" on the document, and Undo Color.
    void OnColorChange();
    void OnUndoColor();
    void OnEditCopy();
    void OnEditPaste();
    void OnCopyToResult();
    void OnNextMagn();
    void OnPrevMagn();
    void SetZoom(int zoom);
    void OnFilePrint();
    void OnFilePrintPreview();

    // True when the clipboard holds a picture that Paste takes.
    static bool ClipboardHasPicture();

    // Draws the picture onto a printer page as printing and print preview do.
    void PrintPage(QPrinter& printer);

    QSize sizeHint() const override;

signals:
    // The 'n' key: the next document window is to be activated.
    void NextWindowRequested();

protected:
    // The last open window of a modified document asks before it closes.
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Sets the scroll range for the zoom and the window size.
    void UpdateScrollSizes();
    void WriteSizeText();
    void ShowStatistics();

    std::shared_ptr<CZelvanDoc> m_pDocument;
    int m_nZoom = 1;
    CSize m_sizeTotal;
    int m_listenerId = 0;
    SaveQuestion m_saveQuestion;
    bool m_bSaveAnswered = false;
};
