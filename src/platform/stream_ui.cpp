#include "platform/stream_ui.h"

#include <algorithm>
#include <cmath>

void CStreamUi::Message(const std::string& text, MessageIcon /*icon*/) {
    ++m_messageCount;
    std::fflush(stdout);  // reports on stdout stay in order with the messages
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);
}

bool CStreamUi::AskYesNo(const std::string& text, bool defaultNo) {
    const bool yes = m_answer.value_or(!defaultNo);
    std::fflush(stdout);
    std::fprintf(m_out, "%s [%s]\n", text.c_str(), yes ? "Yes" : "No");
    std::fflush(m_out);
    return yes;
}

SizeChoice CStreamUi::ChooseSize(const std::vector<CSize>& sizes) {
    // Like the other questions, the choice is told on the stream: the picture does not
    // fit, and which of the offered sizes is taken (without a preset, the largest).
    SizeChoice choice;
    if (m_size) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            if (sizes[i] == *m_size) {
                choice.index = static_cast<int>(i);
                break;
            }
        }
        if (choice.index < 0) m_sizeRefused = true;
    }
    if (!sizes.empty() && !m_sizeRefused) {
        const CSize& taken = sizes[static_cast<size_t>(std::max(choice.index, 0))];
        std::fprintf(m_out, "Sizes to choose from: %zu, largest area first; taking %i x %i\n",
                     sizes.size(), taken.cx, taken.cy);
        std::fflush(m_out);
    }
    return choice;
}

std::optional<std::string> CStreamUi::FileDialog(const CFileDialogRequest& /*request*/) {
    std::optional<std::string> path;
    path.swap(m_filePath);
    return path;
}

bool CStreamUi::ReportProgress(double fraction) {
    if (!m_showProgress) return true;
    const int percent = static_cast<int>(std::floor(fraction * 100.0));
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        std::fprintf(m_out, "\r%3d %%", percent);
        if (percent >= 100) std::fputc('\n', m_out);
        std::fflush(m_out);
    }
    return true;
}
