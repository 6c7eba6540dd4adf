#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fourier/complex.h"
#include "fourier/fourier.h"
#include "fourier/fourier_settings.h"

// The Fourier run of a picture: the picture is transformed once, its untouched spectrum is
// kept in a ".ft" file, and every modification starts from that file. It knows the blocks,
// the engine and the settings it is given, nothing of the document that owns them.

// What a run works on, and what it leaves behind it.
struct CFourierWork {
    CFourier& engine;  // set up for the picture's size
    FourierSettings& settings;
    const std::string& fourierPath;  // where the untouched spectrum is kept
    uint8_t* pixels = nullptr;       // the 24-bit picture rows, changed by a run that completes
    Complex* spectrum = nullptr;
    double* real = nullptr;  // the real picture, realBytes long
    size_t realBytes = 0;
    uint8_t* flags = nullptr;
    // In: what the spectrum buffer is known to hold; out: whether it holds exactly the kept
    // spectrum after the run.
    bool spectrumKept = false;
    // Out: the picture was changed by a modification.
    bool modified = false;
};

// Progress of stage `stage` of a run that has `stages` of them, as one fraction to the port.
CFourier::Progress FourierStageProgress(int stage, int stages);

// Transforms when the kind is "Fourier" or no spectrum is present (keeping it in the file),
// then applies the kind of the settings to the untouched spectrum and transforms back. With
// withDialog the Fourier Operations dialog chooses the kind and parameters first. True when
// it did its work; a cancelled or failed run leaves the picture and the texts as they were.
bool FourierRun(CFourierWork& work, bool withDialog);

// The spectrum of the ".ft" file back into the picture, measuring both. True when it did.
bool ShowFourierFile(CFourierWork& work);
