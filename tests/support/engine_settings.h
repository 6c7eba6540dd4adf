#pragma once

#include "fourier/fourier.h"

// Puts the process-wide engine settings a test changes back to their defaults.
struct CEngineSettings {
    CEngineSettings() = default;
    CEngineSettings(const CEngineSettings&) = delete;
    CEngineSettings& operator=(const CEngineSettings&) = delete;
    ~CEngineSettings() {
        CFourier::SetEngineChoice(EngineChoice::Automatic);
        CFourier::SetThreadCount(0);
    }
};
