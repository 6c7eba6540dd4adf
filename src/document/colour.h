#pragma once

#include <cstdint>

#include "document/doc_settings.h"
#include "fourier/fourier.h"
#include "image/dib.h"

class CZelvanDoc;

// The 1/255 of the gamma curve, as the double it has always been.
inline constexpr double kOneOver255 = 0.00392156862745098;

// The gamma curve at value v: 50 leaves v unchanged; otherwise with f = ((100 - G) / G)^2,
// v / (v / 255 * (1 - f) + f), which keeps 0 and 255 fixed, darkens below 50 and brightens
// above it. Gamma 0 and 100 give the curve's limits: at 0 every v but 255 becomes 0 (255
// stays), at 100 every v but 0 becomes 255 (0 stays), never a NaN or an infinity.
double GammaCurve(double v, int32_t gamma);

// Recomputes channel c (0 blue, 1 green, 2 red) of the picture from the blend of the Result
// samples (share percent) and the Original bytes, bent by the gamma curve, stretched by gain
// around the engine's measured mean of that channel and moved by offset:
//   out = ByteFromReal((curve(m * result + (1 - m) * original) - mean) * gain + mean + offset)
// with m = share / 100. The three blocks have the engine's layout (W x H, its row stride);
// only the channel's bytes are written, row padding is not touched. Rows run on every core;
// the result does not depend on the thread count.
void ColourAdjust(const CFourier& fourier, const uint8_t* original, const double* result,
                  uint8_t* picture, int32_t share, double offset, double gain, int32_t gamma,
                  int32_t channel);

// The offset and gain of a channel from the settings: (average + light) * 2.55 and
// variation * contrast * 0.0001, the products taken in 64 bits so that no value overflows.
double ColourOffset(const ColorSettings& settings, int32_t channel);
double ColourGain(const ColorSettings& settings, int32_t channel);

// All three channels of the picture from the settings, blue first.
void ColourAdjustPicture(const CFourier& fourier, const uint8_t* original, const double* result,
                         uint8_t* picture, const ColorSettings& settings);

// The colour operation of a document: the picture from its Original and Result samples with
// the values of m_colorCurrent. Shows "m_hOriginal ==NULL" without an Original and
// "pDIB or pOriginal = NULL" when either picture's pixels cannot be had; then the picture
// stays as it was. 1/0.
int ColourOperation(const CFourier& fourier, const DibHandle& original, const double* result,
                    uint8_t* picture, const ColorSettings& settings);

// What the colour dialog does to a document: it remembers the values in force and the undo
// values when it opens, applies every change at once, and OK or Cancel ends it.
class CColourSession {
public:
    explicit CColourSession(CZelvanDoc& doc);

    // The values in force when the session began.
    const ColorSettings& Opened() const { return m_opened; }
    // True once Apply ran.
    bool Applied() const { return m_bApplied; }

    // Copies the values into the document's m_colorCurrent and recomputes the picture when
    // any of them differs from what was there. True when the picture was recomputed.
    bool Apply(const ColorSettings& values);
    // OK: the values in force at opening become the undo values, the given ones stay.
    void Ok(const ColorSettings& values);
    // Cancel: the values in force at opening and the undo values come back, and so does the
    // picture when anything was applied.
    void Cancel();

private:
    CZelvanDoc& m_doc;
    ColorSettings m_opened;
    ColorSettings m_previous;
    bool m_bApplied = false;
};

// "Set Original": the default values (averages 0, variations 100, light 0, contrast 100,
// gamma 50, Result share 100).
inline ColorSettings OriginalColorSettings() {
    return ColorSettings{};
}

// Undo Color: the values before the last OK come back, with their picture. One level only;
// 0 (nothing done) when no undo is available.
int UndoColour(CZelvanDoc& doc);
