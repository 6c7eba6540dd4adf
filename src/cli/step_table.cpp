#include <vector>

#include "cli/run.h"
#include "cli/steps.h"

const std::vector<CStepRow>& StepTable() {
    static const std::vector<CStepRow> kSteps = {
        {"fourier",
         "Run one Fourier operation as the desktop does (transform once, keep the untouched "
         "spectrum in the .ft file beside the input, modify, renormalise, transform back) and "
         "print the elapsed times",
         StepInput::Document, true, DefineFourierStep},
        {"ratio",
         "Print, per colour, the smallest over the largest squared magnitude of the "
         "spectrum's frequencies other than (0, 0), read from the .ft file beside the picture "
         "(Ratio Frequency)",
         StepInput::Document, false, DefineRatioStep},
        {"compare",
         "Turn the picture into 127 + 20 x (picture - reference) per byte (Compare Result); "
         "the reference is a .bmp of the picture's size",
         StepInput::Document, true, DefineCompareStep},
        {"colour",
         "Set colour values as the colour dialog's OK does (the old values become the undo), "
         "then recompute the picture from the Result and the Original",
         StepInput::Document, true, DefineColourStep},
        {"set-original",
         "The colour dialog's Set Original, then OK: every colour value back to its default",
         StepInput::Document, true, DefineSetOriginalStep},
        {"undo-colour", "Undo Color: the colour values before the last accepted change",
         StepInput::Document, true, DefineUndoColourStep},
        {"restore-original",
         "The view's '+' key: the untouched Original back into the Result (the command "
         "restore is the Wiener restore)",
         StepInput::Document, true, DefineRestoreOriginalStep},
        {"blur",
         "Blur the picture as Blur ... does: each pixel the weighted mean of the steps along "
         "a path, each step's weight the attenuation times the one before",
         StepInput::Document, true, DefineBlurStep},
        {"deconvolve",
         "Zelvanto Files ... with OK: the picture times Good / Blurred in the frequency "
         "domain, the examples' .ft files made beside them when missing",
         StepInput::Document, true, DefineDeconvolveStep},
        {"make-stamp",
         "Zelvanto Files ... with Make Stamp: the stamp of Good / Blurred written beside the "
         "Blurred picture (its name with .stp); the picture is not changed",
         StepInput::Document, false, DefineMakeStampStep},
        {"use-stamp",
         "Zelvanto Files ... with Use Stamp: the stamp trimmed by each --try as Try Fraction "
         "does, then the picture convolved with it around its peak (Use This)",
         StepInput::Document, true, DefineUseStampStep},
        {"show-stamp",
         "Zelvanto Files ... with Show Stamp: the stamp shown as a grey picture, 0 at mid "
         "grey and the peak white",
         StepInput::Document, true, DefineShowStampStep},
        {"learn-kernel",
         "Learn the blur of an example pair (Blurred = K * Good, least squares over the three "
         "colour planes) on a square support around the origin and write it as a .stp kernel "
         "file. The file holds the blur itself; Make Stamp's stamp holds its inverse",
         StepInput::None, false, DefineLearnKernelStep},
        {"restore",
         "Restore a blurred picture with a kernel: learnt from an example pair, read from a "
         ".stp file, a known blur, or estimated from the picture itself (--estimate; a picture "
         "in which no blur is found is left as it is, exit status 1); by total variation (the "
         "default), Wiener deconvolution or Richardson-Lucy iterations, each set by the noise "
         "measured in the picture, the pixels beyond its borders taken as unknown unless its "
         "blur wraps around them or --no-taper says so. As a command of its own it reads any "
         "picture as it stands (.png too) and writes by kind",
         StepInput::Picture, true, DefineRestoreStep},
        {"estimate-blur",
         "Estimate the picture's blur from the picture alone: a straight motion, a defocus "
         "disc or a Gaussian read from its spectrum (or a camera shake's free-form kernel), "
         "printed with its parameters and written as a .stp kernel with -o; when no blur is "
         "found it says so, writes no kernel and exits with status 0",
         StepInput::Picture, false, DefineEstimateBlurStep},
    };
    return kSteps;
}
