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

void CScriptedUi::Clear() {
    m_events.clear();
    m_offeredSizes.clear();
    m_progressReports = 0;
}
