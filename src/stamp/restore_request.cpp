#include "stamp/restore_request.h"

#include "platform/user_interface.h"
#include "stamp/restore_files.h"

int LearnKernelFromFiles(const std::string& goodPath, const std::string& blurredPath, int32_t size,
                         CKernel& kernel, const RestoreProgress& progress) {
    if (goodPath.empty() || blurredPath.empty()) {
        ShowMessage("Learning a kernel needs a Good and a Blurred picture.");
        return 0;
    }
    CPlanes good, blurred;
    if (!ReadPlanesFile(goodPath, good) || !ReadPlanesFile(blurredPath, blurred)) return 0;
    return LearnKernel(good, blurred, size, kernel, progress);
}

int MakeKernel(const CKernelRequest& request, CKernel& kernel, const RestoreProgress& progress) {
    switch (request.source) {
        case KernelSource::ExamplePair:
            return LearnKernelFromFiles(request.goodPath, request.blurredPath, request.size, kernel,
                                        progress);
        case KernelSource::StampFile:
            if (request.stampPath.empty()) {
                ShowMessage("No stamp file is named.");
                return 0;
            }
            return ReadKernelFile(request.stampPath, kernel, request.pictureSize);
        case KernelSource::Motion:
            return MotionKernel(request.length, request.angle, kernel);
        case KernelSource::Defocus:
            return DefocusKernel(request.radius, kernel);
        case KernelSource::Gaussian:
            return GaussianKernel(request.sigma, kernel);
        case KernelSource::BlurPath:
            return BlurPathKernel(request.blurKind, request.blurSteps, request.blurAttenuation,
                                  kernel);
    }
    return 0;
}

int RestoreByRequest(const CRestoreRequest& request, DibHandle& picture,
                     const RestoreProgress& progress, CRestoreOutcome& outcome) {
    outcome = CRestoreOutcome{};
    if (!IsWholePicture(picture)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    CKernelRequest kernelRequest = request.kernel;
    kernelRequest.pictureSize = DescribePicture(picture.Data()).size;
    if (kernelRequest.source == KernelSource::ExamplePair && !request.learnt.IsEmpty()) {
        outcome.kernel = request.learnt;
        outcome.kernelResult = 1;
    } else {
        outcome.kernelResult = MakeKernel(kernelRequest, outcome.kernel, progress);
        if (outcome.kernelResult != 1) return outcome.kernelResult;
    }
    outcome.restoreResult =
        RestorePicture(picture, outcome.kernel, request.settings, progress, &outcome.report);
    return outcome.restoreResult;
}
