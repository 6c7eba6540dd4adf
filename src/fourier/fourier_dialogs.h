#pragma once

#include <cstdint>
#include <string>

#include "fourier/fourier_settings.h"

// What the two Fourier dialogs show, allow and refuse. The desktop only draws them; the
// ports of the command line and the tests use the same rules.

// ---------------------------------------------------------------------------------------
// "Fourier Operations" (CFourierOpsDlg): the kind 0..6 and the parameters of the kinds.

inline constexpr int kIdFourierOpsDialog = 112;
inline constexpr const char* kFourierOpsTitle = "Fourier Operations";

// The radio buttons, parameter edits and Time Elapsed statics of the kinds are in the
// table of kinds (fourier_kinds.h); the static of "Present"/"Not Present":
inline constexpr int kIdPresent = 119;
inline constexpr int kLastFourierOpsKind = kKindAmplify;

// The parameter edit a kind enables (0 for kinds 0 and 5, which enable none).
int FourierOpsEnabledEdit(int32_t kind);

// "Present" or "Not Present".
const char* FourierOpsPresentText(bool present);

// The elapsed-time text shown in the row of kind 0..6 (m_strSource for kind 0).
const std::string& FourierOpsTimeText(const FourierSettings& settings, int32_t kind);

// Checks the edits in the order the dialog exchanges them (that of the kinds) and
// returns the message of the first one refused, or an empty text when all pass:
// 1/R, 1/R² and 1/R³ take 0 to 1000, 1/e takes 0.01 to 100000000, the exponent of
// (De) Amplification -10 to 10. The kind must be one of the dialog's (0 to 6).
std::string ValidateFourierOperations(const FourierSettings& settings);

// ---------------------------------------------------------------------------------------
// "Dialog Number" (CNumberDlg): one of six frequency operations with X and Y.

inline constexpr int kIdNumberDialog = 126;
inline constexpr const char* kNumberDialogTitle = "Dialog Number";
// The edits X and Y; the radio buttons of the choices are in the table of kinds.
inline constexpr int kIdFreqX = 139;
inline constexpr int kIdFreqY = 140;
inline constexpr int32_t kLastNumberChoice = 5;

struct CNumberData {
    int32_t m_nChoice = 0;  // 0..5: the operation kind minus 7
    int32_t m_nX = 0;
    int32_t m_nY = 0;
    int32_t m_nHalfWidth = 0;  // W/2 and H/2 of the picture, for the range check
    int32_t m_nHalfHeight = 0;
};

// The caption of choice 0..5 ("One Frequency", "Half Frequency" ...).
const char* NumberChoiceCaption(int32_t choice);

// X and Y are editable for "One Frequency" and "Shift Picture" only.
bool NumberEditsEnabled(int32_t choice);

// Empty when -W/2 <= X < W/2 and -H/2 <= Y < H/2 (for every choice), else the message
// "Freq X must be between or equal to %i and %i\nFreq Y must be between or equal to %i
// and %i" with the limits.
std::string ValidateNumberDialog(const CNumberData& data);

// The choice the dialog shows next; remembered for the whole process, 0 at start.
int32_t RememberedNumberChoice();
void RememberNumberChoice(int32_t choice);
