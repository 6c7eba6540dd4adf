#include "stamp/stamp_dialogs.h"

#include "platform/user_interface.h"

const char* BlurKindCaption(int32_t kind) {
    const CBlurPathRow* row = FindBlurPath(kind);
    return row ? row->caption : "";
}

int32_t ZelvantoOperationCode(int result) {
    switch (result) {
        case kIdOk:
            return 'D';
        case kZelvantoMakeStamp:
            return 'S';
        case kZelvantoUseStamp:
            return 'U';
        case kZelvantoShowStamp:
            return 'W';
        default:
            return 0;
    }
}

CStampCutData& StampCutValues() {
    static CStampCutData values;
    return values;
}
