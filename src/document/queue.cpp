#include "document/queue.h"

#include <algorithm>
#include <set>
#include <utility>

#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier_kinds.h"
#include "platform/user_interface.h"

// ---------------------------------------------------------------------------------------
// Rules of the suffixes

CZelvanDoc* LocatedDocument(const CActiveDocument& found) {
    if (!found.mainWindow) {
        ShowMessage(kNoMainWindow);
        return nullptr;
    }
    if (!found.childWindow) {
        ShowMessage(kNoChildWindow);
        return nullptr;
    }
    if (!found.view) {
        ShowMessage(kNoViewWindow);
        return nullptr;
    }
    if (!found.document) {
        ShowMessage(kNoDocument);
        return nullptr;
    }
    return found.document;
}

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

int32_t SuffixCharacters(const std::string& suffix) {
    int32_t count = 0;
    for (const char c : suffix)
        if (!IsContinuationByte(c)) ++count;
    return count;
}

std::string LimitSuffix(const std::string& text) {
    int32_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsContinuationByte(text[i])) continue;
        if (count == kQueueSuffixMaxChars) return text.substr(0, i);
        ++count;
    }
    return text;
}

bool SameSuffixIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

QueueNewCheck CheckNewSuffix(const std::vector<std::string>& listed, const std::string& suffix) {
    if (listed.size() >= static_cast<size_t>(kQueueEntries)) return QueueNewCheck::Full;
    if (suffix.empty()) return QueueNewCheck::Empty;
    if (SuffixCharacters(suffix) > kQueueSuffixMaxChars) return QueueNewCheck::TooLong;
    if (suffix.find('/') != std::string::npos) return QueueNewCheck::Separator;
    for (const std::string& item : listed)
        if (SameSuffixIgnoringCase(item, suffix)) return QueueNewCheck::NotUnique;
    return QueueNewCheck::Accept;
}

std::string QueueNewMessage(QueueNewCheck check) {
    switch (check) {
        case QueueNewCheck::Full:
            return kQueueFull;
        case QueueNewCheck::NotUnique:
            return kQueueNotUnique;
        case QueueNewCheck::Separator:
            return "Sorry, a name suffix cannot hold a '/'.";
        case QueueNewCheck::TooLong:
            return Format("Sorry, a name suffix has at most %i characters.", kQueueSuffixMaxChars);
        default:
            return {};
    }
}

// ---------------------------------------------------------------------------------------
// The dialog

CFourierQueueDlgModel::CFourierQueueDlgModel(DocumentLocator locator)
    : m_locator(std::move(locator)) {}

void CFourierQueueDlgModel::OnInitDialog() {
    UpdateData(false);
    if (CZelvanDoc* doc = LocatedDocument(m_locator ? m_locator() : CActiveDocument{})) {
        for (const FourierSettings& slot : doc->m_queue) {
            if (slot.m_strSpare.empty()) break;
            m_listItems.push_back(slot.m_strSpare);
        }
    }
    RefreshStates();
}

void CFourierQueueDlgModel::RefreshStates() {
    const bool selected = m_nSelection >= 0 && m_nSelection < static_cast<int>(m_listItems.size());
    m_bDeleteEnabled = selected;
    m_bModifyEnabled = selected;
    m_bNewEnabled = m_listItems.size() <= 9 && !m_editText.empty();
}

void CFourierQueueDlgModel::UpdateData(bool save) {
    if (save) {
        m_strNewSuffix = LimitSuffix(m_editText);
        m_nFormat = m_nRadio;
    } else {
        m_editText = LimitSuffix(m_strNewSuffix);
        m_nRadio = m_nFormat;
    }
    RefreshStates();
}

void CFourierQueueDlgModel::TypeSuffix(const std::string& text) {
    m_editText = LimitSuffix(text);
    OnSuffixUpdate();
}

void CFourierQueueDlgModel::OnSuffixUpdate() {
    m_bNewEnabled = m_listItems.size() <= 9 && !m_editText.empty();
    m_nDefaultButton = kIdQueueNew;
}

void CFourierQueueDlgModel::OnNew() {
    UpdateData(true);
    const QueueNewCheck check = CheckNewSuffix(m_listItems, m_strNewSuffix);
    if (check == QueueNewCheck::Accept) {
        if (QueueAction(m_strNewSuffix, kQueueNew) == 0) {
            m_listItems.push_back(m_strNewSuffix);
            m_strNewSuffix.clear();
        }
    } else if (check != QueueNewCheck::Empty) {
        ShowMessage(QueueNewMessage(check));
    }
    m_nDefaultButton = kIdQueueOk;
    UpdateData(false);
}

void CFourierQueueDlgModel::OnDelete() {
    if (m_nSelection < 0 || m_nSelection >= static_cast<int>(m_listItems.size())) return;
    const size_t index = static_cast<size_t>(m_nSelection);
    QueueAction(m_listItems[index], kQueueDelete);
    m_listItems.erase(m_listItems.begin() + static_cast<std::ptrdiff_t>(index));
    m_nSelection = -1;
    RefreshStates();
}

void CFourierQueueDlgModel::OnModify() {
    if (m_nSelection < 0 || m_nSelection >= static_cast<int>(m_listItems.size())) return;
    QueueAction(m_listItems[static_cast<size_t>(m_nSelection)], kQueueModify);
}

void CFourierQueueDlgModel::OnSelChange(int index) {
    m_nSelection = index >= 0 && index < static_cast<int>(m_listItems.size()) ? index : -1;
    UpdateData(true);
}

