#include "stamp/stamp_dialogs.h"

#include "platform/user_interface.h"

const char* BlurKindCaption(int32_t kind) {
    switch (kind) {
        case 0:
            return "Blur Horizontal";
        case 1:
            return "Blur Vertical";
        case 2:
            return "Blur Right Down";
        case 3:
            return "Blur Random";
        case 4:
            return "Blur 5";
        default:
            return "";
    }
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
