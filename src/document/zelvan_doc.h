#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/doc_settings.h"
#include "fourier/fourier.h"
#include "fourier/fourier_settings.h"
#include "image/dib.h"
#include "platform/geometry.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"
#include "stamp/restore_request.h"

// Filters of the document's file dialogs.
inline constexpr const char* kOpenFilter =
    "Bitmap files (*.bmp)|*.bmp|Jpeg files (*.jpg *.jpeg)|*.jpg;*.jpeg|PNG files "
    "(*.png)|*.png|CFourier files (*.ft)|*.ft|Stamp files (*.stp)|*.stp|All files(*.*)|*.*||";
inline constexpr const char* kSaveAsFilter =
    "Bitmap files (*.bmp)|*.bmp|Jpeg files (*.jpg *.jpeg)|*.jpg;*.jpeg|PNG files "
    "(*.png)|*.png|CFourier files (*.ft)|*.ft|All files(*.*)|*.*||";
inline constexpr const char* kFourierFilter = "CFourier files (*.ft)|*.ft|All files(*.*)|*.*||";

inline constexpr int kJpegQuality = 90;
inline constexpr int kQueueEntries = 10;

// The application's raw command line, its arguments joined by blanks: the desktop looks
// there for a start-up path that the shell split at its blanks.
void SetApplicationCommandLine(const std::string& commandLine);
const std::string& ApplicationCommandLine();

// The sequence number the next document gets.
int32_t NextDocumentNumber();

// One open picture: the picture (which becomes the result), an untouched copy of it, the
// Fourier engine with its work buffers and the settings of the operations run on it.
// Everything runs on the one user-interface thread; messages, questions and dialogs go
// through the installed port.
class CZelvanDoc {
public:
    CZelvanDoc();
    // Asks whether to delete the Fourier data file when "Ask Before Delete Saved Fourier
    // Transform" is set; frees everything.
    ~CZelvanDoc();
    CZelvanDoc(const CZelvanDoc&) = delete;
    CZelvanDoc& operator=(const CZelvanDoc&) = delete;

    bool OnNewDocument() { return true; }
    // Opens a ".bmp", ".jpg" (or ".jpeg"), ".png", ".ft" or ".stp" file into this document
    // (a stamp shows as a grey picture of its size, and is the document's Blurred file). False,
    // with a message saying why, when it cannot be opened: the document stays as it was,
    // apart from a picture whose preparation failed. Nothing but the path given is opened.
    bool OnOpenDocument(const std::string& path);
    // Writes the file by its kind; when that worked the file becomes the document's (its
    // path name, title and picture file; a ".ft" leaves it without a picture file), the
    // companion names follow, the Fourier data file moves along when asked to replace it
    // and a spectrum is present, and the modified mark is cleared. A failed write changes
    // no name. 1/0.
    int DoSave(const std::string& path, bool replace);
    // ".bmp": the picture; ".jpg" or ".jpeg": the picture as JPEG of quality 90; ".png": the
    // picture as 24-bit PNG; ".ft": the untouched spectrum, to the companion path
    // (whatever the name given); anything else is refused with a message. 1/0.
    int WritePictureFile(const std::string& path);
    // Converts the picture to 24 bits, fits and cuts it to a working size, sets the engine up
    // and measures it, keeps the original when asked, and fills the real picture.
    void PreparePicture(bool keepOriginal);
    // Makes sure the three work buffers hold a width x height picture. 1/0.
    int AllocateWorkBuffers(int32_t width, int32_t height);
    // ".jpg" for kind 3, ".png" for kind 5, ".bmp" for every other kind.
    void SetExtension(int kind);
    // "<text>  <first>  <second>" with the exclamation icon.
    static void ShowNumbers(const std::string& text, int32_t first, int32_t second);

    // The operation driver: checks, work buffers, then the row of the operation table the
    // code names (letters without regard to case).
    void RunOperation(int32_t code);
    // Makes sure base + ".ft" of an example holds the spectrum of its picture, the first of
    // base + ".bmp", ".jpg", ".png" that is there: a kept one whose print (or, lacking one,
    // age) says it is that picture's is taken, else the picture is transformed and the
    // spectrum written. With no picture a kept spectrum is taken as it is. 1 done, 0 nothing
    // there (the reader of the file reports it), -1 failed with a message (a picture of
    // another size than width x height, one that cannot be read, a spectrum not written).
    // The engine's print of the document's spectrum is left as it was.
    int EnsureFourierFile(const std::string& path, int32_t width, int32_t height, Complex* spectrum,
                          uint8_t* flags);
    // The same for one picture file, which is there. 1 or -1.
    int MakeFourierFile(const std::string& file, int32_t width, int32_t height, Complex* spectrum,
                        uint8_t* flags);

