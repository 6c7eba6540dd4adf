#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/user_interface.h"

// A port for tests: records everything the person would see and answers every question
// and dialog from a script. Unscripted questions take the default button; an unscripted
// size choice is OK without a selection.
class CScriptedUi : public CUserInterface {
public:
    enum class Kind { Message, Question, SizeChoice };
    struct Event {
        Kind kind;
        std::string text;
        MessageIcon icon = MessageIcon::None;
        bool answer = false;  // questions: the answer given
    };

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    void BeginWaitCursor() override { ++m_waitDepth; ++m_waitCount; }
    void EndWaitCursor() override { --m_waitDepth; }
    bool ReportProgress(double fraction) override;

    void ScriptAnswer(bool yes) { m_answers.push_back(yes); }
    void ScriptSizeChoice(SizeChoice choice) { m_sizeChoices.push_back(choice); }
    // Cancels long work at the n-th progress report (counting from 1); 0 never cancels.
    void CancelAtProgress(int n) { m_cancelAt = n; }

    const std::vector<Event>& Events() const { return m_events; }
    // The texts of the message boxes only, in order.
    std::vector<std::string> Messages() const;
    const std::vector<std::vector<CSize>>& OfferedSizes() const { return m_offeredSizes; }
    int WaitDepth() const { return m_waitDepth; }
    int WaitCount() const { return m_waitCount; }
    int ProgressReports() const { return m_progressReports; }
    void Clear();

private:
    std::vector<Event> m_events;
    std::deque<bool> m_answers;
    std::deque<SizeChoice> m_sizeChoices;
    std::vector<std::vector<CSize>> m_offeredSizes;
    int m_waitDepth = 0;
    int m_waitCount = 0;
    int m_progressReports = 0;
    int m_cancelAt = 0;
};
