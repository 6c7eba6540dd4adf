#include "cli/terminal_ui.h"

#include <cstdio>

#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "stamp/blur.h"
#include "stamp/stamp_dialogs.h"

void CTerminalUi::Message(const std::string& text, MessageIcon icon) {
    if (m_held) {
        m_held->push_back({text, icon});
        return;
    }
    CStreamUi::Message(text, icon);
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
    const BlurSettings edited = m_blur.value_or(settings);
    const std::string refusal =
        CheckBlurValues(edited.m_nBlurKind, edited.m_nBlurSteps, edited.m_dBlurAttenuation);
    if (!refusal.empty()) {
        Message(refusal, MessageIcon::None);
        ++m_refusedDialogs;
        return false;
    }
    settings = edited;
    return true;
}

bool CTerminalUi::RestoreDialog(CRestoreRequest& request, const DibHandle& /*picture*/) {
    CRestoreRequest edited = m_restore.value_or(request);
    if (edited.kernel.source != KernelSource::ExamplePair) {
        edited.kernel.goodPath = request.kernel.goodPath;
        edited.kernel.blurredPath = request.kernel.blurredPath;
    }
    if (ValidateRestoreSettings(edited.settings) != 1) {
        ++m_refusedDialogs;
        return false;
    }
    request = std::move(edited);
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
    std::fprintf(Out(), "%s: left %i, right %i, bottom %i, top %i; %s %.6g at %i, %i; ",
                 kStampCutDialogTitle, data.m_nLeft, data.m_nRight, data.m_nBottom, data.m_nTop,
                 kPeakLabel, data.m_dPeak, data.m_nPeakX, data.m_nPeakY);
    int result = IDEndDialogUseThisCut;
    if (m_stampCutPass < m_stampCut.tries.size()) {
        data.m_dFraction = m_stampCut.tries[m_stampCutPass++];
        std::fprintf(Out(), "%s %.6g\n", kTryFractionCaption, data.m_dFraction);
        result = kIdOk;
    } else {
        if (m_stampCut.peak) {
            data.m_nPeakX = m_stampCut.peak->x;
            data.m_nPeakY = m_stampCut.peak->y;
        }
        std::fprintf(Out(), "%s, peak %i, %i\n", kUseThisCaption, data.m_nPeakX, data.m_nPeakY);
        m_stampCutPass = 0;  // the next stamp cut starts with the first fraction again
    }
    std::fflush(Out());
    return result;
}
