#include "document/colour.h"

#include "document/zelvan_doc.h"
#include "fourier/parallel_ranges.h"
#include "platform/user_interface.h"

namespace {

// How the curve is taken for a gamma value: the hot loop is compiled once per kind, so
// the neutral gamma costs no division and the limits need no test per value.
enum class CurveKind { Neutral, Curve, Lowest, Highest };

CurveKind KindOfGamma(int32_t gamma) {
    if (gamma == 50) return CurveKind::Neutral;
    if (gamma == 0) return CurveKind::Lowest;
    if (gamma == 100) return CurveKind::Highest;
    return CurveKind::Curve;
}

// f = e * e with e = (100 - G) / G.
double CurveFactor(int32_t gamma) {
    const double e = (100.0 - gamma) / gamma;
    return e * e;
}

template <CurveKind kKind>
inline double Curve(double v, double f) {
    if constexpr (kKind == CurveKind::Neutral) {
        return v;
    } else if constexpr (kKind == CurveKind::Curve) {
        return v / (v * kOneOver255 * (1 - f) + f);
    } else if constexpr (kKind == CurveKind::Lowest) {
        return v == 255.0 ? 255.0 : 0.0;
    } else {
        return v == 0.0 ? 0.0 : 255.0;
    }
}

template <CurveKind kKind>
void AdjustRows(const CFourier& fourier, const uint8_t* original, const double* result,
                uint8_t* picture, double m, double k, double f, double mean, double offset,
                double gain, int32_t channel) {
    const int32_t width = fourier.Width();
    const ptrdiff_t stride = fourier.RowStride();
    ParallelRanges(fourier.Height(), CFourier::ThreadCount(), width,
                   [&](int32_t begin, int32_t end) {
                       for (int32_t y = begin; y < end; ++y) {
                           const ptrdiff_t row = y * stride + channel;
                           const uint8_t* o = original + row;
                           const double* r = result + row;
                           uint8_t* out = picture + row;
                           for (int32_t x = 0; x < width; ++x) {
                               const ptrdiff_t j = 3 * static_cast<ptrdiff_t>(x);
                               const double v = Curve<kKind>(m * r[j] + k * o[j], f);
                               out[j] = ByteFromReal((v - mean) * gain + mean + offset);
                           }
                       }
                   });
}

struct CChannelParameters {
    double mean = 0.0;
    double offset = 0.0;
    double gain = 1.0;
};

template <CurveKind kKind>
inline uint8_t AdjustValue(double r, uint8_t o, double m, double k, double f,
                           const CChannelParameters& p) {
    const double v = Curve<kKind>(m * r + k * o, f);
    return ByteFromReal((v - p.mean) * p.gain + p.mean + p.offset);
}

template <CurveKind kKind>
void AdjustPixels(const CFourier& fourier, const uint8_t* original, const double* result,
                  uint8_t* picture, double m, double k, double f, const CChannelParameters* p) {
    const int32_t width = fourier.Width();
    const ptrdiff_t stride = fourier.RowStride();
    const CChannelParameters blue = p[0], green = p[1], red = p[2];
    ParallelRanges(fourier.Height(), CFourier::ThreadCount(), 3 * static_cast<int64_t>(width),
                   [&](int32_t begin, int32_t end) {
                       for (int32_t y = begin; y < end; ++y) {
                           const ptrdiff_t row = y * stride;
                           const uint8_t* o = original + row;
                           const double* r = result + row;
                           uint8_t* out = picture + row;
                           for (int32_t x = 0; x < width; ++x, o += 3, r += 3, out += 3) {
                               out[0] = AdjustValue<kKind>(r[0], o[0], m, k, f, blue);
                               out[1] = AdjustValue<kKind>(r[1], o[1], m, k, f, green);
                               out[2] = AdjustValue<kKind>(r[2], o[2], m, k, f, red);
                           }
                       }
                   });
}

}  // namespace

double GammaCurve(double v, int32_t gamma) {
    switch (KindOfGamma(gamma)) {
        case CurveKind::Neutral:
            return Curve<CurveKind::Neutral>(v, 1.0);
        case CurveKind::Lowest:
            return Curve<CurveKind::Lowest>(v, 0.0);
        case CurveKind::Highest:
            return Curve<CurveKind::Highest>(v, 0.0);
        case CurveKind::Curve:
            break;
    }
    return Curve<CurveKind::Curve>(v, CurveFactor(gamma));
}

void ColourAdjust(const CFourier& fourier, const uint8_t* original, const double* result,
                  uint8_t* picture, int32_t share, double offset, double gain, int32_t gamma,
                  int32_t channel) {
    if (fourier.PlaneSize() == 0 || channel < 0 || channel > 2) return;
    const double m = share * 0.01;
    const double k = 1.0 - m;
    const double mean = fourier.Mean(channel);
    switch (KindOfGamma(gamma)) {
        case CurveKind::Neutral:
            AdjustRows<CurveKind::Neutral>(fourier, original, result, picture, m, k, 1.0, mean,
                                           offset, gain, channel);
            break;
        case CurveKind::Lowest:
            AdjustRows<CurveKind::Lowest>(fourier, original, result, picture, m, k, 0.0, mean,
                                          offset, gain, channel);
            break;
        case CurveKind::Highest:
            AdjustRows<CurveKind::Highest>(fourier, original, result, picture, m, k, 0.0, mean,
                                           offset, gain, channel);
            break;
        case CurveKind::Curve:
            AdjustRows<CurveKind::Curve>(fourier, original, result, picture, m, k,
                                         CurveFactor(gamma), mean, offset, gain, channel);
            break;
    }
}

