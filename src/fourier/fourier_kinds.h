#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "fourier/complex.h"
#include "fourier/fourier.h"
#include "fourier/fourier_settings.h"

// The Fourier operation kinds 0 to 12 (FourierSettings::m_nKind) as one table: what the
// dialogs show, what the command line calls them, where each keeps its parameter and its
// elapsed time, and the function that applies it to a spectrum. Everything that differs
// from kind to kind is read from here.

// The dialog in which a kind is chosen.
enum class FourierKindDialog {
    kOperations,  // "Fourier Operations": kinds 0 to 6
    kNumber,      // "Dialog Number": kinds 7 to 12, choice = kind - 7
};

struct CFourierKindRow;

// The exponent of "(De) Amplification" lies within -this to this, so that the amplified
// spectrum and the picture made from it stay finite.
inline constexpr double kMaxAmplifyExponent = 10.0;

// Applies a kind to a centred spectrum (three planes); scratch holds one plane.
using FourierKindApply = void (*)(const CFourierKindRow& row, const CFourier& engine,
                                  Complex* spectrum, Complex* scratch,
                                  const FourierSettings& settings);

struct CFourierKindRow {
    int32_t kind = 0;
    const char* caption = "";  // as the dialogs show it
    const char* cliName = "";  // the command line's name, lower case
    FourierKindDialog dialog = FourierKindDialog::kOperations;
    // The parameter its edit holds; null for a kind without an edit.
    double FourierSettings::*parameter = nullptr;
    // The parameter of a distribution without an edit.
    double fixedParameter = 0.0;
    // The range an edited parameter must lie in.
    double low = 0.0;
    double high = 0.0;
    // The Time Elapsed text shown in the kind's row of Fourier Operations; null for the
    // kinds of Dialog Number.
    std::string FourierSettings::*timeText = nullptr;
    int radioId = 0;                                // the radio button in its dialog
    int editId = 0;                                 // the parameter edit; 0 when none
    int timeId = 0;                                 // the Time Elapsed static; 0 when none
    bool usesXY = false;                            // Dialog Number's X and Y are edited and used
    CFourier::Distribution distribution = nullptr;  // the distributions' magnitude law
    int32_t scaleMode = 0;  // CFourier::ScaleFrequencies mode of the scaling kinds
    // Null for "Fourier", which only transforms.
    FourierKindApply apply = nullptr;
};

// Every kind, in the order of their numbers.
std::span<const CFourierKindRow> FourierKindRows();

// The row of a kind; null outside 0..12.
const CFourierKindRow* FindFourierKind(int32_t kind);

// A kind by number ("0" to "12") or by its command-line name, without regard to case.
std::optional<int32_t> FourierKindByName(const std::string& text);

// "0 fourier, 1 1/r, ..., 12 triple": the numbers and names the command line takes.
std::string FourierKindNameList();

// The kind of the settings applied to the spectrum; nothing for "Fourier" or a kind
// outside 0..12. True when the kind modifies the spectrum.
bool ApplyFourierKind(const CFourier& engine, Complex* spectrum, Complex* scratch,
                      const FourierSettings& settings);

// Takes what the Fourier Operations dialog chose: the kind and every kind's parameter.
void TakeFourierOperationsChoice(FourierSettings& settings, const FourierSettings& shown);
