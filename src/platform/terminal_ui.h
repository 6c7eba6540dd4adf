#pragma once

#include <cstdio>
#include <optional>

#include "platform/user_interface.h"

// The command line's port: messages go to a stream (stderr), questions are answered
// from a preset answer or, without one, by the default button; the size choice takes a
// preset size when it is in the list, else the best size.
class CTerminalUi : public CUserInterface {
public:
    explicit CTerminalUi(std::FILE* out = stderr) : m_out(out) {}

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    bool ReportProgress(double fraction) override;

    void SetAnswer(std::optional<bool> answer) { m_answer = answer; }
    void SetPreferredSize(std::optional<CSize> size) { m_size = size; }
    void SetShowProgress(bool show) { m_showProgress = show; }

    // The preferred size was asked for and was not among the offered sizes.
    bool PreferredSizeRefused() const { return m_sizeRefused; }

    // Message boxes shown so far.
    int MessageCount() const { return m_messageCount; }

private:
    std::FILE* m_out;
    std::optional<bool> m_answer;
    std::optional<CSize> m_size;
    bool m_sizeRefused = false;
    bool m_showProgress = false;
    int m_lastPercent = -1;
    int m_messageCount = 0;
};
