#include "support/scripted_ui.h"

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

void CScriptedUi::ScriptFourierOperations(int32_t kind, std::optional<double> param) {
    m_fourierOps.Script([kind, param](FourierSettings& s) {
        s.m_nKind = kind;
        if (double* member = FourierKindParameterMember(s, kind); member && param) *member = *param;
        return true;
    });
}

void CScriptedUi::ScriptNumberDialog(int32_t choice, int32_t x, int32_t y) {
    m_numbers.Script([choice, x, y](CNumberData& d) {
        d.m_nChoice = choice;
        d.m_nX = x;
        d.m_nY = y;
        return true;
    });
}

void CScriptedUi::ScriptBlurDialog(std::optional<BlurSettings> settings) {
    m_blurs.Script([settings](BlurSettings& s) {
        if (!settings) return false;
        s = *settings;
        return true;
    });
}

void CScriptedUi::ScriptZelvantoDialog(int result, std::optional<std::string> good,
                                       std::optional<std::string> blurred,
                                       std::optional<std::string> compare) {
    m_zelvantos.Script([=](CZelvantoData& d) {
        if (good) d.m_strGoodFile = *good;
        if (blurred) d.m_strBlurredFile = *blurred;
        if (compare) d.m_strCompareFile = *compare;
        return result;
    });
}

void CScriptedUi::ScriptTryFraction(double fraction) {
    m_stampCuts.Script([fraction](CStampCutData& d) {
        d.m_dFraction = fraction;
        return kIdOk;
    });
}

void CScriptedUi::ScriptUseThis(std::optional<CPoint> peak) {
    m_stampCuts.Script([peak](CStampCutData& d) {
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
    m_fourierOps.ClearShown();
    m_numbers.ClearShown();
    m_fileRequests.clear();
    m_blurs.ClearShown();
    m_zelvantos.ClearShown();
    m_stampCuts.ClearShown();
    m_progressReports = 0;
}
