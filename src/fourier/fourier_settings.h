#pragma once

#include <cstdint>
#include <string>

// Operation kinds of a Fourier run (FourierSettings::m_nKind).
enum FourierKind : int32_t {
    kKindFourier = 0,
    kKindR1 = 1,
    kKindR2 = 2,
    kKindR3 = 3,
    kKindE = 4,
    kKindConstant = 5,
    kKindAmplify = 6,
    kKindOneFrequency = 7,
    kKindHalfFrequency = 8,
    kKindDoubleFrequency = 9,
    kKindShiftPicture = 10,
    kKindThirdFrequency = 11,
    kKindTripleFrequency = 12,
};
inline constexpr int32_t kLastFourierKind = kKindTripleFrequency;

// The chosen Fourier operation with its parameters and the elapsed-time texts of the last
// runs. One lives in each document, ten more in its queue; copies are member by member.
struct FourierSettings {
    std::string m_strTimeConstant;  // last "Constant Distribution" run
    std::string m_strTimeR1;        // last "1/R Distribution" run
    std::string m_strTimeR2;        // last "1/R²  Distribution" run
    std::string m_strTimeR3;        // last "1/R³  Distribution" run
    std::string m_strTimeE;         // last "1/e  Distribution" run
    std::string m_strSource;        // last forward transform, or "File Source"
    std::string m_strTimeAmplify;   // last "(De) Amplification" run and ".ft" display
    std::string m_strSpare;         // a queue entry's name suffix
    double m_dParamR1 = 2.0;
    double m_dParamR2 = 2.0;
    double m_dParamR3 = 2.0;
    double m_dParamE = 2.0;
    double m_dParamAmplify = 1.0;
    int32_t m_nKind = kKindFourier;
    int32_t m_nFreqX = 0;  // X of "One Frequency" and "Shift Picture"; kept by Reset
    int32_t m_nFreqY = 0;
    bool m_bPresent = false;  // a spectrum was computed or read and its ".ft" file exists

    // Empties the texts and restores the parameters, the kind and the flag; the frequency
    // X and Y are kept.
    void Reset();
};

// What differs from kind to kind, read from the table of kinds (fourier_kinds.h).

// The caption of an operation kind as the dialogs show it ("1/R²  Distribution" ...);
// empty for a kind outside 0..12.
const char* FourierKindCaption(int32_t kind);

// The parameter a distribution kind (1 to 6) runs with: its own member, or 1.0 for
// "Constant Distribution"; 0 for the other kinds.
double FourierKindParameter(const FourierSettings& settings, int32_t kind);

// The member that holds the parameter of kinds 1, 2, 3, 4 and 6; null for the others.
double* FourierKindParameterMember(FourierSettings& settings, int32_t kind);

// The elapsed-time text that kinds 1 to 6 keep; null for the others.
std::string* FourierKindTimeText(FourierSettings& settings, int32_t kind);
