#include "document/zelvan_doc.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "document/paths.h"
#include "fourier/size_fit.h"
#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "image/picture_file.h"
#include "platform/file_open.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"
#include "stamp/rubber_stamp.h"

namespace {

int32_t& DocumentCounter() {
    static int32_t counter = 0;
    return counter;
}

std::string& CommandLine() {
    static std::string commandLine;
    return commandLine;
}

// Moves a file to a new name: a rename, or a copy and a removal where a rename cannot
// cross file systems. False when the file did not get there.
bool MoveFile(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::rename(from, to, error);
    if (!error) return true;
    if (!fs::is_regular_file(from, error)) return false;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, error)) return false;
    fs::remove(from, error);
    return true;
}

}  // namespace

BlurSettings& LastBlurSettings() {
    static BlurSettings settings;
    return settings;
}

void SetApplicationCommandLine(const std::string& commandLine) {
    CommandLine() = commandLine;
}

const std::string& ApplicationCommandLine() {
    return CommandLine();
}

int32_t NextDocumentNumber() {
    return DocumentCounter();
}

CZelvanDoc::CZelvanDoc() {
    m_colorPrevious = m_colorCurrent;
    m_settings.Reset();
    m_queue.fill(m_settings);
    m_blur = LastBlurSettings();
    m_nDocNumber = DocumentCounter()++;
    SetExtension(kFileJpg);
}

CZelvanDoc::~CZelvanDoc() {
    m_hDIB.Free();
    FreeWorkBuffers();
    m_hOriginal.Free();
    // Only a file that is there is worth the question (after Save As without the rename
    // the path names one that never was).
    std::error_code error;
    if (m_bAskDeleteFourierFile && std::filesystem::exists(m_strFourierPath, error) &&
        Ui().AskYesNo(Format("Delete CFourier Transform file:\n%s ?", m_strFourierPath.c_str()),
                      false))
        std::filesystem::remove(m_strFourierPath, error);
}

void CZelvanDoc::SetExtension(int kind) {
    m_szExtension = kind == kFileJpg ? ".jpg" : kind == kFilePng ? ".png" : ".bmp";
}

void CZelvanDoc::ShowNumbers(const std::string& text, int32_t first, int32_t second) {
    ShowMessage(text + Format("  %i  %i", first, second), MessageIcon::Exclamation);
}

void CZelvanDoc::SetPathName(const std::string& path, bool addToRecent) {
    m_strPathName = path;
    const size_t slash = path.rfind('/');
    m_strTitle = slash == std::string::npos ? path : path.substr(slash + 1);
    if (addToRecent) Ui().AddToRecentFiles(path);
}

