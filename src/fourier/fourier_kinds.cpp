#include "fourier/fourier_kinds.h"

#include <cctype>

namespace {

double ParameterOf(const CFourierKindRow& row, const FourierSettings& settings) {
    return row.parameter ? settings.*row.parameter : row.fixedParameter;
}

void ApplyDistribution(const CFourierKindRow& row, const CFourier& engine, Complex* spectrum,
                       Complex* /*scratch*/, const FourierSettings& settings) {
    engine.ApplyDistribution(spectrum, ParameterOf(row, settings), row.distribution);
}

void ApplyOneFrequency(const CFourierKindRow& /*row*/, const CFourier& engine, Complex* spectrum,
                       Complex* /*scratch*/, const FourierSettings& settings) {
    engine.SetOneFrequency(spectrum, settings.m_nFreqX, settings.m_nFreqY);
}

void ApplyScale(const CFourierKindRow& row, const CFourier& engine, Complex* spectrum,
                Complex* scratch, const FourierSettings& /*settings*/) {
    engine.ScaleFrequencies(spectrum, scratch, row.scaleMode);
}

// The picture moves by (X, Y): each frequency turns by the opposite shift.
void ApplyShift(const CFourierKindRow& /*row*/, const CFourier& engine, Complex* spectrum,
                Complex* /*scratch*/, const FourierSettings& settings) {
    engine.ShiftPicture(spectrum, -settings.m_nFreqX, -settings.m_nFreqY);
}

using S = FourierSettings;
using D = FourierKindDialog;

constexpr CFourierKindRow kKinds[] = {
    {.kind = kKindFourier,
     .caption = "Fourier",
     .cliName = "fourier",
     .timeText = &S::m_strSource,
     .radioId = 109,
     .timeId = 113},
    {.kind = kKindR1,
     .caption = "1/R Distribution",
     .cliName = "1/r",
     .parameter = &S::m_dParamR1,
     .low = 0.0,
     .high = 1000.0,
     .timeText = &S::m_strTimeR1,
     .radioId = 110,
     .editId = 117,
     .timeId = 114,
     .distribution = &CFourier::DistributionR1,
     .apply = &ApplyDistribution},
    {.kind = kKindR2,
     .caption = "1/R²  Distribution",
     .cliName = "1/r2",
     .parameter = &S::m_dParamR2,
     .low = 0.0,
     .high = 1000.0,
     .timeText = &S::m_strTimeR2,
     .radioId = 111,
     .editId = 118,
     .timeId = 115,
     .distribution = &CFourier::DistributionR2,
     .apply = &ApplyDistribution},
    {.kind = kKindR3,
     .caption = "1/R³  Distribution",
     .cliName = "1/r3",
     .parameter = &S::m_dParamR3,
     .low = 0.0,
     .high = 1000.0,
     .timeText = &S::m_strTimeR3,
     .radioId = 112,
     .editId = 121,
     .timeId = 122,
     .distribution = &CFourier::DistributionR3,
     .apply = &ApplyDistribution},
    {.kind = kKindE,
     .caption = "1/e  Distribution",
     .cliName = "1/e",
     .parameter = &S::m_dParamE,
     .low = 0.01,
     .high = 1e8,
     .timeText = &S::m_strTimeE,
     .radioId = 123,
     .editId = 124,
     .timeId = 125,
     .distribution = &CFourier::DistributionE,
     .apply = &ApplyDistribution},
    {.kind = kKindConstant,
     .caption = "Constant Distribution",
     .cliName = "constant",
     .fixedParameter = 1.0,
     .timeText = &S::m_strTimeConstant,
     .radioId = 120,
     .timeId = 116,
     .distribution = &CFourier::DistributionConstant,
     .apply = &ApplyDistribution},
    {.kind = kKindAmplify,
     .caption = "(De) Amplification",
     .cliName = "amplify",
     .parameter = &S::m_dParamAmplify,
     // Every magnitude the spectrum keeps (1e-10 to 255) raised to the exponent, and the
     // sum of their squares that renormalises them, stay finite within this range.
     .low = -kMaxAmplifyExponent,
     .high = kMaxAmplifyExponent,
     .timeText = &S::m_strTimeAmplify,
     .radioId = 126,
     .editId = 127,
     .timeId = 128,
     .distribution = &CFourier::DistributionAmplify,
     .apply = &ApplyDistribution},
    {.kind = kKindOneFrequency,
     .caption = "One Frequency",
     .cliName = "one",
     .dialog = D::kNumber,
     .radioId = 109,
     .usesXY = true,
     .apply = &ApplyOneFrequency},
    {.kind = kKindHalfFrequency,
     .caption = "Half Frequency",
     .cliName = "half",
     .dialog = D::kNumber,
     .radioId = 110,
     .scaleMode = 0,
     .apply = &ApplyScale},
    {.kind = kKindDoubleFrequency,
     .caption = "Double Frequency",
     .cliName = "double",
     .dialog = D::kNumber,
     .radioId = 111,
     .scaleMode = 1,
     .apply = &ApplyScale},
    {.kind = kKindShiftPicture,
     .caption = "Shift Picture",
     .cliName = "shift",
     .dialog = D::kNumber,
     .radioId = 112,
     .usesXY = true,
     .apply = &ApplyShift},
    {.kind = kKindThirdFrequency,
     .caption = "Third of Frequency",
     .cliName = "third",
     .dialog = D::kNumber,
     .radioId = 113,
     .scaleMode = 2,
     .apply = &ApplyScale},
    {.kind = kKindTripleFrequency,
     .caption = "Triple Frequency",
     .cliName = "triple",
     .dialog = D::kNumber,
     .radioId = 114,
     .scaleMode = 3,
     .apply = &ApplyScale},
};

// The table is indexed by kind.
constexpr bool RowsInKindOrder() {
    int32_t expected = 0;
    for (const CFourierKindRow& row : kKinds)
        if (row.kind != expected++) return false;
    return expected == kLastFourierKind + 1;
}
static_assert(RowsInKindOrder());

}  // namespace

