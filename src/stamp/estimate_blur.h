#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "stamp/kernels.h"
#include "stamp/restore.h"

// Estimation of a picture's blur from the blurred picture alone.
//
// The parametric models leave their marks in the spectrum: a straight motion parallel zero
// lines across its direction, a defocus disc zero rings, a Gaussian a smooth fall-off. They
// are read from the picture's log spectrum and its cepstrum. A free-form camera shake is
// estimated by the coarse-to-fine kernel estimator (stamp/estimate_free.h).

// Auto asks the estimate to choose; None is what it says when it found no blur.
enum class BlurModel { Auto, Motion, Defocus, Gaussian, Free, None };

// "auto", "motion", "defocus", "gaussian", "free", "none".
const char* BlurModelName(BlurModel model);
// The model of a name above; false for another word.
bool BlurModelFromName(const std::string& name, BlurModel& model);
// The models a request may ask for (all but None), in the order they are offered, and their
// names as a list: "auto, motion, defocus, gaussian" and beforeLast and "free".
std::span<const BlurModel> AskableBlurModels();
std::string AskableBlurModelNames(const std::string& beforeLast);

struct CEstimateRequest {
    BlurModel model = BlurModel::Auto;
    // The largest blur in pixels the estimate considers (the free-form kernel's side; the
    // longest motion and the widest disc the parametric estimates look for), 3 to 101; 0:
    // the free-form estimate tries growing sizes and keeps the one it settles inside, the
    // parametric ones look as far as the picture allows (a quarter of its shorter side).
    int32_t maxSize = 31;
};

// What the estimate marks over the picture's centred spectrum, in cycles per pixel (the
// spectrum's centre is frequency 0, its edges +-0.5), with the same orientation as the
// picture on screen (x to the right, y upwards).
struct CSpectrumMarks {
    // Motion: the zero lines run across the motion's direction (degrees counter-clockwise
    // from the rightward direction on screen) at these signed distances from the centre,
    // measured along that direction (k / length for a motion of that length).
    bool hasLines = false;
    double lineDirection = 0.0;
    std::vector<double> lineOffsets;
    // Defocus: the radii of the zero rings; Gaussian: the radius where its response falls to
    // 1/e. Circles in cycles per pixel (ellipses on a picture that is not square).
    std::vector<double> ringRadii;
};

struct CBlurEstimate {
    // The model found: Motion, Defocus, Gaussian, Free, or None.
    BlurModel model = BlurModel::None;
    double length = 0.0;  // motion, pixels
    double angle = 0.0;   // motion, degrees counter-clockwise on screen, 0 to 180
    double radius = 0.0;  // defocus, pixels
    double sigma = 0.0;   // Gaussian, pixels
    // The kernel of the model found (sum 1, peak at its centre); empty when none was found.
    CKernel kernel;
    // As the report prints it: "motion 17.2 px at 32.5 degrees", "defocus radius 5.1 px",
    // "gaussian sigma 1.8 px", "free kernel 31 x 31", or "no straight motion or defocus found".
    std::string description;
    // How clearly the picture shows the model found, 0 to 1 (auto takes a model from 0.5);
    // for None, how clearly it shows none of them.
    double confidence = 0.0;
    CSpectrumMarks marks;
    // What the models were chosen by, whichever was chosen (0 for a model not tried). Motion:
    // the correlation of its zero lines with the spectrum (0 to 1), and how far the
    // cepstrum's dip stands out, in robust deviations of the cepstrum at its radius and of
    // the whole annulus of the motions looked for. Defocus: how much less its disc leaves of
    // the ring means than the better of a Gaussian and no blur (0 to 1); Gaussian: how much
    // less it leaves than no blur, and its deviation.
    double motionFit = 0.0;
    double motionDip = 0.0;
    double motionDepth = 0.0;
    double defocusFit = 0.0;
    double gaussianFit = 0.0;
    double gaussianSigma = 0.0;
};

// Estimates the blur of a picture (its three planes; the estimate works on their grey). 1 with
// the estimate (which may say that no blur was found), 0 with a message (a picture too small
// for the size asked, a flat picture, values not finite), or kRestoreCancelled.
int EstimateBlur(const CPlanes& planes, const CEstimateRequest& request, CBlurEstimate& estimate,
                 const RestoreProgress& progress = {});