namespace {

int32_t ChannelAverage(const ColorSettings& s, int32_t channel) {
    return channel == 0 ? s.m_nBlueAverage : channel == 1 ? s.m_nGreenAverage : s.m_nRedAverage;
}

int32_t ChannelVariation(const ColorSettings& s, int32_t channel) {
    return channel == 0   ? s.m_nBlueVariation
           : channel == 1 ? s.m_nGreenVariation
                          : s.m_nRedVariation;
}

}  // namespace

double ColourOffset(const ColorSettings& settings, int32_t channel) {
    const int64_t sum = static_cast<int64_t>(ChannelAverage(settings, channel)) + settings.m_nLight;
    return static_cast<double>(sum) * 2.55;
}

double ColourGain(const ColorSettings& settings, int32_t channel) {
    // Both factors are 32-bit, so the product is exact in 64 bits and in a double.
    const int64_t product =
        static_cast<int64_t>(ChannelVariation(settings, channel)) * settings.m_nContrast;
    return static_cast<double>(product) * 0.0001;
}

void ColourAdjustPicture(const CFourier& fourier, const uint8_t* original, const double* result,
                         uint8_t* picture, const ColorSettings& settings) {
    if (fourier.PlaneSize() == 0) return;
    // Every output byte depends only on the inputs at its own position, so the three
    // channels are done in one pass over the rows: the same bytes as three passes, channel
    // 0 first, with a third of the memory traffic.
    CChannelParameters p[3];
    for (int32_t c = 0; c < 3; ++c) {
        p[c].mean = fourier.Mean(c);
        p[c].offset = ColourOffset(settings, c);
        p[c].gain = ColourGain(settings, c);
    }
    const double m = settings.m_nResultShare * 0.01;
    const double k = 1.0 - m;
    const int32_t gamma = settings.m_nGamma;
    switch (KindOfGamma(gamma)) {
        case CurveKind::Neutral:
            AdjustPixels<CurveKind::Neutral>(fourier, original, result, picture, m, k, 1.0, p);
            break;
        case CurveKind::Lowest:
            AdjustPixels<CurveKind::Lowest>(fourier, original, result, picture, m, k, 0.0, p);
            break;
        case CurveKind::Highest:
            AdjustPixels<CurveKind::Highest>(fourier, original, result, picture, m, k, 0.0, p);
            break;
        case CurveKind::Curve:
            AdjustPixels<CurveKind::Curve>(fourier, original, result, picture, m, k,
                                           CurveFactor(gamma), p);
            break;
    }
}

int ColourOperation(const CFourier& fourier, const DibHandle& original, const double* result,
                    uint8_t* picture, const ColorSettings& settings) {
    if (original.IsNull()) {
        ShowMessage("m_hOriginal ==NULL");
        return 0;
    }
    // The Original is read at the picture's byte positions: it must have the engine's layout.
    bool fits = picture != nullptr && result != nullptr && IsWholePicture(original);
    if (fits) {
        const PictureDescription d = DescribePicture(original.Data());
        fits = d.bitCount == 24 && d.pixelOffset == kInfoHeaderBytes &&
               d.size == CSize{fourier.Width(), fourier.Height()} &&
               RowBytes(d.size.cx * 24) == fourier.RowStride();
    }
    if (!fits) {
        ShowMessage("pDIB or pOriginal = NULL");
        return 0;
    }
    ColourAdjustPicture(fourier, PicturePixels(original.Data(), 0), result, picture, settings);
    return 1;
}

CColourSession::CColourSession(CZelvanDoc& doc)
    : m_doc(doc), m_opened(doc.m_colorCurrent), m_previous(doc.m_colorPrevious) {}

bool CColourSession::Apply(const ColorSettings& values) {
    m_bApplied = true;
    const bool changed = !(m_doc.m_colorCurrent == values);
    m_doc.m_colorCurrent = values;
    if (changed) m_doc.RunOperation('X');
    return changed;
}

void CColourSession::Ok(const ColorSettings& values) {
    m_doc.m_colorPrevious = m_opened;
    m_doc.m_bColorUndo = true;
    m_doc.m_colorCurrent = values;
}

void CColourSession::Cancel() {
    m_doc.m_colorCurrent = m_opened;
    m_doc.m_colorPrevious = m_previous;
    if (m_bApplied) m_doc.RunOperation('X');
}

int UndoColour(CZelvanDoc& doc) {
    if (!doc.m_bColorUndo) return 0;
    doc.m_colorCurrent = doc.m_colorPrevious;
    doc.m_bColorUndo = false;
    doc.RunOperation('X');
    return 1;
}
