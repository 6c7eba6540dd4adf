// The two measuring commands of a document: Ratio Frequency and Compare Result.
#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "stamp/ratio_compare.h"

int CZelvanDoc::OnRatioFrequency() {
    RunOperation('A');
    return LastRunCompleted() ? 1 : 0;
}

int CZelvanDoc::OnCompareResult() {
    if (m_strCompareFile.empty()) {
        ShowMessage(kCompareNameEmpty);
        return 0;
    }
    RunOperation('-');
    UpdateAllViews();
    return LastRunCompleted() ? 1 : 0;
}