    // Commands. Save writes to the document's picture file and goes through Save As when
    // there is none; both clear the modified mark only when the write worked. 1/0 (0 also
    // for a cancelled dialog).
    void OnFileOpen();
    int OnFileSave();
    int OnFileSaveAs();
    // Acts on the answer to "Save changes to <title>?" before the document closes: Yes saves
    // where Save would write (a document without a picture file asks where), No keeps the
    // changes unsaved. False when the document is to stay open: Cancel, or a save that did
    // not happen.
    bool SaveModified(SaveAnswer answer);
    // Writes the untouched spectrum beside the chosen name, which then names the Fourier
    // data file; a failed write says why and changes no name. 1/0.
    int OnSaveFourierTransform();
    void OnAskDeleteFourierFile() { m_bAskDeleteFourierFile = !m_bAskDeleteFourierFile; }
    bool AskDeleteFourierFileChecked() const { return m_bAskDeleteFourierFile; }
    void OnSetOneFrequency();
    // "Ratio Frequency": the ratio text of the spectrum in the ".ft" file. 1/0.
    int OnRatioFrequency();
    // "Compare Result": the picture becomes the amplified difference between the Result
    // samples and the Compare file; refused with a message while no Compare file is named.
    // 1/0.
    int OnCompareResult();
    // "Blur ...": the blur dialog with the document's blur values; OK keeps the values it was
    // left with and blurs the picture ('B'). The views repaint whatever the answer.
    void OnBlur();
    // "Zelvanto Files ...": "Dialog Zelvanto" with the Good and Blurred names and the
    // document's Fourier data file. Any end but Cancel keeps the Good, Blurred and Compare
    // names the dialog gives and, under the wait cursor, runs 'D' (OK), 'S' (Make Stamp),
    // 'U' (Use Stamp) or 'W' (Show Stamp); then the views repaint.
    void OnZelvantoFiles();
    // "Restore ...": the Restore dialog with the document's last restoration and its Good
    // and Blurred names, on its picture. OK keeps the request and the names it was left
    // with and, under the wait cursor, restores the picture ('R'), the real picture taking
    // the restored values so that the colour adjustment starts from them. The views repaint
    // whatever the answer.
    void OnRestore();

    // Whether the last Fourier run (codes 0 and 2), spectrum display (code 1), ratio ('A'),
    // comparison ('-') or colour adjustment ('X') did its work: false when its dialog was
    // cancelled, it was stopped, or it failed.
    bool LastRunCompleted() const { return m_bLastRunCompleted; }

    // The picture file Save writes to: the one opened or last saved as; empty for a
    // document that has none yet (new, or opened from a ".ft" file).
    const std::string& PictureFile() const { return m_strPictureFile; }

    // The document's file state. The path name is the file opened or last saved as;
    // the title is its file name.
    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& path, bool addToRecent = true);
    const std::string& GetTitle() const { return m_strTitle; }
    void SetTitle(const std::string& title) { m_strTitle = title; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    // Views register to be told when the document changed; the id removes them again.
    using ViewListener = std::function<void(CZelvanDoc&)>;
    int AddViewListener(ViewListener listener);
    void RemoveViewListener(int id);
    void UpdateAllViews();

    // The document's data, in the order the system lays it out.
    CSize m_sizeDoc{1, 1};
    int32_t m_nRowBytes = 0;
    int32_t m_nRows = 0;
    bool m_bColorUndo = false;
    ColorSettings m_colorPrevious;
    ColorSettings m_colorCurrent;
    int32_t m_nQueueFormat = 0;  // 0 Jpg, 1 Bmp
    std::string m_strFourierPath;
    std::string m_strBasePath;
    std::string m_szExtension = ".jpg";
    FourierSettings m_settings;
    std::array<FourierSettings, kQueueEntries> m_queue;
    std::string m_strGoodFile;
    std::string m_strBlurredFile;
    std::string m_strCompareFile;
    // The text the last "Ratio Frequency" showed; empty when it failed.
    std::string m_strRatioText;
    BlurSettings m_blur;
    // The restoration the Restore dialog last ended with, and what 'R' last did.
    CRestoreRequest m_restore;
    CRestoreOutcome m_restoreOutcome;
    CFourier m_fourier;
    DibHandle m_hDIB;
    DibHandle m_hOriginal;
    CMemoryBlock m_hSpectrum;
    CMemoryBlock m_hRealPicture;
    CMemoryBlock m_hFlags;
    int64_t m_nBufferBytes = 0;
    int32_t m_nDocNumber = 0;
    bool m_bAskDeleteFourierFile = false;
    int32_t m_nColors = 0;
    int32_t m_nBitCount = 24;

private:
    void FreeWorkBuffers();
    // Converts m_hDIB to 24 bits; false (picture freed) when it cannot.
    bool ConvertTo24Bits();
    // Makes the spectrum buffer hold the untouched spectrum, reading it from source when
    // the buffer holds something else. False when it cannot.
    bool UntouchedSpectrumInBuffer(const std::string& source);
    int WriteSpectrumFile(const std::string& source);
    // Writes the spectrum buffer to the path; a failure says why. 1/0.
    int WriteSpectrum(const std::string& target);
    bool OpenFourierFile(const std::string& path);
    bool OpenStampFile(const std::string& path);
    // A grey picture of the size named after the file (a ".ft" or ".stp", which is no
    // picture file), prepared; `ready` when the work buffers could be had too. False, with
    // the message, when the picture could not be made.
    bool StartGreyPicture(const std::string& path, CSize size, bool& ready);
    // Whether the machine has the memory for the work on a picture of that working size
    // (picture, original, spectrum, real picture, flags, the FFT's buffer); says so when not.
    static bool HasMemoryForWork(CSize size);

    std::string m_strPathName;
    std::string m_strTitle;
    std::string m_strPictureFile;
    bool m_bModified = false;
    std::vector<std::pair<int, ViewListener>> m_listeners;
    int m_nextListenerId = 1;
    // The spectrum buffer holds exactly the spectrum kept in the ".ft" file: right after a
    // forward transform or a read of the file, before anything modified it.
    bool m_bSpectrumKept = false;
    bool m_bLastRunCompleted = false;
    // The picture being prepared keeps its size whatever the engine choice: a spectrum's
    // picture, which the FFT engine takes when the projection cannot.
    bool m_bWholeSize = false;
};