int CZelvanDoc::AddViewListener(ViewListener listener) {
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void CZelvanDoc::RemoveViewListener(int id) {
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void CZelvanDoc::UpdateAllViews() {
    // A copy: a view may remove itself while it is told.
    const auto listeners = m_listeners;
    for (const auto& entry : listeners) entry.second(*this);
}

// ---------------------------------------------------------------------------------------
// Opening

bool CZelvanDoc::OnOpenDocument(const std::string& path) {
    const int kind = FileKind(path);
    if (kind == kFileFourier) return OpenFourierFile(path);
    if (kind == kFileStamp) return OpenStampFile(path);
    const PictureKind picture = PictureKindOf(path);
    if (picture == PictureKind::Unknown) {
        ShowMessage(path + " is not a file this program opens (.bmp, .jpg, .png, .ft or .stp).");
        return false;
    }

    // Read beside the picture in hand, so a file that cannot be read leaves it alone.
    DibHandle read;
    CSize size;
    if (ReadPictureFile(picture, path, read, size) != 1) return false;
    m_hDIB = std::move(read);
    m_sizeDoc = size;
    m_szExtension = PictureKindExtension(picture);
    PreparePicture(true);
    m_strBasePath = BaseName(path);
    SetPathName(path, true);
    m_strPictureFile = path;
    m_strFourierPath = m_strBasePath + ".ft";
    m_settings.Reset();
    // The kept spectrum counts only when it is this picture's: one of another picture (the
    // picture was replaced, or p.bmp and p.jpg share p.ft), cut short or older than the
    // picture is computed again by the next run.
    if (!m_hDIB.IsNull()) {
        const CFourier::PicturePrint print = m_fourier.PrintOf(PicturePixels(m_hDIB.Data(), 0));
        if (m_fourier.MatchFourierFile(m_strFourierPath, print, path) ==
            CFourier::FileMatch::Matches) {
            m_fourier.SetSpectrumPrint(print, true);
            m_settings.m_bPresent = true;
            m_settings.m_strSource = "File Source";
        }
    }
    SetModifiedFlag(false);
    return true;
}

bool CZelvanDoc::StartGreyPicture(const std::string& path, CSize size, bool& ready) {
    DibHandle grey;
    if (NewGreyPicture(size.cx, size.cy, grey) != 1) {
        ShowMessage("No mem allocated");
        return false;
    }
    m_strBasePath = BaseName(path);
    SetPathName(path, true);
    // A spectrum or a stamp is no picture file: the first Save asks where the picture goes.
    m_strPictureFile.clear();
    m_strFourierPath = m_strBasePath + ".ft";
    m_hDIB = std::move(grey);
    m_settings.Reset();
    m_sizeDoc = size;
    PreparePicture(true);
    ready = AllocateWorkBuffers(size.cx, size.cy) == 1;
    return true;
}

bool CZelvanDoc::OpenStampFile(const std::string& path) {
    // A stamp becomes a grey picture of the stamp's size that shows the stamp; the stamp is
    // the document's Blurred file, so the stamp tools work on it at once.
    CSize size;
    {
        RubberStamp stamp;
        if (ReadRubberStampFreeSize(path, stamp) != 1) return false;
        size = CSize{stamp.width, stamp.height};
    }
    bool ready = false;
    if (!StartGreyPicture(path, size, ready)) return false;
    if (ready) {
        m_settings.m_bPresent = false;
        m_settings.m_strSource.clear();
        m_strBlurredFile = m_strBasePath;
        RunOperation('W');
    }
    SetModifiedFlag(false);
    return true;
}

bool CZelvanDoc::OpenFourierFile(const std::string& path) {
    CSize size;
    if (CFourier::ReadFourierPictureSize(path, size) != 1) return false;
    bool ready = false;
    m_bWholeSize = true;
    const bool started = StartGreyPicture(path, size, ready);
    m_bWholeSize = false;
    if (!started) return false;
    if (ready) {
        m_settings.m_bPresent = true;
        m_settings.m_strSource = "File Source";
        {
            CWaitCursor wait;
            RunOperation(1);
        }
        m_hOriginal = CopyHandle(m_hDIB);
        if (m_hOriginal.IsNull()) {
            ShowMessage("Copy handle original failed");
            return false;
        }
    }
    SetModifiedFlag(false);
    return true;
}

// ---------------------------------------------------------------------------------------
// Preparing a picture

bool CZelvanDoc::ConvertTo24Bits() {
    if (::ConvertTo24Bits(m_hDIB) != 1) return false;
    m_nColors = 0;
    m_nBitCount = 24;
    return true;
}

void CZelvanDoc::PreparePicture(bool keepOriginal) {
    if (m_hDIB.IsNull()) return;
    if (!IsWholePicture(m_hDIB)) {
        m_hDIB.Free();
        return;
    }
    {
        const PictureDescription d = DescribePicture(m_hDIB.Data());
        m_sizeDoc = d.size;
        m_nColors = d.colors;
        m_nBitCount = d.bitCount;
        m_nRows = d.size.cy;
        m_nRowBytes = RowBytes(d.size.cx * 24);
    }
    if (m_nBitCount != 24 && !ConvertTo24Bits()) return;

    CSize chosen;
    int32_t length = 0;
    if (!ChooseWorkingSize(m_sizeDoc.cx, m_sizeDoc.cy, m_bWholeSize, chosen, length) ||
        !HasMemoryForWork(chosen)) {
        m_hDIB.Free();
        return;
    }
    {
        CWaitCursor wait;
        // A picture kept whole needs no cut, only the plain 24-bit layout the engine reads.
        const bool cut = !(chosen == m_sizeDoc);
        if (cut ? CutPicture(m_hDIB, chosen.cx, chosen.cy) != 1 : ::ConvertTo24Bits(m_hDIB) != 1) {
            ShowMessage("No mem allocated");
            m_hDIB.Free();
            return;
        }
        m_sizeDoc = chosen;
        m_nRowBytes = RowBytes(chosen.cx * 24);
        m_nRows = chosen.cy;
        if (!m_fourier.SetUp(chosen.cx, chosen.cy, m_nRowBytes, m_nRows, length)) {
            m_hDIB.Free();
            return;
        }
        m_fourier.MeasurePicture(PicturePixels(m_hDIB.Data(), 0));
        if (keepOriginal) {
            m_hOriginal = CopyHandle(m_hDIB);
            if (m_hOriginal.IsNull()) ShowMessage("Copy handle original failed");
        }
        m_settings.m_bPresent = false;
        m_bSpectrumKept = false;
    }
    RunOperation('Q');
}

bool CZelvanDoc::HasMemoryForWork(CSize size) {
    const uint64_t w = static_cast<uint64_t>(size.cx), h = static_cast<uint64_t>(size.cy);
    const uint64_t pictureBytes = static_cast<uint64_t>(RowBytes64(int64_t{size.cx} * 24)) * h;
    const uint64_t bytes = 2 * pictureBytes         // the picture and its original
                           + 48 * w * h             // the spectrum
                           + 8 * pictureBytes       // the real picture
                           + w * h                  // the flags
                           + 16 * (w / 2 + 1) * h;  // the FFT engine's buffer
    return HasMemoryFor(Format("The work on a %i x %i picture", size.cx, size.cy), bytes);
}

// ---------------------------------------------------------------------------------------
// Work buffers

void CZelvanDoc::FreeWorkBuffers() {
    m_hSpectrum.Free();
    m_hRealPicture.Free();
    m_hFlags.Free();
    m_nBufferBytes = 0;
    m_bSpectrumKept = false;
}

int CZelvanDoc::AllocateWorkBuffers(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    const int64_t spectrumBytes = int64_t{width} * height * 48;
    const int64_t realBytes = RowBytes64(int64_t{width} * 24) * height * 8;
    const int64_t flagBytes = int64_t{width} * height;
    // The real picture's rows are padded: the same area with another width may need more
    // than the buffers in hand hold, so every buffer is checked, not only the spectrum.
    if (m_nBufferBytes >= spectrumBytes && !m_hSpectrum.IsNull() &&
        static_cast<int64_t>(m_hRealPicture.Size()) >= realBytes &&
        static_cast<int64_t>(m_hFlags.Size()) >= flagBytes)
        return 1;
    FreeWorkBuffers();
    // Refused before anything is taken when the machine cannot hold them.
    const std::string shortfall =
        MemoryShortfall(static_cast<uint64_t>(spectrumBytes + realBytes + flagBytes));
    if (!shortfall.empty()) {
        ShowMessage(WithReason("Could not allocate memory for CFourier", shortfall));
        return 0;
    }
    m_hSpectrum = CMemoryBlock::Allocate(static_cast<size_t>(spectrumBytes));
    if (m_hSpectrum.IsNull()) {
        ShowMessage("Could not allocate memory for CFourier");
        FreeWorkBuffers();
        return 0;
    }
    m_hRealPicture = CMemoryBlock::Allocate(static_cast<size_t>(realBytes));
    if (m_hRealPicture.IsNull()) {
        ShowMessage("Could not allocate memory for Double Pict ");
        FreeWorkBuffers();
        return 0;
    }
    m_hFlags = CMemoryBlock::Allocate(static_cast<size_t>(flagBytes));
    if (m_hFlags.IsNull()) {
        ShowMessage("Could not allocate memory for Boolean");
        FreeWorkBuffers();
        return 0;
    }
    m_nBufferBytes = spectrumBytes;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Writing and saving

bool CZelvanDoc::UntouchedSpectrumInBuffer(const std::string& source) {
    if (m_hSpectrum.IsNull()) return false;
    if (m_bSpectrumKept) return true;
    if (m_fourier.SpectrumPrintKnown() &&
        m_fourier.MatchFourierFile(source, m_fourier.SpectrumPrint(), {}) !=
            CFourier::FileMatch::Matches) {
        SetLastFileError(source + ": the spectrum kept there belongs to another picture");
        return false;
    }
    if (m_fourier.ReadFourierFile(source, m_hSpectrum.As<Complex>()) != 1) return false;
    m_bSpectrumKept = true;
    return true;
}

int CZelvanDoc::WriteSpectrum(const std::string& target) {
    if (m_fourier.WriteFourierFile(target, m_hSpectrum.As<Complex>()) == 1) return 1;
    ShowMessage(WithReason("Write CFourier error: " + target, LastFileError()),
                MessageIcon::Exclamation);
    return 0;
}

int CZelvanDoc::WriteSpectrumFile(const std::string& source) {
    if (m_hSpectrum.IsNull() || m_nBufferBytes < int64_t{m_fourier.PlaneSize()} * 48) {
        ShowMessage("Internal error\nFt data could not be allocated.");
        return 0;
    }
    // The ".ft" file keeps the spectrum every modification starts from; after a
    // modification the buffer holds the modified one, which must not take its place.
    if (!m_settings.m_bPresent) {
        ShowMessage("No CFourier analysis present yet.");
        return 0;
    }
    if (!UntouchedSpectrumInBuffer(source)) {
        ShowMessage(WithReason("Read CFourier error", LastFileError()));
        return 0;
    }
    return WriteSpectrum(m_strFourierPath);
}

int CZelvanDoc::WritePictureFile(const std::string& path) {
    if (FileKind(path) == kFileFourier) return WriteSpectrumFile(m_strFourierPath);
    // Pictures by their extension; anything else is refused with a message.
    return ::WritePictureFile(path, m_hDIB);
}

int CZelvanDoc::DoSave(const std::string& path, bool replace) {
    const int result = WritePictureFile(path);
    if (result == 0) return 0;

    const int kind = FileKind(path);
    if (kind == kFileFourier)
        SetExtension(kind);
    else
        m_szExtension = PictureKindExtension(PictureKindOf(path));
    const std::string oldFourierPath = m_strFourierPath;
    m_strBasePath = BaseName(path);
    SetPathName(path, false);
    m_strPictureFile = kind == kFileFourier ? std::string() : path;
    m_strFourierPath = m_strBasePath + ".ft";
    if (replace && m_settings.m_bPresent) {
        if (Ui().AskYesNo("Rename the CFourier transform file too?", true)) {
            if (!MoveFile(oldFourierPath, m_strFourierPath) && m_settings.m_bPresent &&
                WriteSpectrumFile(oldFourierPath) != 1) {
                // No spectrum file under the new name: the next run transforms afresh.
                m_settings.m_bPresent = false;
                m_settings.m_strSource.assign(1, ' ');
            }
        } else {
            m_settings.m_bPresent = false;
            m_settings.m_strSource.assign(1, ' ');
        }
    }
    const std::string folder = FolderOf(path);
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::current_path(folder, error);
    }
    SetModifiedFlag(false);
    return result;
}

// ---------------------------------------------------------------------------------------
// Commands

void CZelvanDoc::OnFileOpen() {
    CFileDialogRequest request;
    request.open = true;
    request.defaultExtension = m_szExtension;
    request.initialName = "*.bmp";
    request.filter = kOpenFilter;
    const std::optional<std::string> path = Ui().FileDialog(request);
    if (!path) return;
    OnOpenDocument(*path);
    UpdateAllViews();
}

int CZelvanDoc::OnFileSave() {
    // A document without a picture file of its own has nowhere to go but through Save As.
    if (m_strPictureFile.empty()) return OnFileSaveAs();
    if (WritePictureFile(m_strPictureFile) != 1) return 0;
    SetModifiedFlag(false);
    return 1;
}

bool CZelvanDoc::SaveModified(SaveAnswer answer) {
    switch (answer) {
        case SaveAnswer::Yes:
            return OnFileSave() == 1;
        case SaveAnswer::No:
            return true;
        case SaveAnswer::Cancel:
            break;
    }
    return false;
}

int CZelvanDoc::OnFileSaveAs() {
    CFileDialogRequest request;
    request.open = false;
    request.defaultExtension = m_szExtension;
    request.initialName = "*.bmp";
    request.filter = kSaveAsFilter;
    request.overwritePrompt = true;
    const std::optional<std::string> path = Ui().FileDialog(request);
    if (!path) return 0;
    const int result = DoSave(*path, true);
    UpdateAllViews();
    return result;
}

int CZelvanDoc::OnSaveFourierTransform() {
    if (!m_settings.m_bPresent) {
        ShowMessage("No CFourier analysis present yet.");
        return 0;
    }
    if (m_hSpectrum.IsNull()) {
        ShowMessage("Internal error\nfT data could not be allocated.");
        return 0;
    }
    CFileDialogRequest request;
    request.open = false;
    request.defaultExtension = ".ft";
    request.initialName = m_strFourierPath;
    request.filter = kFourierFilter;
    request.overwritePrompt = true;
    const std::optional<std::string> path = Ui().FileDialog(request);
    if (!path) return 0;
    // The spectrum to save is the untouched one, read from the file in hand when a
    // modification has changed the buffer since.
    if (!UntouchedSpectrumInBuffer(m_strFourierPath)) {
        ShowMessage("Read CFourier error");
        return 0;
    }
    // The names change only once the file is there. The picture keeps its own file: the
    // spectrum's name is no picture's.
    const std::string base = BaseName(*path);
    if (WriteSpectrum(base + ".ft") != 1) return 0;
    m_strBasePath = base;
    m_strFourierPath = base + ".ft";
    m_bAskDeleteFourierFile = true;
    return 1;
}
