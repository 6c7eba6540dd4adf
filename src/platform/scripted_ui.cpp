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

bool CScriptedUi::BlurDialog(BlurSettings& settings) {
    m_blurShown.push_back(settings);
    BlurSettings edited = settings;
    bool ok = true;  // unscripted: OK with what was shown
    if (!m_blurs.empty()) {
        ok = m_blurs.front()(edited);
        m_blurs.pop_front();
    }
    if (ok) settings = edited;
    m_events.push_back(
        {Kind::BlurDialog, kBlurDialogTitle, MessageIcon::None, ok, ok ? kIdOk : kIdCancel});
    return ok;
}

void CScriptedUi::ScriptBlurDialog(std::optional<BlurSettings> settings) {
    m_blurs.push_back([settings](BlurSettings& s) {
        if (!settings) return false;
        s = *settings;
        return true;
    });
}

int CScriptedUi::ZelvantoDialog(CZelvantoData& data) {
    m_zelvantoShown.push_back(data);
    CZelvantoData edited = data;
    int result = kIdCancel;
    if (!m_zelvantos.empty()) {
        result = m_zelvantos.front()(edited);
        m_zelvantos.pop_front();
    }
    if (result != kIdCancel) data = edited;
    m_events.push_back(
        {Kind::ZelvantoDialog, kZelvantoDialogTitle, MessageIcon::None, result == kIdOk, result});
    return result;
}

void CScriptedUi::ScriptZelvantoDialog(int result, std::optional<std::string> good,
                                       std::optional<std::string> blurred,
                                       std::optional<std::string> compare) {
    m_zelvantos.push_back([=](CZelvantoData& d) {
        if (good) d.m_strGoodFile = *good;
        if (blurred) d.m_strBlurredFile = *blurred;
        if (compare) d.m_strCompareFile = *compare;
        return result;
    });
}

int CScriptedUi::StampCutDialog(CStampCutData& data) {
    m_stampCutShown.push_back(data);
    CStampCutData edited = data;
    int result = kIdCancel;
    if (!m_stampCuts.empty()) {
        result = m_stampCuts.front()(edited);
        m_stampCuts.pop_front();
    }
    if (result != kIdCancel) data = edited;
    m_events.push_back(
        {Kind::StampCutDialog, kStampCutDialogTitle, MessageIcon::None, result == kIdOk, result});
    return result;
}

void CScriptedUi::ScriptTryFraction(double fraction) {
    m_stampCuts.push_back([fraction](CStampCutData& d) {
        d.m_dFraction = fraction;
        return kIdOk;
    });
}

void CScriptedUi::ScriptUseThis(std::optional<CPoint> peak) {
    m_stampCuts.push_back([peak](CStampCutData& d) {
        if (peak) {
            d.m_nPeakX = peak->x;
            d.m_nPeakY = peak->y;
        }
        return IDEndDialogUseThisCut;
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
    m_blurShown.clear();
    m_zelvantoShown.clear();
    m_stampCutShown.clear();
    m_progressReports = 0;
}
