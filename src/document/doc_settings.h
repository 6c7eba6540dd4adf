#pragma once

#include <cstdint>

// The colour adjustment values a document keeps: per channel (blue, green, red) an average
// offset and a variation in percent, then light, contrast, gamma and the share of the
// Result in the blend with the Original.
struct ColorSettings {
    int32_t m_nBlueAverage = 0;
    int32_t m_nBlueVariation = 100;
    int32_t m_nGreenAverage = 0;
    int32_t m_nGreenVariation = 100;
    int32_t m_nRedAverage = 0;
    int32_t m_nRedVariation = 100;
    int32_t m_nLight = 0;
    int32_t m_nContrast = 100;
    int32_t m_nGamma = 50;
    int32_t m_nResultShare = 100;

    friend bool operator==(const ColorSettings&, const ColorSettings&) = default;
};

// The blur a document simulates: kind 0..4 ("Blur Horizontal" ... "Blur 5"), the number of
// steps along the path, the attenuation from step to step and whether samples outside the
// picture are dropped.
struct BlurSettings {
    int32_t m_nBlurKind = 0;
    int32_t m_nBlurSteps = 10;
    double m_dBlurAttenuation = 0.6;
    bool m_bBlurWithinSize = false;

    friend bool operator==(const BlurSettings&, const BlurSettings&) = default;
};

// The blur settings last used by any document; a new document starts with them.
BlurSettings& LastBlurSettings();
