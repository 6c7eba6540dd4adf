#pragma once

#include "fourier/fourier.h"

// Puts the process-wide engine settings a test changes back to their defaults.
struct CEngineSettings {
    CEngineSettings() = default;
    CEngineSettings(const CEngineSettings&) = delete;
    CEngineSettings& operator=(const CEngineSettings&) = delete;
    ~CEngineSettings() {
        CFourier::SetEngine(FourierEngine::Projection);
        CFourier::SetThreadCount(0);
    }
};
