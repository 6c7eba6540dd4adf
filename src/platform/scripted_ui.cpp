#include "platform/scripted_ui.h"

void CScriptedUi::Message(const std::string& text, MessageIcon icon) {
    m_events.push_back({Kind::Message, text, icon, false});
}

bool CScriptedUi::AskYesNo(const std::string& text, bool defaultNo) {
    bool yes = !defaultNo;
    if (!m_answers.empty()) {
        yes = m_answers.front();
        m_answers.pop_front();
    }
    m_events.push_back({Kind::Question, text, MessageIcon::Question, yes});
    return yes;
}

SizeChoice CScriptedUi::ChooseSize(const std::vector<CSize>& sizes) {
    m_offeredSizes.push_back(sizes);
    SizeChoice choice;
    if (!m_sizeChoices.empty()) {
        choice = m_sizeChoices.front();
        m_sizeChoices.pop_front();
    }
    m_events.push_back({Kind::SizeChoice, "", MessageIcon::None, choice.accepted});
    return choice;
}

bool CScriptedUi::FourierOperations(FourierSettings& settings) {
    m_fourierOpsShown.push_back(settings);
    m_events.push_back({Kind::FourierOperations, kFourierOpsTitle, MessageIcon::None, false});
    bool first = true;
    for (;;) {
        FourierSettings edited = settings;
        bool ok = false;
        if (!m_fourierOps.empty()) {
            ok = m_fourierOps.front()(edited);
            m_fourierOps.pop_front();
        } else {
            ok = first;  // unscripted: OK with what was shown; after a refusal: Cancel
        }
        first = false;
        if (!ok) return false;
        const std::string refusal = ValidateFourierOperations(edited);
        if (refusal.empty()) {
            settings = edited;
            m_events.back().answer = true;
            return true;
        }
        Message(refusal, MessageIcon::Exclamation);
    }
}

void CScriptedUi::ScriptFourierOperations(int32_t kind, std::optional<double> param) {
    m_fourierOps.push_back([kind, param](FourierSettings& s) {
        s.m_nKind = kind;
        if (double* member = FourierKindParameterMember(s, kind); member && param) *member = *param;
        return true;
    });
}

bool CScriptedUi::NumberDialog(CNumberData& data) {
    m_numberShown.push_back(data);
    m_events.push_back({Kind::NumberDialog, kNumberDialogTitle, MessageIcon::None, false});
    bool first = true;
    for (;;) {
        CNumberData edited = data;
        bool ok = false;
        if (!m_numbers.empty()) {
            ok = m_numbers.front()(edited);
            m_numbers.pop_front();
        } else {
            ok = first;
        }
        first = false;
        if (!ok) return false;
        const std::string refusal = ValidateNumberDialog(edited);
        if (refusal.empty()) {
            data = edited;
            m_events.back().answer = true;
            return true;
        }
        Message(refusal, MessageIcon::None);
    }
}

void CScriptedUi::ScriptNumberDialog(int32_t choice, int32_t x, int32_t y) {
    m_numbers.push_back([choice, x, y](CNumberData& d) {
        d.m_nChoice = choice;
        d.m_nX = x;
        d.m_nY = y;
        return true;
    });
}

std::optional<std::string> CScriptedUi::FileDialog(const CFileDialogRequest& request) {
    m_fileRequests.push_back(request);
    std::optional<std::string> path;
    if (!m_files.empty()) {
        path = m_files.front();
        m_files.pop_front();
    }
    m_events.push_back({Kind::FileDialog, path.value_or(""), MessageIcon::None, path.has_value()});
    return path;
}

void CScriptedUi::AddToRecentFiles(const std::string& path) {
    m_events.push_back({Kind::RecentFile, path, MessageIcon::None, false});
}

bool CScriptedUi::ReportProgress(double /*fraction*/) {
    ++m_progressReports;
    return m_cancelAt == 0 || m_progressReports < m_cancelAt;
}

std::vector<std::string> CScriptedUi::Messages() const {
    std::vector<std::string> texts;
    for (const Event& e : m_events)
        if (e.kind == Kind::Message) texts.push_back(e.text);
    return texts;
}

std::vector<std::string> CScriptedUi::Questions() const {
    std::vector<std::string> texts;
    for (const Event& e : m_events)
        if (e.kind == Kind::Question) texts.push_back(e.text);
    return texts;
}

std::vector<CScriptedUi::Kind> CScriptedUi::EventKinds() const {
    std::vector<Kind> kinds;
    for (const Event& e : m_events) kinds.push_back(e.kind);
    return kinds;
}

void CScriptedUi::Clear() {
    m_events.clear();
    m_offeredSizes.clear();
    m_fourierOpsShown.clear();
    m_numberShown.clear();
    m_fileRequests.clear();
    m_progressReports = 0;
}
