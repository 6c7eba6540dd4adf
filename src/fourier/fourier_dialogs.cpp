#include "fourier/fourier_dialogs.h"

#include <cmath>

#include "platform/user_interface.h"

namespace {

// The range message of a number edit, the way the dialog framework words it.
std::string RangeMessage(double low, double high) {
    return Format("Please enter a number between %.15g and %.15g.", low, high);
}

// DDV-style check: NaN and infinities never come out of a number edit.
bool InRange(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

int32_t& NumberChoice() {
    static int32_t choice = 0;
    return choice;
}

}  // namespace

int FourierOpsEnabledEdit(int32_t kind) {
    switch (kind) {
        case kKindR1:
            return kIdParamR1;
        case kKindR2:
            return kIdParamR2;
        case kKindR3:
            return kIdParamR3;
        case kKindE:
            return kIdParamE;
        case kKindAmplify:
            return kIdParamAmplify;
        default:
            return 0;
    }
}

const char* FourierOpsPresentText(bool present) {
    return present ? "Present" : "Not Present";
}

const std::string& FourierOpsTimeText(const FourierSettings& settings, int32_t kind) {
    static const std::string none;
    switch (kind) {
        case kKindFourier:
            return settings.m_strSource;
        case kKindR1:
            return settings.m_strTimeR1;
        case kKindR2:
            return settings.m_strTimeR2;
        case kKindR3:
            return settings.m_strTimeR3;
        case kKindE:
            return settings.m_strTimeE;
        case kKindConstant:
            return settings.m_strTimeConstant;
        case kKindAmplify:
            return settings.m_strTimeAmplify;
        default:
            return none;
    }
}

std::string ValidateFourierOperations(const FourierSettings& settings) {
    if (settings.m_nKind < 0 || settings.m_nKind > kLastFourierOpsKind)
        return Format("Please choose one of the operations (0 to %i).", kLastFourierOpsKind);
    if (!InRange(settings.m_dParamR1, 0.0, 1000.0)) return RangeMessage(0.0, 1000.0);
    if (!InRange(settings.m_dParamR2, 0.0, 1000.0)) return RangeMessage(0.0, 1000.0);
    if (!InRange(settings.m_dParamR3, 0.0, 1000.0)) return RangeMessage(0.0, 1000.0);
    if (!InRange(settings.m_dParamE, 0.01, 1e8)) return RangeMessage(0.01, 1e8);
    if (!std::isfinite(settings.m_dParamAmplify)) return "Please enter a number.";
    return {};
}

const char* NumberChoiceCaption(int32_t choice) {
    if (choice < 0 || choice > kLastNumberChoice) return "";
    return FourierKindCaption(choice + kKindOneFrequency);
}

bool NumberEditsEnabled(int32_t choice) {
    return choice == 0 || choice == 3;
}

std::string ValidateNumberDialog(const CNumberData& data) {
    const int32_t hw = data.m_nHalfWidth;
    const int32_t hh = data.m_nHalfHeight;
    if (data.m_nX >= -hw && data.m_nX < hw && data.m_nY >= -hh && data.m_nY < hh) return {};
    return Format(
        "Freq X must be between or equal to %i and %i\n"
        "Freq Y must be between or equal to %i and %i",
        -hw, hw - 1, -hh, hh - 1);
}

int32_t RememberedNumberChoice() {
    return NumberChoice();
}

void RememberNumberChoice(int32_t choice) {
    NumberChoice() = choice;
}
