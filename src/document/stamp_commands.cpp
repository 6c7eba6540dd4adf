// The commands of blur, rubber stamps and restoration: "Blur ...", "Zelvanto Files ..." and
// "Restore ...".
#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "stamp/stamp_dialogs.h"

void CZelvanDoc::OnBlur() {
    // The program has one blur dialog; it shows this document's values and, whatever the
    // answer, keeps what it showed for the next document made.
    BlurSettings& dialog = LastBlurSettings();
    dialog = m_blur;
    if (Ui().BlurDialog(dialog)) {
        m_blur = dialog;
        RunOperation('B');
    }
    UpdateAllViews();
}

void CZelvanDoc::OnZelvantoFiles() {
    CZelvantoData names;
    names.m_strGoodFile = m_strGoodFile;
    names.m_strBlurredFile = m_strBlurredFile;
    names.m_strInputFile = m_strFourierPath;
    const int result = Ui().ZelvantoDialog(names);
    if (result == kIdCancel) return;
    m_strBlurredFile = names.m_strBlurredFile;
    m_strGoodFile = names.m_strGoodFile;
    m_strCompareFile = names.m_strCompareFile;
    if (const int32_t code = ZelvantoOperationCode(result); code != 0) {
        CWaitCursor wait;
        RunOperation(code);
    }
    UpdateAllViews();
}

void CZelvanDoc::OnRestore() {
    if (m_hDIB.IsNull()) {
        ShowMessage("There is no picture to restore.");
        return;
    }
    CRestoreRequest request = m_restore;
    request.kernel.goodPath = m_strGoodFile;
    request.kernel.blurredPath = m_strBlurredFile;
    if (Ui().RestoreDialog(request, m_hDIB)) {
        m_strGoodFile = request.kernel.goodPath;
        m_strBlurredFile = request.kernel.blurredPath;
        m_restore = std::move(request);
        m_restoreOutcome = CRestoreOutcome{};
        {
            CWaitCursor wait;
            RunOperation('R');
        }
        // A learnt kernel serves the one restoration it was learnt for.
        m_restore.learnt = CKernel{};
    }
    UpdateAllViews();
}
