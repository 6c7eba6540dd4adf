#pragma once

#include <cstdint>

#include "fourier/fourier_run.h"

class CZelvanDoc;

// What an operation of the driver works on: the picture, spectrum, real picture and flag
// blocks with the engine and the Fourier settings (as a Fourier run sees them), and the
// document for the names and values of its own that the operation reads (the original,
// the example and compare files, the colour). An operation that changes the picture sets
// `modified`; one that leaves the spectrum buffer holding the kept spectrum sets
// `spectrumKept`.
struct COperationContext : CFourierWork {
    CZelvanDoc& doc;
};

// An operation: true when it did its work.
using OperationFunction = bool (*)(COperationContext& context);

// One code of the driver. Adding a code is one row here and its function.
struct COperationRow {
    int32_t code = 0;  // 0, 1, 2 or an upper-case letter
    // The operation leaves the spectrum buffer alone: what it is known to hold stays known.
    bool keepsSpectrum = false;
    // LastRunCompleted() tells whether this code did its work (false from the start, so a
    // run that cannot even start has not completed either).
    bool reportsCompletion = false;
    OperationFunction run = nullptr;
};

// The row of a code (letters without regard to case); null for a code no operation has.
const COperationRow* FindOperation(int32_t code);