std::span<const CFourierKindRow> FourierKindRows() {
    return kKinds;
}

const CFourierKindRow* FindFourierKind(int32_t kind) {
    if (kind < 0 || kind > kLastFourierKind) return nullptr;
    return &kKinds[kind];
}

std::optional<int32_t> FourierKindByName(const std::string& text) {
    std::string lower;
    for (const char c : text)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const CFourierKindRow& row : kKinds)
        if (lower == row.cliName || lower == std::to_string(row.kind)) return row.kind;
    return std::nullopt;
}

std::string FourierKindNameList() {
    std::string list;
    for (const CFourierKindRow& row : kKinds)
        list += (list.empty() ? "" : ", ") + std::to_string(row.kind) + " " + row.cliName;
    return list;
}

const char* FourierKindCaption(int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row ? row->caption : "";
}

double FourierKindParameter(const FourierSettings& settings, int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->distribution ? ParameterOf(*row, settings) : 0.0;
}

double* FourierKindParameterMember(FourierSettings& settings, int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->parameter ? &(settings.*row->parameter) : nullptr;
}

std::string* FourierKindTimeText(FourierSettings& settings, int32_t kind) {
    const CFourierKindRow* row = FindFourierKind(kind);
    return row && row->apply && row->timeText ? &(settings.*row->timeText) : nullptr;
}

bool ApplyFourierKind(const CFourier& engine, Complex* spectrum, Complex* scratch,
                      const FourierSettings& settings) {
    const CFourierKindRow* row = FindFourierKind(settings.m_nKind);
    if (!row || !row->apply) return false;
    row->apply(*row, engine, spectrum, scratch, settings);
    return true;
}

void TakeFourierOperationsChoice(FourierSettings& settings, const FourierSettings& shown) {
    settings.m_nKind = shown.m_nKind;
    for (const CFourierKindRow& row : kKinds)
        if (row.parameter) settings.*row.parameter = shown.*row.parameter;
}
