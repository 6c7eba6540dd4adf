#include "fourier/fourier_settings.h"

void FourierSettings::Reset() {
    m_strTimeConstant.clear();
    m_strTimeR1.clear();
    m_strTimeR2.clear();
    m_strTimeR3.clear();
    m_strTimeE.clear();
    m_strSource.clear();
    m_strTimeAmplify.clear();
    m_strSpare.clear();
    m_dParamR1 = 2.0;
    m_dParamR2 = 2.0;
    m_dParamR3 = 2.0;
    m_dParamE = 2.0;
    m_dParamAmplify = 1.0;
    m_nKind = kKindFourier;
    m_bPresent = false;
}

const char* FourierKindCaption(int32_t kind) {
    static const char* const kCaptions[] = {
        "Fourier",           "1/R Distribution",      "1/R²  Distribution", "1/R³  Distribution",
        "1/e  Distribution", "Constant Distribution", "(De) Amplification", "One Frequency",
        "Half Frequency",    "Double Frequency",      "Shift Picture",      "Third of Frequency",
        "Triple Frequency"};
    if (kind < 0 || kind > kLastFourierKind) return "";
    return kCaptions[kind];
}

double* FourierKindParameterMember(FourierSettings& settings, int32_t kind) {
    switch (kind) {
        case kKindR1:
            return &settings.m_dParamR1;
        case kKindR2:
            return &settings.m_dParamR2;
        case kKindR3:
            return &settings.m_dParamR3;
        case kKindE:
            return &settings.m_dParamE;
        case kKindAmplify:
            return &settings.m_dParamAmplify;
        default:
            return nullptr;
    }
}

double FourierKindParameter(const FourierSettings& settings, int32_t kind) {
    switch (kind) {
        case kKindR1:
            return settings.m_dParamR1;
        case kKindR2:
            return settings.m_dParamR2;
        case kKindR3:
            return settings.m_dParamR3;
        case kKindE:
            return settings.m_dParamE;
        case kKindConstant:
            return 1.0;
        case kKindAmplify:
            return settings.m_dParamAmplify;
        default:
            return 0.0;
    }
}

std::string* FourierKindTimeText(FourierSettings& settings, int32_t kind) {
    switch (kind) {
        case kKindR1:
            return &settings.m_strTimeR1;
        case kKindR2:
            return &settings.m_strTimeR2;
        case kKindR3:
            return &settings.m_strTimeR3;
        case kKindE:
            return &settings.m_strTimeE;
        case kKindConstant:
            return &settings.m_strTimeConstant;
        case kKindAmplify:
            return &settings.m_strTimeAmplify;
        default:
            return nullptr;
    }
}
