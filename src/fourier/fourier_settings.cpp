#include "fourier/fourier_settings.h"

void FourierSettings::Reset() {
    const int32_t x = m_nFreqX;
    const int32_t y = m_nFreqY;
    *this = FourierSettings{};
    m_nFreqX = x;
    m_nFreqY = y;
}
