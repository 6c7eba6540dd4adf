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
#include "platform/user_interface.h"

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
    m_szExtension = kind == kFileJpg ? ".jpg" : ".bmp";
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

bool CZelvanDoc::OnOpenDocument(const std::string& requested) {
    std::string path = requested;
    int kind = FileKind(path);
    if (kind < 1) {
        path = ApplicationCommandLine();
        kind = FileKind(path);
        if (kind < 1) return false;
    }

    if (kind == kFileBmp || kind == kFileJpg) {
        // Read beside the picture in hand, so a file that cannot be read leaves it alone.
        DibHandle read;
        CSize size;
        const int done =
            kind == kFileBmp ? ReadBmpFile(path, read, size) : ReadJpegFile(path, read, size);
        if (done != 1) return false;
        m_hDIB = std::move(read);
        m_sizeDoc = size;
        SetExtension(kind);
        PreparePicture(true);
        m_strBasePath = BaseName(path);
        SetPathName(m_strBasePath + m_szExtension, true);
        m_strFourierPath = m_strBasePath + ".ft";
        m_settings.Reset();
        CSize half;
        if (m_fourier.ReadFourierFileSize(m_strFourierPath, half) == 1 &&
            2 * int64_t{half.cx} == m_sizeDoc.cx && 2 * int64_t{half.cy} == m_sizeDoc.cy) {
            m_settings.m_bPresent = true;
            m_settings.m_strSource = "File Source";
        }
    } else if (kind == kFileFourier) {
        CSize size;
        if (CFourier::ReadFourierPictureSize(path, size) != 1) return false;
        DibHandle grey;
        if (NewGreyPicture(size.cx, size.cy, grey) != 1) {
            ShowMessage("No mem allocated");
            return false;
        }
        m_strBasePath = BaseName(path);
        SetPathName(m_strBasePath + m_szExtension, true);
        m_strFourierPath = m_strBasePath + ".ft";
        m_hDIB = std::move(grey);
        m_settings.Reset();
        m_sizeDoc = size;
        PreparePicture(true);
        if (AllocateWorkBuffers(size.cx, size.cy) == 1) {
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
    } else {
        // Stamp files (".stp") open with the stamp tools.
        return false;
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
    const int32_t length = FitSize(m_sizeDoc.cx, m_sizeDoc.cy, chosen);
    if (length == 0) {
        m_hDIB.Free();
        return;
    }
    {
        CWaitCursor wait;
        if (CutPicture(m_hDIB, chosen.cx, chosen.cy) != 1) {
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
    if (spectrumBytes > INT32_MAX) {
        ShowMessage("Could not allocate memory for CFourier");
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
    m_nBufferBytes = static_cast<int32_t>(spectrumBytes);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Writing and saving

bool CZelvanDoc::UntouchedSpectrumInBuffer(const std::string& source) {
    if (m_hSpectrum.IsNull()) return false;
    if (m_bSpectrumKept) return true;
    if (m_fourier.ReadFourierFile(source, m_hSpectrum.As<Complex>()) != 1) return false;
    m_bSpectrumKept = true;
    return true;
}

int CZelvanDoc::WriteSpectrumFile(const std::string& source) {
    if (m_hSpectrum.IsNull() || m_nBufferBytes < m_fourier.PlaneSize() * 48) {
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
        ShowMessage("Read CFourier error");
        return 0;
    }
    return m_fourier.WriteFourierFile(m_strFourierPath, m_hSpectrum.As<Complex>());
}

int CZelvanDoc::WritePictureFile(const std::string& path) {
    switch (FileKind(path)) {
        case kFileBmp:
            return WriteBmpFile(path, m_hDIB, 0);
        case kFileJpg:
            return WriteJpegFile(path, m_hDIB, kJpegQuality);
        case kFileFourier:
            return WriteSpectrumFile(m_strFourierPath);
        default:
            return 0;
    }
}

int CZelvanDoc::DoSave(const std::string& path, bool replace) {
    SetExtension(FileKind(path));
    const int result = WritePictureFile(path);
    if (result == 0) return 0;

    const std::string oldFourierPath = m_strFourierPath;
    m_strBasePath = BaseName(path);
    SetTitle(m_strBasePath);
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

void CZelvanDoc::OnFileSave() {
    // A document that was never named has nowhere to go but through Save As.
    if (m_strBasePath.empty()) {
        OnFileSaveAs();
        return;
    }
    WritePictureFile(m_strBasePath + m_szExtension);
}

void CZelvanDoc::OnFileSaveAs() {
    CFileDialogRequest request;
    request.open = false;
    request.defaultExtension = m_szExtension;
    request.initialName = "*.bmp";
    request.filter = kSaveAsFilter;
    request.overwritePrompt = true;
    const std::optional<std::string> path = Ui().FileDialog(request);
    if (!path) return;
    DoSave(*path, true);
    UpdateAllViews();
}

void CZelvanDoc::OnSaveFourierTransform() {
    if (!m_settings.m_bPresent) {
        ShowMessage("No CFourier analysis present yet.");
        return;
    }
    if (m_hSpectrum.IsNull()) {
        ShowMessage("Internal error\nfT data could not be allocated.");
        return;
    }
    CFileDialogRequest request;
    request.open = false;
    request.defaultExtension = ".ft";
    request.initialName = m_strFourierPath;
    request.filter = kFourierFilter;
    request.overwritePrompt = true;
    const std::optional<std::string> path = Ui().FileDialog(request);
    if (!path) return;
    // The spectrum to save is the untouched one, read from the file in hand when a
    // modification has changed the buffer since.
    const std::string source = m_strFourierPath;
    if (!UntouchedSpectrumInBuffer(source)) {
        ShowMessage("Read CFourier error");
        return;
    }
    m_strBasePath = BaseName(*path);
    SetPathName(m_strBasePath + m_szExtension, true);
    m_strFourierPath = m_strBasePath + ".ft";
    m_bAskDeleteFourierFile = true;
    m_fourier.WriteFourierFile(m_strFourierPath, m_hSpectrum.As<Complex>());
}
