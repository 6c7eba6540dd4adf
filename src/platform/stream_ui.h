#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/user_interface.h"

// A port with nobody to answer: messages go to a stream (stderr), questions are answered
// from a preset answer or, without one, by the default button; the size choice takes a
// preset size when it is in the list, else the best size, and says which it took. File
// dialogs return a preset path once, else they are cancelled. The modal dialogs keep the
// port's defaults (cancelled). No list of recent files is kept. Before anything is
// installed, one writing to stderr is the installed port.
class CStreamUi : public CUserInterface {
public:
    explicit CStreamUi(std::FILE* out = stderr) : m_out(out) {}

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    std::optional<std::string> FileDialog(const CFileDialogRequest& request) override;
    void AddToRecentFiles(const std::string& /*path*/) override {}
    bool ReportProgress(double fraction) override;

    void SetFileDialogPath(std::optional<std::string> path) { m_filePath = path; }
    void SetAnswer(std::optional<bool> answer) { m_answer = answer; }
    void SetPreferredSize(std::optional<CSize> size) { m_size = size; }
    void SetShowProgress(bool show) { m_showProgress = show; }

    // The preferred size was asked for and was not among the offered sizes.
    bool PreferredSizeRefused() const { return m_sizeRefused; }

    // Message boxes shown so far.
    int MessageCount() const { return m_messageCount; }

protected:
    std::FILE* Out() const { return m_out; }

private:
    std::FILE* m_out;
    std::optional<bool> m_answer;
    std::optional<std::string> m_filePath;
    std::optional<CSize> m_size;
    bool m_sizeRefused = false;
    bool m_showProgress = false;
    int m_lastPercent = -1;
    int m_messageCount = 0;
};