bool CFourierQueueDlgModel::OnExecute() {
    UpdateData(true);
    if (m_listItems.size() < 3 || Ui().AskYesNo(kQueueLengthyQuestion, false)) return true;
    UpdateData(false);
    return false;
}

void CFourierQueueDlgModel::OnHelp() {
    ShowMessage(kQueueHelpMessage);
}

bool CFourierQueueDlgModel::EditEntry(FourierSettings& settings) {
    if (m_editor) return m_editor(settings);
    FourierSettings shown = settings;
    if (!Ui().FourierOperations(shown)) return false;
    // As the Fourier run takes the dialog's choice: the kind and the parameters.
    TakeFourierOperationsChoice(settings, shown);
    return true;
}

int CFourierQueueDlgModel::QueueAction(const std::string& suffix, int action) {
    CZelvanDoc* doc = LocatedDocument(m_locator ? m_locator() : CActiveDocument{});
    if (!doc) return -1;
    auto& queue = doc->m_queue;
    const auto found = std::find_if(queue.begin(), queue.end(), [&](const FourierSettings& s) {
        return s.m_strSpare == suffix;
    });
    const bool exists = !suffix.empty() && found != queue.end();
    switch (action) {
        case kQueueDelete:
            if (!exists) return -1;
            found->m_strSpare.clear();
            break;
        case kQueueNew: {
            if (exists || suffix.empty() || suffix.find('/') != std::string::npos) return -1;
            const auto slot =
                std::find_if(queue.begin(), queue.end(),
                             [](const FourierSettings& s) { return s.m_strSpare.empty(); });
            if (slot == queue.end()) return -1;
            FourierSettings edited = *slot;
            if (!EditEntry(edited)) return -1;
            *slot = edited;
            slot->m_strSpare = suffix;
            break;
        }
        case kQueueModify: {
            if (!exists) return -1;
            FourierSettings edited = *found;
            if (EditEntry(edited)) {
                edited.m_strSpare = suffix;
                *found = edited;
            }
            break;
        }
        default:
            return -1;
    }
    doc->m_nQueueFormat = m_nFormat;
    return 0;
}

void OnFourierQueue(CZelvanDoc& doc, CFourierQueueDlgModel& dialog,
                    const std::function<int(CFourierQueueDlgModel&)>& doModal) {
    dialog.m_nFormat =
        SameSuffixIgnoringCase(doc.m_szExtension, ".bmp") ? kQueueFormatBmp : kQueueFormatJpg;
    if (doModal(dialog) == kQueueExecuteResult) ExecuteQueue(doc, doc.m_nQueueFormat);
}

// ---------------------------------------------------------------------------------------
// Running

std::string QueueResultPath(const CZelvanDoc& doc, const std::string& suffix) {
    return doc.m_strBasePath + suffix + doc.m_szExtension;
}

void SortQueue(CZelvanDoc& doc) {
    std::stable_sort(doc.m_queue.begin(), doc.m_queue.end(),
                     [](const FourierSettings& a, const FourierSettings& b) {
                         if (a.m_strSpare.empty() || b.m_strSpare.empty())
                             return !a.m_strSpare.empty() && b.m_strSpare.empty();
                         // std::string compares its bytes as unsigned, as strcmp does.
                         return a.m_strSpare < b.m_strSpare;
                     });
}

int ExecuteQueue(CZelvanDoc& doc, int32_t format, CQueueOutcome* outcome) {
    CQueueOutcome local;
    CQueueOutcome& result = outcome ? *outcome : local;
    SortQueue(doc);
    bool keep = doc.m_settings.m_bPresent;
    doc.SetExtension(format == kQueueFormatBmp ? kFileBmp : kFileJpg);
    for (const FourierSettings& entry : doc.m_queue) {
        if (entry.m_strSpare.empty()) continue;
        doc.UpdateAllViews();
        CWaitCursor wait;
        doc.m_settings = entry;
        doc.m_settings.m_bPresent = keep;
        doc.RunOperation(2);
        if (doc.m_settings.m_bPresent) keep = true;
        const std::string path = QueueResultPath(doc, entry.m_strSpare);
        // A run that did not complete leaves the picture of the entry before: writing it
        // under this entry's name would pass it off as this entry's result.
        if (doc.LastRunCompleted() && doc.WritePictureFile(path) == 1)
            result.written.push_back(path);
        else
            result.failed.push_back(entry.m_strSpare);
    }
    doc.UpdateAllViews();
    if (result.failed.empty()) return 1;
    std::string list;
    for (const std::string& suffix : result.failed) list += (list.empty() ? "" : ", ") + suffix;
    ShowMessage(Format("The queue of %s was run; these entries failed and wrote nothing: %s",
                       doc.m_strBasePath.c_str(), list.c_str()),
                MessageIcon::Exclamation);
    return 0;
}

void ExecuteAllQueues(CDocumentWindows& windows) {
    std::set<int32_t> documentsRun;
    std::set<const void*> windowsSeen;
    bool first = true;
    int32_t firstNumber = 0;
    for (;;) {
        const CActiveDocument found = windows.Active();
        CZelvanDoc* doc = LocatedDocument(found);
        if (!doc) return;
        if (first) {
            first = false;
            firstNumber = doc->m_nDocNumber;
        } else if (found.window ? windowsSeen.count(found.window) != 0
                                : doc->m_nDocNumber == firstNumber) {
            return;  // every window has been visited
        }
        if (found.window) windowsSeen.insert(found.window);
        // A document shown in several windows runs its queue once.
        if (documentsRun.insert(doc->m_nDocNumber).second) ExecuteQueue(*doc, doc->m_nQueueFormat);
        windows.ActivateNext();
    }
}
