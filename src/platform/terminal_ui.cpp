#include "platform/terminal_ui.h"

#include <algorithm>
#include <cmath>

#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "stamp/stamp_dialogs.h"

void CTerminalUi::Message(const std::string& text, MessageIcon /*icon*/) {
    ++m_messageCount;
    std::fflush(stdout);  // reports on stdout stay in order with the messages
    std::fprintf(m_out, "%s\n", text.c_str());
    std::fflush(m_out);
}

bool CTerminalUi::AskYesNo(const std::string& text, bool defaultNo) {
    const bool yes = m_answer.value_or(!defaultNo);
    std::fflush(stdout);
    std::fprintf(m_out, "%s [%s]\n", text.c_str(), yes ? "Yes" : "No");
    std::fflush(m_out);
    return yes;
}

SizeChoice CTerminalUi::ChooseSize(const std::vector<CSize>& sizes) {
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

bool CTerminalUi::FourierOperations(FourierSettings& settings) {
    FourierSettings edited = settings;
    if (m_fourierOps) {
        edited.m_nKind = m_fourierOps->kind;
        double* member = FourierKindParameterMember(edited, edited.m_nKind);
        if (member && m_fourierOps->param) *member = *m_fourierOps->param;
    }
    const std::string refusal = ValidateFourierOperations(edited);
    if (!refusal.empty()) {
        Message(refusal, MessageIcon::Exclamation);
        ++m_refusedDialogs;
        return false;
    }
    settings = edited;
    return true;
}

bool CTerminalUi::NumberDialog(CNumberData& data) {
    CNumberData edited = data;
    if (m_number) {
        edited.m_nChoice = m_number->choice;
        if (m_number->x) edited.m_nX = *m_number->x;
        if (m_number->y) edited.m_nY = *m_number->y;
    }
    const std::string refusal = ValidateNumberDialog(edited);
    if (!refusal.empty()) {
        Message(refusal, MessageIcon::None);
        ++m_refusedDialogs;
        return false;
    }
    data = edited;
    return true;
}

bool CTerminalUi::BlurDialog(BlurSettings& settings) {
    if (m_blur) settings = *m_blur;
    return true;
}

int CTerminalUi::ZelvantoDialog(CZelvantoData& data) {
    if (!m_zelvanto) return kIdCancel;
    if (m_zelvanto->result == kIdCancel) return kIdCancel;
    if (m_zelvanto->good) data.m_strGoodFile = *m_zelvanto->good;
    if (m_zelvanto->blurred) data.m_strBlurredFile = *m_zelvanto->blurred;
    if (m_zelvanto->compare) data.m_strCompareFile = *m_zelvanto->compare;
    return m_zelvanto->result;
}

int CTerminalUi::StampCutDialog(CStampCutData& data) {
    std::fflush(stdout);
    std::fprintf(m_out, "%s: left %i, right %i, bottom %i, top %i; %s %.6g at %i, %i; ",
                 kStampCutDialogTitle, data.m_nLeft, data.m_nRight, data.m_nBottom, data.m_nTop,
                 kPeakLabel, data.m_dPeak, data.m_nPeakX, data.m_nPeakY);
    int result = IDEndDialogUseThisCut;
    if (m_stampCutPass < m_stampCut.tries.size()) {
        data.m_dFraction = m_stampCut.tries[m_stampCutPass++];
        std::fprintf(m_out, "%s %.6g\n", kTryFractionCaption, data.m_dFraction);
        result = kIdOk;
    } else {
        if (m_stampCut.peak) {
            data.m_nPeakX = m_stampCut.peak->x;
            data.m_nPeakY = m_stampCut.peak->y;
        }
        std::fprintf(m_out, "%s, peak %i, %i\n", kUseThisCaption, data.m_nPeakX, data.m_nPeakY);
        m_stampCutPass = 0;  // the next stamp cut starts with the first fraction again
    }
    std::fflush(m_out);
    return result;
}

std::optional<std::string> CTerminalUi::FileDialog(const CFileDialogRequest& /*request*/) {
    std::optional<std::string> path;
    path.swap(m_filePath);
    return path;
}

bool CTerminalUi::ReportProgress(double fraction) {
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
