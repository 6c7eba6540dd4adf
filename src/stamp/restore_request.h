#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/geometry.h"
#include "stamp/estimate_blur.h"
#include "stamp/estimate_free.h"
#include "stamp/kernels.h"
#include "stamp/restore.h"

// Where the kernel of a restoration comes from, as the Restore dialog and the command line
// choose it.
enum class KernelSource { ExamplePair, StampFile, Motion, Defocus, Gaussian, BlurPath, Estimate };

struct CKernelRequest {
    KernelSource source = KernelSource::ExamplePair;
    std::string goodPath;               // example pair: the sharp picture
    std::string blurredPath;            // example pair: the same scene blurred
    int32_t size = kDefaultKernelSize;  // support of a learnt kernel
    std::string stampPath;              // a ".stp" file
    // The picture the kernel is for, when known: a larger stamp file is refused from its
    // header.
    std::optional<CSize> pictureSize;
    double length = 10.0;  // motion
    double angle = 0.0;
    double radius = 3.0;   // defocus
    double sigma = 1.5;    // Gaussian
    int32_t blurKind = 0;  // the program's blur paths
    int32_t blurSteps = 10;
    double blurAttenuation = 0.6;
    // Estimated from the picture itself (stamp/estimate_blur.h): the model asked and the
    // largest blur looked for. The picture is the one to restore: RestoreByRequest sets it,
    // a caller of MakeKernel sets it itself. When estimated is set, it receives the whole
    // estimate (its description, confidence and spectrum marks).
    BlurModel estimateModel = BlurModel::Auto;
    int32_t estimateSize = kFreeFormDefaultSize;
    const DibHandle* picture = nullptr;
    CBlurEstimate* estimated = nullptr;
};

// The kernel the request names: learnt from the example pair (read from its files), read
// from the stamp file, built, or estimated from the picture. An estimate that finds no blur
// is 0 with the message "No blur found ...": a picture that shows no blur is not restored
// into a worse one. 1, 0 with the message shown, or kRestoreCancelled.
int MakeKernel(const CKernelRequest& request, CKernel& kernel,
               const RestoreProgress& progress = {});

// A restoration as the Restore dialog and the command line ask for it: where the kernel comes
// from and how the picture is restored with it.
struct CRestoreRequest {
    CKernelRequest kernel;
    CRestoreSettings settings;
    // The kernel of the request's example pair at its size, or of its estimate from the
    // picture, when it has already been made (the dialog makes it to show its preview);
    // empty otherwise. It is taken instead of learning the pair or estimating again.
    CKernel learnt;
};

// What a restoration by request did: the result of making the kernel and, when that
// succeeded, of restoring (1, 0 with the message shown, or kRestoreCancelled; 0 for a step
// not reached), the kernel used and the restoration's report.
struct CRestoreOutcome {
    int kernelResult = 0;
    int restoreResult = 0;
    CKernel kernel;
    CRestoreReport report;
    // The estimate, when the kernel was estimated from the picture (model None when that
    // was not asked or found no blur).
    CBlurEstimate estimate;
};

// The restoration of a 24-bit picture in place: the kernel the request names (for the
// picture's size), then the picture restored with it; the picture is unchanged unless the
// result is 1. 1, 0 with the message shown, or kRestoreCancelled; the outcome tells which
// step ended it.
int RestoreByRequest(const CRestoreRequest& request, DibHandle& picture,
                     const RestoreProgress& progress, CRestoreOutcome& outcome);

// Learns the kernel of an example pair given as picture files. Same results.
int LearnKernelFromFiles(const std::string& goodPath, const std::string& blurredPath, int32_t size,
                         CKernel& kernel, const RestoreProgress& progress = {});
