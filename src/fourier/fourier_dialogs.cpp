#include "fourier/fourier_dialogs.h"

#include <cmath>

#include "fourier/fourier_kinds.h"
#include "platform/user_interface.h"

namespace {

// The message shown when a number edit holds a value outside its range.
std::string RangeMessage(double low, double high) {
    return Format("Please enter a number between %.15g and %.15g.", low, high);
}

// A number edit holds a finite number within its range: NaN and infinities are refused
// whatever the range.
bool InRange(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

// The row of a kind chosen in the dialog; null for any other kind.
const CFourierKindRow* DialogKind(int32_t kind, FourierKindDialog dialog) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->dialog == dialog ? row : nullptr;
}

int32_t& NumberChoice() {
    static int32_t choice = 0;
    return choice;
}

}  // namespace

int FourierOpsEnabledEdit(int32_t kind) {
    const CFourierKindRow* row = DialogKind(kind, FourierKindDialog::kOperations);
    return row ? row->editId : 0;
}

const char* FourierOpsPresentText(bool present) {
    return present ? "Present" : "Not Present";
}

const std::string& FourierOpsTimeText(const FourierSettings& settings, int32_t kind) {
    static const std::string none;
    const CFourierKindRow* row = DialogKind(kind, FourierKindDialog::kOperations);
    return row && row->timeText ? settings.*row->timeText : none;
}

std::string ValidateFourierOperations(const FourierSettings& settings) {
    if (!DialogKind(settings.m_nKind, FourierKindDialog::kOperations))
        return Format("Please choose one of the operations (0 to %i).", kLastFourierOpsKind);
    for (const CFourierKindRow& row : FourierKindRows()) {
        if (!row.parameter || row.dialog != FourierKindDialog::kOperations) continue;
        const double value = settings.*row.parameter;
        if (!InRange(value, row.low, row.high)) return RangeMessage(row.low, row.high);
    }
    return {};
}

const char* NumberChoiceCaption(int32_t choice) {
    if (choice < 0 || choice > kLastNumberChoice) return "";
    return FourierKindCaption(choice + kKindOneFrequency);
}

bool NumberEditsEnabled(int32_t choice) {
    const CFourierKindRow* row = DialogKind(choice + kKindOneFrequency, FourierKindDialog::kNumber);
    return row && row->usesXY;
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
